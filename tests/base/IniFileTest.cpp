#include "base/IniFile.h"

#include <gtest/gtest.h>

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

TEST(IniFileTest, LongValuesAreCutWithoutSplittingACharacter) {
    const std::string ascii(3000, 'a');
    // 2046 ASCII bytes and then a two-byte letter straddling the limit.
    const std::string straddling = std::string(2046, 'b') + "Жx";
    const tIniFile ini =
        tIniFile::FromText("[S]\nA=" + ascii + "\nB=" + straddling + "\nC=\"" + ascii + "\"\n");
    EXPECT_EQ(ini.ReadString("S", "A"), std::string(2047, 'a'));
    EXPECT_EQ(ini.ReadString("S", "B"), std::string(2046, 'b'));
    EXPECT_EQ(ini.ReadString("S", "C"), std::string(2047, 'a'));
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
