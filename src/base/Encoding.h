#pragma once

#include <string>
#include <string_view>

namespace vantrel {

// Converts UTF-8 text to Windows-1251 bytes. Returns false (with `out`
// holding what was converted so far) when the text is not valid UTF-8 or a
// character has no Windows-1251 form.
bool utf8ToCp1251(std::string_view utf8, std::string& out);

}  // namespace vantrel
