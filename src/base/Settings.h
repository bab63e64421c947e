#pragma once

#include <memory>

#include <shared_mutex>
#include <string>
#include <vector>
#include "base/Encoding.h"

namespace vantrel {

// A name=value store backed by a file. With an empty section the file is a
// plain list of lines; with a section it is one section of an INI file.
// Names are compared without regard to letter case and without trimming; the
// first line with a name counts.
class tSettings {
public:
    explicit tSettings(bool threadSafe = false);
    tSettings(const std::string& fileName, bool threadSafe);
    tSettings(const std::string& fileName, const std::string& section, bool threadSafe);
    tSettings(const tSettings&) = delete;
    tSettings& operator=(const tSettings&) = delete;
    virtual ~tSettings();

    virtual void Init(bool threadSafe);
    virtual void Cleanup();

    // EFOpenError with message 1004 when the file does not exist.
    void Load(const std::string& fileName = "");
    // Replaces the file through a temporary file; tError when it cannot be written.
    void Save(const std::string& fileName = "");

    void SetSection(const std::string& section);
    std::string GetSection() const;
    void SetFileName(const std::string& fileName);
    std::string GetFileName() const;

    std::string GetSettingByName(const std::string& name) const;
    void SetSettingByName(const std::string& name, const std::string& value);
    int AddName(const std::string& name, const std::string& value);
    int IndexOfName(const std::string& name) const;
    int GetCount() const;
    std::string GetNameByIndex(int index) const;     // EListError when out of range
    std::string GetSettingByIndex(int index) const;  // EListError when out of range
    void SetSettingByIndex(int index, const std::string& value);
    void AssignTo(tSettings& destination) const;

private:
    // Implementation chooses how the optional lock and the lines are kept.
    std::unique_ptr<std::shared_mutex> lock_;
    std::string section_;
    std::string fileName_;
    std::unique_ptr<std::vector<std::string>> entries_;
    // How the file was written; Save in plain-lines mode writes it so again.
    tTextEncoding encoding_ = tTextEncoding::Utf8;
};

}  // namespace vantrel
