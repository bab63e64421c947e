#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// File names are UTF-8 throughout the program. POSIX takes them as they
// are; Windows' file functions want UTF-16, so every name is converted where
// it meets the system (the narrow functions would read it in the ANSI code
// page and fail on a folder named in Cyrillic).
std::filesystem::path pathFromUtf8(std::string_view name);
std::string utf8FromPath(const std::filesystem::path& path);

// An environment variable as UTF-8; empty when it is not set.
std::string environmentText(const char* name);

#ifdef _WIN32
std::wstring wideFromUtf8(std::string_view text);
std::string utf8FromWide(std::wstring_view text);
// The program's arguments after its name, as UTF-8, from the wide command
// line (argv holds them in the ANSI code page).
std::vector<std::string> commandLineArguments();
// The running program's own file, as UTF-8.
std::string executableFile();
#endif

}  // namespace vantrel
