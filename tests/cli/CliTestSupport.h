#pragma once

// Helpers of the recorder tests: a scratch folder with a configuration tuned
// for quick detection, and the export file taken apart.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "support/TempDir.h"

namespace vantrel::test {

// A fresh folder per test that plays the program's own folder: the
// configuration "vantrel-cli.cfg" is written there, the log lands there.
class tCliDir {
public:
    tCliDir() {
        // The runs' journals go here, not into the user's folders.
        ::setenv("XDG_DATA_HOME", dir_.file("data").c_str(), 1);
        ::setenv("XDG_STATE_HOME", dir_.file("state").c_str(), 1);
        // Quick detection; the automatic switch-off stays out of the way.
        std::ofstream(File("vantrel-cli.cfg"))
            << "Timeout=10\nCheckTimeout=100\nCheckCount=2\nCheckOffTimer=0\n";
    }

    std::string File(const std::string& name) const { return dir_.file(name); }
    // The path the recorder takes as its executable.
    std::string Program() const { return File("vantrel-cli"); }
    std::string Config() const { return File("vantrel-cli.cfg"); }

private:
    tTempDir dir_;
};

inline std::string readFile(const std::string& fileName) {
    return readBytes(fileName);
}

// The export as lines of TAB-separated fields. Every line must end with
// CR LF; a line that does not is returned with the marker field "<no CR LF>".
inline std::vector<std::vector<std::string>> exportRows(const std::string& bytes) {
    std::vector<std::vector<std::string>> rows;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find("\r\n", pos);
        const bool terminated = end != std::string::npos;
        if (!terminated) {
            end = bytes.size();
        }
        std::vector<std::string> fields;
        const std::string_view line(bytes.data() + pos, end - pos);
        std::size_t start = 0;
        for (;;) {
            const std::size_t tab = line.find('\t', start);
            fields.emplace_back(line.substr(
                start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
            if (tab == std::string_view::npos) {
                break;
            }
            start = tab + 1;
        }
        if (!terminated) {
            fields.emplace_back("<no CR LF>");
        }
        rows.push_back(std::move(fields));
        pos = terminated ? end + 2 : end;
    }
    return rows;
}

// A number as the export writes it: optional minus, digits, the decimal
// point and exactly `decimals` digits.
inline bool exportNumber(const std::string& text, int decimals, double& value) {
    const std::size_t point = text.find('.');
    if (point == std::string::npos ||
        text.size() - point - 1 != static_cast<std::size_t>(decimals)) {
        return false;
    }
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && ptr == text.data() + text.size();
}

}  // namespace vantrel::test
