// Feeds arbitrary bytes to the INI reader and to a settings store loaded
// from a file, in both modes, and writes them back: nothing may crash, and
// a plain-lines file that already uses CR LF must come back unchanged.
#include <unistd.h>
#include <algorithm>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "base/Error.h"
#include "base/IniFile.h"
#include "base/Settings.h"
#include "fuzz/FuzzScratch.h"

namespace {

using vantrel::test::writeFile;

const std::string& workDirectory() {
    static const vantrel::test::tFuzzScratch directory("fuzz");
    return directory.path();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantrel;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    tIniFile ini = tIniFile::FromText(bytes);
    if (ini.Text() != bytes) {
        std::abort();
    }
    for (const std::string& section : ini.Sections()) {
        for (const auto& [key, value] : ini.ReadSection(section)) {
            // The limit counts characters: every byte but a UTF-8 continuation.
            const auto characters = std::count_if(value.begin(), value.end(), [](char c) {
                return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
            });
            if (static_cast<std::size_t>(characters) > tIniFile::kMaxValueLength ||
                ini.ReadString(section, key) != value) {
                std::abort();
            }
        }
    }
    try {
        ini.WriteString("Fuzz", "Key", "value");
        if (ini.ReadString("fuzz", "key") != "value") {
            std::abort();
        }
    } catch (const tError&) {
    }

    const std::string input = workDirectory() + "/input.cfg";
    const std::string output = workDirectory() + "/output.cfg";
    writeFile(input, bytes);
    tSettings plain(input, false);
    plain.Load();
    for (int i = 0; i < plain.GetCount(); ++i) {
        plain.SetSettingByIndex(i, plain.GetSettingByIndex(i));
    }
    plain.Save(output);

    tSettings section(input, "General", false);
    section.Load();
    try {
        section.Save(output);
    } catch (const tError&) {
    }
    return 0;
}
