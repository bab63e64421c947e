#pragma once

#include <string>
#include <string_view>

namespace vantrel {

// Converts UTF-8 text to Windows-1251 bytes. Returns false (with `out`
// holding what was converted so far) when the text is not valid UTF-8 or a
// character has no Windows-1251 form.
bool utf8ToCp1251(std::string_view utf8, std::string& out);

bool isValidUtf8(std::string_view text);
std::string cp1251ToUtf8(std::string_view bytes);

// How a file from a Windows editor was written.
enum class tTextEncoding { Utf8, Utf8WithBom, Cp1251 };

// Scenario, script and configuration files come from Windows editors: the
// bytes are UTF-8 when they are valid UTF-8 (a byte-order mark is skipped),
// else Windows-1251. `text` gets them as UTF-8.
tTextEncoding decodeWindowsText(std::string_view bytes, std::string& text);

}  // namespace vantrel
