#pragma once

#include <functional>
#include <string>
#include <vector>

#include "run/Quantities.h"

namespace vantrel {

// One language the user can choose.
struct tLanguage {
    int id = 0;            // Windows language identifier (1049 Russian, 1087 Kazakh)
    std::string name;      // shown in the language menu
    std::string fileName;  // its .lng file; empty for the built-in language
};

// The languages of this run, built once at start: entry 0 is the built-in
// Russian, then one per language file of the folders (not their
// subfolders), in the order the folder listings give them; "KK.LNG" copied
// from Windows counts as much as "kk.lng". A file that names no language,
// language 0 or the built-in one (or a language an earlier file named) adds
// none.
class tLanguageList {
public:
    // The system's own name of a language ("" when it has none).
    using tSystemName = std::function<std::string(int id)>;

    static tLanguageList Scan(const std::vector<std::string>& folders,
                              const tSystemName& systemName = {});

    const std::vector<tLanguage>& Entries() const { return entries_; }
    // The entry of `id`; 0 (the built-in language) when no file provides it.
    int IndexOf(int id) const;

    // The quantity and mark column names of every file read, a language it
    // did not add included: exports written in any of them should read back
    // (addExportTitles).
    const tExportTitles& ExportTitles() const { return exportTitles_; }

private:
    std::vector<tLanguage> entries_;
    tExportTitles exportTitles_;
};

// A Windows language identifier as a locale tag: "kk_KZ" for the languages
// the program knows, the language's code alone ("es") for others; "" when
// the number names no language.
std::string localeTagOf(int id);
// The name shown for a language: the system's, else the name of the
// languages the program ships, else the identifier in decimal.
std::string languageDisplayName(int id, const std::string& systemName);

}  // namespace vantrel
