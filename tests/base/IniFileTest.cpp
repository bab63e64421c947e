#include "base/IniFile.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "base/Error.h"
#include "support/TempDir.h"

namespace vantrel {
namespace {

using Keys = std::vector<std::pair<std::string, std::string>>;

TEST(IniFileTest, ReadsSectionsAndKeysAsScenarioFilesNeedThem) {
    const tIniFile ini = tIniFile::FromText(
        "\xEF\xBB\xBF[General]\r\n"
        "; Name=commented out\r\n"
        "  name =  \"Titration\"  \r\n"
        "StartState='0'\n"
        "FinalState=\"2'\r"
        "no equals sign\r\n"
        "=nameless\r\n"
        "NAME=second, ignored\r\n"
        "[State0]\r\n"
        "Name=Heat\r\n"
        "[general]\r\n"
        "Name=another General section, ignored\r\n");
    EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"General", "State0"}));
    EXPECT_TRUE(ini.HasSection("GENERAL"));
    EXPECT_FALSE(ini.HasSection("State1"));
    EXPECT_EQ(ini.ReadSection("general"),
              (Keys{{"name", "Titration"}, {"StartState", "0"}, {"FinalState", "\"2'"}}));
    EXPECT_EQ(ini.ReadString("General", "NAME"), "Titration");
    EXPECT_EQ(ini.ReadString("state0", "name"), "Heat");
    EXPECT_EQ(ini.ReadString("State1", "Name", "none"), "none");
    EXPECT_TRUE(ini.ReadSection("State1").empty());
}

// The limit counts characters, not the bytes UTF-8 needs for them: a name in
// Cyrillic is as long as one in Latin letters.
TEST(IniFileTest, LongValuesAreCutAtACountOfCharacters) {
    const auto repeat = [](std::string_view text, std::size_t times) {
        std::string all;
        for (std::size_t i = 0; i < times; ++i) {
            all += text;
        }
        return all;
    };
    const struct {
        std::string value;  // as written after "K="
        std::string read;
    } cases[] = {
        {repeat("a", 3000), repeat("a", 2047)},
        {"\"" + repeat("a", 3000) + "\"", repeat("a", 2047)},
        {repeat("Ж", 1500), repeat("Ж", 1500)},
        {repeat("Ж", 2047), repeat("Ж", 2047)},
        {repeat("Ж", 3000), repeat("Ж", 2047)},
        {repeat("b", 2046) + "Жx", repeat("b", 2046) + "Ж"},
        {repeat("€", 2000) + repeat("𝄞", 100), repeat("€", 2000) + repeat("𝄞", 47)},
    };
    for (const auto& c : cases) {
        const tIniFile ini = tIniFile::FromText("[S]\nK=" + c.value + "\n");
        // Compared whole, reported by size: the texts run to kilobytes.
        const std::string read = ini.ReadString("S", "K");
        EXPECT_TRUE(read == c.read) << c.value.substr(0, 12) << ": " << read.size()
                                    << " bytes read, " << c.read.size() << " expected";
        EXPECT_TRUE(ini.ReadSection("S").at(0).second == c.read) << c.value.substr(0, 12);
    }
}

TEST(IniFileTest, WritingChangesOnlyTheLinesItMust) {
    tIniFile ini =
        tIniFile::FromText("; settings\n[Device]\nTimeout = 300 ; old\n\n[Other]\nKey=1");
    ini.WriteString("device", "TIMEOUT", "50");
    ini.WriteString("Device", "DTR", "1");
    ini.WriteString("Other", "New", "x");
    ini.WriteString("Added", "A", "'quoted'");
    EXPECT_EQ(
        ini.Text(),
        "; settings\n[Device]\nTIMEOUT=50\nDTR=1\n\n[Other]\nKey=1\nNew=x\n[Added]\nA='quoted'\n");
    EXPECT_EQ(ini.ReadString("Added", "a"), "quoted");

    tIniFile empty;
    empty.WriteString("S", "K", "v");
    EXPECT_EQ(empty.Text(), "[S]\r\nK=v\r\n");

    for (const auto& [section, key, value] :
         std::vector<std::tuple<std::string, std::string, std::string>>{{"S", "K", "a\r\nB=b"},
                                                                        {"S", "K=1", "v"},
                                                                        {"S", "", "v"},
                                                                        {"S", ";K", "v"},
                                                                        {"S]", "K", "v"},
                                                                        {"", "K", "v"},
                                                                        {"S\n", "K", "v"}}) {
        EXPECT_THROW(empty.WriteString(section, key, value), tError) << section << "|" << key;
    }
    EXPECT_EQ(empty.Text(), "[S]\r\nK=v\r\n");
}

TEST(IniFileTest, FilesReadMissingAsEmptyAndSaveWholly) {
    test::tTempDir dir;
    const std::string name = dir.file("scenario.exp");
    EXPECT_TRUE(tIniFile(name).Sections().empty());
    tIniFile ini(name);
    ini.WriteString("General", "Name", "Опыт");
    ini.Save(name);
    EXPECT_EQ(tIniFile(name).ReadString("general", "name"), "Опыт");
    EXPECT_EQ(dir.entryCount(), 1u) << "no temporary file left behind";
    EXPECT_THROW(ini.Save(dir.file("no-such-dir/scenario.exp")), tError);
    EXPECT_THROW(tIniFile{dir.file("")}, tError) << "a directory cannot be read as a file";
}

}  // namespace
}  // namespace vantrel
