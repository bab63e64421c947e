#include "base/Paths.h"

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
// needs windows.h first
#include <shellapi.h>
#endif

namespace vantrel {

#ifdef _WIN32

std::wstring wideFromUtf8(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                            size);
    }
    return wide;
}

std::string utf8FromWide(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(),
                            size, nullptr, nullptr);
    }
    return narrow;
}

std::filesystem::path pathFromUtf8(std::string_view name) {
    return std::filesystem::path(wideFromUtf8(name));
}

std::string utf8FromPath(const std::filesystem::path& path) {
    return utf8FromWide(path.native());
}

std::string environmentText(const char* name) {
    const wchar_t* value = _wgetenv(wideFromUtf8(name).c_str());
    return value != nullptr ? utf8FromWide(value) : std::string();
}

std::vector<std::string> commandLineArguments() {
    std::vector<std::string> args;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return args;
    }
    for (int i = 1; i < count; ++i) {
        args.push_back(utf8FromWide(wide[i]));
    }
    LocalFree(wide);
    return args;
}

std::string executableFile() {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) {
            return {};
        }
        if (length < name.size()) {
            name.resize(length);
            return utf8FromWide(name);
        }
        name.resize(name.size() * 2);
    }
}

#else

std::filesystem::path pathFromUtf8(std::string_view name) {
    return std::filesystem::path(name);
}

std::string utf8FromPath(const std::filesystem::path& path) {
    return path.string();
}

std::string environmentText(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

#endif

}  // namespace vantrel
