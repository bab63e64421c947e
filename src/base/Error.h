#pragma once

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

// The text the operating system gives for an errno value.
std::string systemErrorText(int errorNumber);

}  // namespace vantrel
