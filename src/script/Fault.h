#pragma once

#include <stdexcept>
#include <string>

namespace vantrel {

// A run-time failure of a script before it knows where it happened: the
// machine that runs the code adds the routine and the source position.
class tScriptFault : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace vantrel
