#include "base/Settings.h"

#include <filesystem>
#include <system_error>

#include <mutex>

#include "base/Error.h"
#include "base/Files.h"
#include "base/Functions.h"
#include "base/IniFile.h"
#include "base/Paths.h"
#include "base/Texts.h"

namespace vantrel {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr int kMessageCannotReadSettings = 1004;

// Locks that do nothing for a store made without a lock.
class tReadGuard {
public:
    explicit tReadGuard(std::shared_mutex* lock) : lock_(lock) {
        if (lock_ != nullptr) {
            lock_->lock_shared();
        }
    }
    ~tReadGuard() {
        if (lock_ != nullptr) {
            lock_->unlock_shared();
        }
    }
    tReadGuard(const tReadGuard&) = delete;
    tReadGuard& operator=(const tReadGuard&) = delete;

private:
    std::shared_mutex* lock_;
};

class tWriteGuard {
public:
    explicit tWriteGuard(std::shared_mutex* lock) : lock_(lock) {
        if (lock_ != nullptr) {
            lock_->lock();
        }
    }
    ~tWriteGuard() {
        if (lock_ != nullptr) {
            lock_->unlock();
        }
    }
    tWriteGuard(const tWriteGuard&) = delete;
    tWriteGuard& operator=(const tWriteGuard&) = delete;

private:
    std::shared_mutex* lock_;
};

// A line's name: the text before its first "="; a line without one has none.
bool nameOf(const std::string& line, std::string_view& name) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) {
        return false;
    }
    name = std::string_view(line).substr(0, equals);
    return true;
}

std::string_view nameOrEmpty(const std::string& line) {
    std::string_view name;
    nameOf(line, name);
    return name;
}

int indexOf(const std::vector<std::string>& lines, std::string_view name) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view lineName;
        if (nameOf(lines[i], lineName) && equalsIgnoreCase(lineName, name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string valueOf(const std::vector<std::string>& lines, std::string_view name) {
    const int index = indexOf(lines, name);
    if (index < 0) {
        return {};
    }
    const std::string& line = lines[static_cast<std::size_t>(index)];
    return line.substr(line.find('=') + 1);
}

void setValue(std::vector<std::string>& lines, const std::string& name, const std::string& value) {
    const int index = indexOf(lines, name);
    if (value.empty()) {
        if (index >= 0) {
            lines.erase(lines.begin() + index);
        }
        return;
    }
    if (index >= 0) {
        lines[static_cast<std::size_t>(index)] = name + "=" + value;
    } else {
        lines.push_back(name + "=" + value);
    }
}

void checkIndex(const std::vector<std::string>& lines, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= lines.size()) {
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    }
}

// Plain lines: breaks are CR LF, LF or CR; a break at the very end closes the
// last line rather than opening an empty one.
std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
            lines.emplace_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            start = i + 1;
        }
    }
    if (start < text.size()) {
        lines.emplace_back(text.substr(start));
    }
    return lines;
}

}  // namespace

tSettings::tSettings(bool threadSafe) {
    try {
        Init(threadSafe);
    } catch (...) {
        Cleanup();
        throw;
    }
}

tSettings::tSettings(const std::string& fileName, bool threadSafe) : fileName_(fileName) {
    try {
        Init(threadSafe);
    } catch (...) {
        Cleanup();
        throw;
    }
}

tSettings::tSettings(const std::string& fileName, const std::string& section, bool threadSafe)
    : section_(section), fileName_(fileName) {
    try {
        Init(threadSafe);
    } catch (...) {
        Cleanup();
        throw;
    }
}

tSettings::~tSettings() {
    tSettings::Cleanup();
}

void tSettings::Init(bool threadSafe) {
    if (threadSafe) {
        lock_ = std::make_unique<std::shared_mutex>();
    }
    entries_ = std::make_unique<std::vector<std::string>>();
}

void tSettings::Cleanup() {
    // An empty list rather than none, so a store used after Cleanup reads as
    // empty instead of crashing.
    entries_ = std::make_unique<std::vector<std::string>>();
    lock_.reset();
}

void tSettings::Load(const std::string& fileName) {
    tWriteGuard guard(lock_.get());
    const std::string source = fileName.empty() ? fileName_ : fileName;
    std::error_code ec;
    if (!source.empty() && std::filesystem::is_directory(pathFromUtf8(source), ec)) {
        // Not "file not found": the user would look for a file that is there.
        throw EFOpenError(formatText(constantText("DK_SETTINGS_FOLDER"), {source}));
    }
    if (!fileExists(source)) {
        throw EFOpenError(formatMessage(kMessageCannotReadSettings, {source}));
    }
    if (section_.empty()) {
        std::string bytes;
        if (!readFileIfExists(source, bytes)) {
            throw EFOpenError(formatMessage(kMessageCannotReadSettings, {source}));
        }
        // A byte-order mark would otherwise become part of the first name,
        // and that setting could never be found.
        std::string text;
        encoding_ = decodeWindowsText(bytes, text);
        *entries_ = splitLines(text);
    } else {
        const tIniFile ini(source);
        std::vector<std::string> lines;
        for (const auto& [key, value] : ini.ReadSection(section_)) {
            lines.push_back(key + "=" + value);
        }
        *entries_ = std::move(lines);
        encoding_ = tTextEncoding::Utf8;
    }
    fileName_ = source;
}

