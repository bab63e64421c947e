#include "base/Error.h"

#include <system_error>

namespace vantrel {

std::string systemErrorText(int errorNumber) {
    // The generic category goes through the thread-safe strerror variant.
    return std::generic_category().message(errorNumber);
}

}  // namespace vantrel
