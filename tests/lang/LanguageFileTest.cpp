// The language files and the language list, without any window.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/Texts.h"
#include "lang/LanguageFile.h"
#include "lang/LanguageList.h"
#include "lang/Translatable.h"
#include "run/Quantities.h"
#include "support/TempDir.h"

namespace vantrel {
namespace {

using test::tTempDir;
using test::writeBytes;

const std::string kLanguages = std::string(VANTREL_SOURCE_DIR) + "/languages/";

// A shipped file translates everything: every text of the windows and
// frames and every constant the program has (the English one also every
// numbered message, which only Russian and Kazakh have built in). A text
// added to the program without its translations fails here.
TEST(LanguageFile, ShippedFilesAreComplete) {
    for (const auto& [name, id] : {std::pair{"kk.lng", 1087}, std::pair{"en.lng", 1033}}) {
        const tLanguageFile file = tLanguageFile::FromFile(kLanguages + name);
        EXPECT_EQ(file.LanguageId(), id) << name;
        std::string text;
        for (const tTranslatable& t : translatableTexts()) {
            const std::size_t dot = t.key.find('.');
            EXPECT_TRUE(file.Find(t.section, t.key.substr(0, dot), t.key.substr(dot + 1), text))
                << name << " lacks [" << t.section << "] " << t.key;
        }
        for (std::string_view constant : constantNames()) {
            EXPECT_EQ(file.Constants().count(std::string(constant)), 1u)
                << name << " lacks " << constant;
        }
        if (id == 1033) {
            for (int number : messageNumbers()) {
                EXPECT_EQ(file.Messages().count(number), 1u) << name << " lacks message " << number;
            }
            EXPECT_EQ(file.Messages().at(903), "System error: ") << "quotes keep the blank";
            EXPECT_EQ(file.Messages().at(1004),
                      "Cannot read the settings from '%s'.\r\nReason: the file was not found.");
        }
    }
}

TEST(LanguageList, OneEntryPerLanguageTheFilesName) {
    tTempDir dir;
    writeBytes(dir.file("kk.lng"), "[Header]\nLANGID=1087\n[Constants]\nDK_STATE_ON=Қос\n");
    // A second Kazakh: no entry, but its names are read.
    writeBytes(dir.file("again.lng"),
               "[Header]\nLANGID=1087\n[Constants]\nDK_SENS_4=Titrant\nDK_TABLE_MARK=Marked\n");
    writeBytes(dir.file("russian.lng"), "[Header]\nLANGID=1049\n");  // the built-in one
    writeBytes(dir.file("zero.lng"), "[Header]\nLANGID=0\n");
    writeBytes(dir.file("none.lng"), "[Constants]\nDK_STATE_ON=x\n");
    writeBytes(dir.file("words.lng"), "[Header]\nLANGID=kk\n");
    writeBytes(dir.file("XX.LNG"), "[Header]\nLANGID=4711\n");     // copied from Windows
    writeBytes(dir.file("notes.txt"), "[Header]\nLANGID=1033\n");  // not a .lng
    const tLanguageList list = tLanguageList::Scan({dir.path(), dir.file("missing")},
                                                   [](int id) { return id == 4711 ? "" : "sys"; });
    ASSERT_EQ(list.Entries().size(), 3u);
    EXPECT_EQ(list.Entries()[0].id, 1049);
    EXPECT_TRUE(list.Entries()[0].fileName.empty());
    std::set<int> ids{list.Entries()[1].id, list.Entries()[2].id};
    EXPECT_EQ(ids, (std::set<int>{1087, 4711}));
    EXPECT_EQ(list.Entries()[list.IndexOf(4711)].name, "4711") << "no name anywhere: the number";
    EXPECT_EQ(list.Entries()[list.IndexOf(1087)].name, "sys");
    EXPECT_EQ(list.IndexOf(1049), 0);
    EXPECT_EQ(list.IndexOf(1033), 0) << "no file for it: the built-in language";
    EXPECT_EQ(languageDisplayName(1087, ""), "Қазақ тілі");
    // The export reader learns the files' names when told to, not by the scan.
    EXPECT_EQ(list.ExportTitles().quantities[qV1], std::vector<std::string>{"Titrant"});
    EXPECT_FALSE(isQuantityAlias(qV1, "Titrant"));
    addExportTitles(list.ExportTitles());
    EXPECT_TRUE(isQuantityAlias(qV1, "Titrant"));
    EXPECT_TRUE(isMarkTitle("Marked"));
}

}  // namespace
}  // namespace vantrel
