#pragma once

// A disk that fills up halfway through a write: the process's file size
// limit stands in for it (and works for root, unlike permissions). POSIX
// only; on Windows the tests that need it leave that part out.

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#include <stdexcept>

namespace vantrel::test {

class tFileSizeLimit {
public:
    explicit tFileSizeLimit(rlim_t bytes) {
        if (getrlimit(RLIMIT_FSIZE, &saved_) != 0) {
            throw std::runtime_error("getrlimit failed");
        }
        handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved_;
        small.rlim_cur = bytes;
        if (setrlimit(RLIMIT_FSIZE, &small) != 0) {
            std::signal(SIGXFSZ, handler_);
            throw std::runtime_error("setrlimit failed");
        }
    }
    ~tFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, handler_);
    }
    tFileSizeLimit(const tFileSizeLimit&) = delete;
    tFileSizeLimit& operator=(const tFileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*handler_)(int) = nullptr;
};

}  // namespace vantrel::test
#endif
