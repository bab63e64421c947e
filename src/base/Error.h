#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace vantrel {

// The program's one error type: carries the message shown to the user.
class tError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file that cannot be opened for reading (missing configuration, ...).
class EFOpenError : public tError {
public:
    using tError::tError;
};

// An index outside a list.
class EListError : public tError {
public:
    using tError::tError;
};

// An error whose text is in the log already: scenario errors are logged
// where they arise, before they reach the user.
class tLoggedError : public tError {
public:
    using tError::tError;
};

// How an error that escaped a user action or the program is told: the
// program's own errors by their message; anything else is a fault of the
// program, shown as "Non-VCL Exception". `logText` is what the log gets,
// the error's own text, or nothing when it is there already.
struct tErrorReport {
    std::string shown;
    std::string logText;
};
tErrorReport reportOf(const std::exception_ptr& error);

// The text the operating system gives for an errno value.
std::string systemErrorText(int errorNumber);

#ifdef _WIN32
// Windows' text for one of its error codes (GetLastError), as UTF-8 without
// the line end; the number when Windows has no text for it.
std::string windowsErrorText(unsigned long code);
#endif

}  // namespace vantrel
