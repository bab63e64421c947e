#pragma once

#include <functional>
#include <shared_mutex>
#include <string>
#include <vector>

namespace vantrel {

// The diagnostic log beside the program. Writes only when the program was
// started with -LOG (or /LOG); otherwise every line is dropped.
class tLogFile {
public:
    // Uses the process command line (setCommandLine).
    explicit tLogFile(const std::string& fileName);
    tLogFile(const std::string& fileName, const std::vector<std::string>& params);
    tLogFile(const tLogFile&) = delete;
    tLogFile& operator=(const tLogFile&) = delete;
    virtual ~tLogFile();

    virtual void Cleanup();
    virtual void WriteText(const std::string& text);
    // Timestamp (short date, long time), a blank, the message, CR LF.
    void WriteLine(const std::string& message);

    bool IsEnabled() const;
    const std::string& FileName() const { return fileName_; }

private:
    void open(const std::vector<std::string>& params);

    std::string fileName_;
    mutable std::shared_mutex lock_;
    int fd_ = -1;
};

// The process-wide log. Never empty: until start-up installs the real one it
// points at a disabled log, so writers need not test it.
extern tLogFile* logFile;

// Installs `log` as `logFile` (nullptr puts the disabled log back).
void setLogFile(tLogFile* log);

// A program's run between its two log lines, messages 5000 ("Запуск
// программы.") and 5001 with an empty line after it. An error that escapes
// `body` is logged once (reportOf) and told through `tell`, and the closing
// line is left out. False when an error escaped.
bool runLogged(const std::function<void()>& body,
               const std::function<void(const std::string&)>& tell);

}  // namespace vantrel
