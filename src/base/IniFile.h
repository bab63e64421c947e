#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vantrel {

// INI files as scenario and settings files use them: section and key names
// matched without regard to letter case; values trimmed and stripped of one
// pair of enclosing single or double quotes; lines starting with ";" are
// comments; values cut at 2047 characters (not bytes: the text is UTF-8).
// Keys keep their file order.
class tIniFile {
public:
    static constexpr std::size_t kMaxValueLength = 2047;

    tIniFile() = default;
    // Reads the file; a missing file reads as empty. Unreadable: tError.
    explicit tIniFile(const std::string& fileName);
    static tIniFile FromText(std::string_view text);

    bool HasSection(std::string_view section) const;
    std::vector<std::string> Sections() const;
    // Keys and values of a section in file order (empty when missing).
    std::vector<std::pair<std::string, std::string>> ReadSection(std::string_view section) const;
    std::string ReadString(std::string_view section, std::string_view key,
                           const std::string& defaultValue = "") const;

    // Replaces the value of an existing key or appends the key to its section
    // (creating the section at the end); other lines stay as they were.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    // Writes the file through a temporary file and a rename; tError on failure.
    void Save(const std::string& fileName) const;
    std::string Text() const;

private:
    std::vector<std::string> lines_;  // raw lines, for a faithful rewrite
};

}  // namespace vantrel