void tSettings::Save(const std::string& fileName) {
    std::string target;
    {
        tReadGuard guard(lock_.get());
        target = fileName.empty() ? fileName_ : fileName;
        if (section_.empty()) {
            std::string text;
            for (const std::string& line : *entries_) {
                text += line;
                text += "\r\n";
            }
            std::string bytes;
            if (encoding_ == tTextEncoding::Cp1251 && utf8ToCp1251(text, bytes)) {
                writeFileAtomically(target, bytes);
            } else if (encoding_ == tTextEncoding::Utf8WithBom ||
                       encoding_ == tTextEncoding::Cp1251) {
                // A Windows editor must not take it for Windows-1251 again.
                writeFileAtomically(target, std::string(kUtf8Bom) + text);
            } else {
                writeFileAtomically(target, text);
            }
        } else {
            tIniFile ini(target);
            for (const std::string& line : *entries_) {
                // A line without a name has no place in an INI section.
                std::string_view name;
                if (nameOf(line, name) && !name.empty()) {
                    ini.WriteString(section_, name, valueOf(*entries_, name));
                }
            }
            ini.Save(target);
        }
    }
    tWriteGuard guard(lock_.get());
    fileName_ = target;
}

void tSettings::SetSection(const std::string& section) {
    tWriteGuard guard(lock_.get());
    section_ = section;
}

std::string tSettings::GetSection() const {
    tReadGuard guard(lock_.get());
    return section_;
}

void tSettings::SetFileName(const std::string& fileName) {
    tWriteGuard guard(lock_.get());
    fileName_ = fileName;
}

std::string tSettings::GetFileName() const {
    tReadGuard guard(lock_.get());
    return fileName_;
}

std::string tSettings::GetSettingByName(const std::string& name) const {
    tReadGuard guard(lock_.get());
    return valueOf(*entries_, name);
}

void tSettings::SetSettingByName(const std::string& name, const std::string& value) {
    tWriteGuard guard(lock_.get());
    setValue(*entries_, name, value);
}

int tSettings::AddName(const std::string& name, const std::string& value) {
    tWriteGuard guard(lock_.get());
    std::vector<std::string>& lines = *entries_;
    const int index = indexOf(lines, name);
    if (index >= 0) {
        lines[static_cast<std::size_t>(index)] = name + "=" + value;
        return index;
    }
    lines.push_back(name + "=" + value);
    return static_cast<int>(lines.size()) - 1;
}

int tSettings::IndexOfName(const std::string& name) const {
    tReadGuard guard(lock_.get());
    return indexOf(*entries_, name);
}

int tSettings::GetCount() const {
    tReadGuard guard(lock_.get());
    return static_cast<int>(entries_->size());
}

std::string tSettings::GetNameByIndex(int index) const {
    tReadGuard guard(lock_.get());
    checkIndex(*entries_, index);
    return std::string(nameOrEmpty((*entries_)[static_cast<std::size_t>(index)]));
}

std::string tSettings::GetSettingByIndex(int index) const {
    tReadGuard guard(lock_.get());
    checkIndex(*entries_, index);
    std::string_view name;
    if (!nameOf((*entries_)[static_cast<std::size_t>(index)], name)) {
        return {};
    }
    return valueOf(*entries_, name);
}

void tSettings::SetSettingByIndex(int index, const std::string& value) {
    tWriteGuard guard(lock_.get());
    checkIndex(*entries_, index);
    const std::string name(nameOrEmpty((*entries_)[static_cast<std::size_t>(index)]));
    setValue(*entries_, name, value);
}

void tSettings::AssignTo(tSettings& destination) const {
    // Copy first, then write: the two locks are never held together, so
    // assigning a store to itself or two stores to each other cannot deadlock.
    std::string section;
    std::string fileName;
    std::vector<std::string> lines;
    tTextEncoding encoding;
    {
        tReadGuard guard(lock_.get());
        section = section_;
        fileName = fileName_;
        lines = *entries_;
        encoding = encoding_;
    }
    tWriteGuard guard(destination.lock_.get());
    destination.section_ = std::move(section);
    destination.fileName_ = std::move(fileName);
    *destination.entries_ = std::move(lines);
    destination.encoding_ = encoding;
}

}  // namespace vantrel
