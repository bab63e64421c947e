#include "base/IniFile.h"

#include <set>

#include "base/Encoding.h"
#include "base/Error.h"
#include "base/Files.h"
#include "base/Functions.h"

namespace vantrel {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

enum class tLineKind { Blank, Comment, Section, Key, Other };

struct tParsedLine {
    tLineKind kind = tLineKind::Other;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // raw value after "=", for keys
};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The line without its line break (and, on the first line, without a BOM).
std::string_view contentOf(const std::string& raw, std::size_t index) {
    std::string_view text(raw);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    if (index == 0 && text.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        text.remove_prefix(kUtf8Bom.size());
    }
    return text;
}

std::string_view lineBreakOf(const std::string& raw) {
    std::size_t length = 0;
    while (length < raw.size() &&
           (raw[raw.size() - 1 - length] == '\n' || raw[raw.size() - 1 - length] == '\r')) {
        ++length;
    }
    return std::string_view(raw).substr(raw.size() - length);
}

tParsedLine parse(const std::string& raw, std::size_t index) {
    tParsedLine line;
    const std::string_view text = trim(contentOf(raw, index));
    if (text.empty()) {
        line.kind = tLineKind::Blank;
    } else if (text.front() == ';') {
        line.kind = tLineKind::Comment;
    } else if (text.front() == '[' && text.find(']') != std::string_view::npos) {
        line.kind = tLineKind::Section;
        line.name = trim(text.substr(1, text.find(']') - 1));
    } else if (const std::size_t equals = text.find('='); equals != std::string_view::npos) {
        line.name = trim(text.substr(0, equals));
        line.value = text.substr(equals + 1);
        line.kind = line.name.empty() ? tLineKind::Other : tLineKind::Key;
    }
    return line;
}

std::string cleanValue(std::string_view raw) {
    std::string_view value = trim(raw);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    // The limit is in characters, as an editor counts them: a Cyrillic name
    // takes twice the bytes of a Latin one. Cutting before the first byte of
    // the character past the limit never splits one.
    std::size_t characters = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const bool continuation = (static_cast<unsigned char>(value[i]) & 0xC0) == 0x80;
        if (!continuation && ++characters > tIniFile::kMaxValueLength) {
            value = value.substr(0, i);
            break;
        }
    }
    return std::string(value);
}

std::vector<std::string> splitKeepingBreaks(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            lines.emplace_back(text.substr(start, i + 1 - start));
            start = i + 1;
        }
    }
    if (start < text.size()) {
        lines.emplace_back(text.substr(start));
    }
    return lines;
}

bool hasLineBreakChar(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// Index of the first header of `section`, or lines_.size(). Only the first of
// several same-named sections counts, for reading and for writing alike.
std::size_t findSection(const std::vector<std::string>& lines, std::string_view section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const tParsedLine line = parse(lines[i], i);
        if (line.kind == tLineKind::Section && equalsIgnoreCase(line.name, section)) {
            return i;
        }
    }
    return lines.size();
}

}  // namespace

tIniFile::tIniFile(const std::string& fileName) {
    std::string bytes;
    if (readFileIfExists(fileName, bytes, kMaxFileSize)) {
        std::string text;
        decodeWindowsText(bytes, text);
        lines_ = splitKeepingBreaks(text);
    }
}

tIniFile tIniFile::FromText(std::string_view text) {
    tIniFile ini;
    ini.lines_ = splitKeepingBreaks(text);
    return ini;
}

bool tIniFile::HasSection(std::string_view section) const {
    return findSection(lines_, section) < lines_.size();
}

std::vector<std::string> tIniFile::Sections() const {
    std::vector<std::string> names;
    std::set<std::string> seen;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const tParsedLine line = parse(lines_[i], i);
        if (line.kind == tLineKind::Section && seen.insert(toUpperAscii(line.name)).second) {
            names.emplace_back(line.name);
        }
    }
    return names;
}

std::vector<std::pair<std::string, std::string>> tIniFile::ReadSection(
    std::string_view section) const {
    std::vector<std::pair<std::string, std::string>> keys;
    std::set<std::string> seen;
    for (std::size_t i = findSection(lines_, section) + 1; i < lines_.size(); ++i) {
        const tParsedLine line = parse(lines_[i], i);
        if (line.kind == tLineKind::Section) {
            break;
        }
        // A repeated key is shadowed by its first line, as ReadString sees it.
        if (line.kind == tLineKind::Key && seen.insert(toUpperAscii(line.name)).second) {
            keys.emplace_back(std::string(line.name), cleanValue(line.value));
        }
    }
    return keys;
}

std::string tIniFile::ReadString(std::string_view section, std::string_view key,
                                 const std::string& defaultValue) const {
    for (std::size_t i = findSection(lines_, section) + 1; i < lines_.size(); ++i) {
        const tParsedLine line = parse(lines_[i], i);
        if (line.kind == tLineKind::Section) {
            break;
        }
        if (line.kind == tLineKind::Key && equalsIgnoreCase(line.name, key)) {
            return cleanValue(line.value);
        }
    }
    return defaultValue;
}

void tIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    // Anything that would read back as another line, section or comment is
    // refused rather than written into the file.
    const std::string_view trimmedKey = trim(key);
    if (trim(section).empty() || hasLineBreakChar(section) ||
        section.find(']') != std::string_view::npos) {
        throw tError("Invalid INI section name \"" + std::string(section) + "\"");
    }
    if (trimmedKey.empty() || hasLineBreakChar(key) || key.find('=') != std::string_view::npos ||
        trimmedKey.front() == ';' || trimmedKey.front() == '[') {
        throw tError("Invalid INI key name \"" + std::string(key) + "\"");
    }
    if (hasLineBreakChar(value)) {
        throw tError("A value for INI key \"" + std::string(key) + "\" holds a line break");
    }

    std::string lineBreak = "\r\n";
    for (const std::string& raw : lines_) {
        if (!lineBreakOf(raw).empty()) {
            lineBreak = lineBreakOf(raw);
            break;
        }
    }
    const std::string newLine = std::string(key) + "=" + std::string(value);

    const std::size_t header = findSection(lines_, section);
    std::size_t insertAt = lines_.size();
    if (header < lines_.size()) {
        std::size_t lastContent = header;
        for (std::size_t i = header + 1; i < lines_.size(); ++i) {
            const tParsedLine line = parse(lines_[i], i);
            if (line.kind == tLineKind::Section) {
                break;
            }
            if (line.kind == tLineKind::Key && equalsIgnoreCase(line.name, key)) {
                lines_[i] = newLine + std::string(lineBreakOf(lines_[i]));
                return;
            }
            if (line.kind != tLineKind::Blank) {
                lastContent = i;
            }
        }
        insertAt = lastContent + 1;
    }
    std::vector<std::string> added;
    if (header >= lines_.size()) {
        added.push_back("[" + std::string(section) + "]" + lineBreak);
    }
    added.push_back(newLine + lineBreak);
    // The line before the new ones may be the file's last, without a break.
    if (insertAt > 0 && lineBreakOf(lines_[insertAt - 1]).empty()) {
        lines_[insertAt - 1] += lineBreak;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), added.begin(),
                  added.end());
}

void tIniFile::Save(const std::string& fileName) const {
    writeFileAtomically(fileName, Text());
}

std::string tIniFile::Text() const {
    std::string text;
    for (const std::string& line : lines_) {
        text += line;
    }
    return text;
}

}  // namespace vantrel
