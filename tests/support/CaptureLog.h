#pragma once

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "base/Locale.h"
#include "base/LogFile.h"

namespace vantrel::test {

namespace detail {
// Taken before the log is enabled, which extends the long time format.
struct tLocaleKeeper {
    tLocaleFacts savedFacts = localeFacts();
};
}  // namespace detail

// An enabled log whose lines are kept in memory (message only, without the
// timestamp and line end), installed as the process-wide log for its
// lifetime. Puts the locale facts back as they were before it.
class tCaptureLog : private detail::tLocaleKeeper, public tLogFile {
public:
    tCaptureLog() : tLogFile(makeTempName(), {"-LOG"}) { setLogFile(this); }
    ~tCaptureLog() override {
        setLogFile(nullptr);
        std::error_code ignored;
        std::filesystem::remove(FileName(), ignored);
        setLocaleFacts(savedFacts);
    }

    void WriteText(const std::string& text) override {
        // "date time message\r\n": the message starts after the second blank.
        const std::size_t first = text.find(' ');
        const std::size_t second = first == std::string::npos ? first : text.find(' ', first + 1);
        std::string message = second == std::string::npos ? text : text.substr(second + 1);
        if (message.ends_with("\r\n")) {
            message.resize(message.size() - 2);
        }
        Record(std::move(message));
    }

    // Also used by tests to put events into the same ordered record.
    void Record(std::string entry) {
        std::lock_guard lock(mutex_);
        lines_.push_back(std::move(entry));
    }
    std::vector<std::string> Lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        lines_.clear();
    }
    int Count(std::string_view entry) const {
        int count = 0;
        for (const std::string& line : Lines()) {
            count += line == entry ? 1 : 0;
        }
        return count;
    }
    bool Contains(std::string_view entry) const { return Count(entry) > 0; }
    // Index of the first line equal to `entry`, -1 when absent.
    int IndexOf(std::string_view entry) const {
        const auto lines = Lines();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i] == entry) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

private:
    // A random name: parallel test programs share the temporary folder.
    static std::string makeTempName() {
        static std::mt19937_64 names{std::random_device{}()};
        return (std::filesystem::temp_directory_path() /
                ("vantrel-test-log-" + std::to_string(names()) + ".log"))
            .string();
    }

    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace vantrel::test
