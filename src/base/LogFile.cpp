#include "base/LogFile.h"

#include <cerrno>
#include <chrono>
#include <mutex>

#include "base/CommandLine.h"
#include "base/Error.h"
#include "base/Files.h"
#include "base/Locale.h"
#include "base/Paths.h"
#include "base/Texts.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace vantrel {

namespace {

// Opens the log for appending and keeps other writers out; other programs
// may still read it. Returns the descriptor or -errno.
int openForAppend(const std::string& fileName) {
#ifdef _WIN32
    int fd = -1;
    const errno_t error = _wsopen_s(&fd, wideFromUtf8(fileName).c_str(),
                                    _O_WRONLY | _O_CREAT | _O_APPEND | _O_BINARY | _O_NOINHERIT,
                                    _SH_DENYWR, _S_IREAD | _S_IWRITE);
    return error == 0 ? fd : -error;
#else
    const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        return -errno;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return -error;
    }
    return fd;
#endif
}

long writeSome(int fd, const char* data, std::size_t size) {
#ifdef _WIN32
    constexpr std::size_t kMaxChunk = 0x7fffffff;
    return ::_write(fd, data, static_cast<unsigned int>(size < kMaxChunk ? size : kMaxChunk));
#else
    return static_cast<long>(::write(fd, data, size));
#endif
}

void closeFile(int fd) {
#ifdef _WIN32
    ::_close(fd);
#else
    ::close(fd);
#endif
}

// Points `logFile` somewhere valid from the very first moment: taking the
// address is a constant expression, so the pointer needs no start-up code.
tLogFile disabledLog{std::string(), std::vector<std::string>()};

}  // namespace

tLogFile* logFile = &disabledLog;

void setLogFile(tLogFile* log) {
    logFile = log != nullptr ? log : &disabledLog;
}

tLogFile::tLogFile(const std::string& fileName) : tLogFile(fileName, commandLine()) {}

tLogFile::tLogFile(const std::string& fileName, const std::vector<std::string>& params)
    : fileName_(fileName) {
    try {
        open(params);
    } catch (...) {
        Cleanup();
        throw;
    }
}

tLogFile::~tLogFile() {
    tLogFile::Cleanup();
}

void tLogFile::open(const std::vector<std::string>& params) {
    if (!hasSwitch("LOG", params)) {
        return;
    }
    const int fd = openForAppend(fileName_);
    if (fd < 0) {
        throw tError(fileOpenErrorText(fileName_, systemErrorText(-fd)));
    }
    {
        std::unique_lock guard(lock_);
        fd_ = fd;
    }
    appendMillisecondsToLongTimeFormat();
}

void tLogFile::Cleanup() {
    std::unique_lock guard(lock_);
    if (fd_ >= 0) {
        closeFile(fd_);
        fd_ = -1;
    }
}

void tLogFile::WriteText(const std::string& text) {
    if (text.empty()) {
        return;
    }
    std::unique_lock guard(lock_);
    if (fd_ < 0) {
        return;
    }
    // Failures are dropped on purpose: a full disk must not stop the program.
    // A short write is continued under the same lock so the line stays whole.
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const long written = writeSome(fd_, data, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

void tLogFile::WriteLine(const std::string& message) {
    // A disabled log skips the clock and the formatting, which the
    // measurement thread would otherwise pay for every record.
    if (!IsEnabled()) {
        return;
    }
    const tLocaleFacts facts = localeFacts();
    std::string line = formatDateTime(facts.shortDateFormat + ' ' + facts.longTimeFormat,
                                      std::chrono::system_clock::now());
    line.reserve(line.size() + message.size() + 3);
    line += ' ';
    line += message;
    line += "\r\n";
    WriteText(line);
}

bool tLogFile::IsEnabled() const {
    std::shared_lock guard(lock_);
    return fd_ >= 0;
}

bool runLogged(const std::function<void()>& body,
               const std::function<void(const std::string&)>& tell) {
    logFile->WriteLine(messageText(5000));
    try {
        body();
    } catch (...) {
        const tErrorReport report = reportOf(std::current_exception());
        if (!report.logText.empty()) {
            logFile->WriteLine(report.logText + "\r\n");
        }
        tell(report.shown);
        return false;
    }
    logFile->WriteLine(messageText(5001) + "\r\n");
    return true;
}

}  // namespace vantrel
