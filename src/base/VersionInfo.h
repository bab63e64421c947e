#pragma once

#include <string>
#include <string_view>

namespace vantrel {

// A value of the program's version record: "FileDescription" (the product
// name), "LegalCopyright", "FileVersion". On Windows it is read from the
// executable's own version resource (its first listed language); elsewhere
// the build states it. Empty when the record or the key is missing.
std::string versionString(std::string_view key);

}  // namespace vantrel
