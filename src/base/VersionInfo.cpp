#include "base/VersionInfo.h"

#ifdef _WIN32
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>
#endif

#ifndef VANTREL_VERSION
#define VANTREL_VERSION ""
#endif

namespace vantrel {

#ifdef _WIN32
std::string versionString(std::string_view key) {
    wchar_t self[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
    if (length == 0 || length >= MAX_PATH * 4) {
        return {};
    }
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(self, &handle);
    if (size == 0) {
        return {};
    }
    std::vector<char> record(size);
    if (!GetFileVersionInfoW(self, 0, size, record.data())) {
        return {};
    }
    struct tTranslation {
        WORD language;
        WORD codePage;
    };
    tTranslation* translations = nullptr;
    UINT bytes = 0;
    if (!VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translations), &bytes) ||
        bytes < sizeof(tTranslation)) {
        return {};
    }
    wchar_t block[32];
    std::swprintf(block, 32, L"\\StringFileInfo\\%04x%04x\\", translations[0].language,
                  translations[0].codePage);
    std::wstring path = block;
    path.append(key.begin(), key.end());  // the keys are ASCII
    wchar_t* value = nullptr;
    UINT chars = 0;
    if (!VerQueryValueW(record.data(), path.c_str(), reinterpret_cast<void**>(&value), &chars) ||
        chars == 0) {
        return {};
    }
    // The record's text as the program's UTF-8.
    const int wide = static_cast<int>(chars) - (value[chars - 1] == 0 ? 1 : 0);
    const int needed = WideCharToMultiByte(CP_UTF8, 0, value, wide, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, value, wide, text.data(), needed, nullptr, nullptr);
    return text;
}
#else
std::string versionString(std::string_view key) {
    if (key == "FileDescription") {
        return "Vantrel";
    }
    if (key == "LegalCopyright") {
        return VANTREL_COPYRIGHT;
    }
    if (key == "FileVersion") {
        return VANTREL_VERSION;
    }
    return {};
}
#endif

}  // namespace vantrel
