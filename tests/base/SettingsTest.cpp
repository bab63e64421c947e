#include "base/Settings.h"

#include <gtest/gtest.h>

#include <thread>

#include "base/Error.h"
#include "base/Texts.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

namespace vantrel {
namespace {

using test::readBytes;
using test::writeBytes;

// A configuration as teachers' machines carry it: comments, blank lines,
// a header line, a line without "=" and a repeated name.
const std::string kConfig =
    "; Vantrel configuration\r\n"
    "\r\n"
    "[Main]\r\n"
    "VolCoeff=0.5\r\n"
    "Ports=/dev/ttyUSB0;/dev/pts/3\r\n"
    "Empty=\r\n"
    "just a remark\r\n"
    "volcoeff=9\r\n";

class SettingsTest : public ::testing::Test {
protected:
    test::tTempDir dir_;
};

TEST_F(SettingsTest, NamesIgnoreCaseAndTheFirstLineCounts) {
    const std::string name = dir_.file("vantrel.cfg");
    writeBytes(name, kConfig);
    tSettings settings(name, false);
    settings.Load();
    EXPECT_EQ(settings.GetCount(), 8);
    EXPECT_EQ(settings.GetSettingByName("VOLCOEFF"), "0.5");
    EXPECT_EQ(settings.IndexOfName("volCoeff"), 3);
    EXPECT_EQ(settings.GetSettingByIndex(7), "0.5") << "looked up by name: the first line wins";
    EXPECT_EQ(settings.GetNameByIndex(2), "") << "a header line has no name";
    EXPECT_EQ(settings.GetNameByIndex(6), "");
    EXPECT_EQ(settings.IndexOfName("just a remark"), -1);
    EXPECT_EQ(settings.IndexOfName(" VolCoeff"), -1) << "names are not trimmed";
    EXPECT_EQ(settings.GetSettingByName("Empty"), "");
    EXPECT_EQ(settings.GetSettingByName("Absent"), "");

    settings.SetSettingByName("VOLCOEFF", "0.25");
    EXPECT_EQ(settings.GetNameByIndex(3), "VOLCOEFF") << "written as the caller spelt it";
    settings.SetSettingByName("volcoeff", "");
    EXPECT_EQ(settings.GetSettingByName("VolCoeff"), "9") << "only the first line is deleted";
    settings.SetSettingByName("Absent", "");
    EXPECT_EQ(settings.GetCount(), 7);

    EXPECT_EQ(settings.AddName("Timeout", ""), 7);
    EXPECT_EQ(settings.GetNameByIndex(7), "Timeout") << "AddName keeps an empty value";
    EXPECT_EQ(settings.AddName("PORTS", "COM3"), 3);
    settings.SetSettingByIndex(3, "COM4");
    EXPECT_EQ(settings.GetSettingByName("ports"), "COM4");
    settings.SetSettingByIndex(3, "");
    EXPECT_EQ(settings.IndexOfName("Ports"), -1);

    for (int bad : {-1, settings.GetCount()}) {
        EXPECT_THROW(settings.GetNameByIndex(bad), EListError);
        EXPECT_THROW(settings.GetSettingByIndex(bad), EListError);
        EXPECT_THROW(settings.SetSettingByIndex(bad, "x"), EListError);
    }
}

TEST_F(SettingsTest, PlainLinesRoundTripByteForByte) {
    const std::string name = dir_.file("vantrel.cfg");
    const std::string copy = dir_.file("copy.cfg");
    writeBytes(name, kConfig);
    tSettings settings(name, false);
    settings.Load();
    settings.Save(copy);
    EXPECT_EQ(readBytes(copy), kConfig);
    EXPECT_EQ(settings.GetFileName(), copy);

    settings.SetSettingByName("LanguageID", "1087");
    settings.Save();
    EXPECT_EQ(readBytes(copy), kConfig + "LanguageID=1087\r\n");
    EXPECT_EQ(readBytes(name), kConfig);
    EXPECT_EQ(dir_.entryCount(), 2u) << "no temporary file left behind";
}

TEST_F(SettingsTest, LineBreaksOfAnyKindAndAByteOrderMark) {
    const std::string name = dir_.file("vantrel.cfg");
    writeBytes(name, "\xEF\xBB\xBFVolCoeff=2\nDTR=1\rTimeout=5\r\n\nLast=x");
    tSettings settings(name, false);
    settings.Load();
    EXPECT_EQ(settings.GetCount(), 5);
    EXPECT_EQ(settings.GetSettingByName("VolCoeff"), "2") << "the mark is not part of the name";
    EXPECT_EQ(settings.GetSettingByName("Timeout"), "5");
    EXPECT_EQ(settings.GetSettingByName("Last"), "x");
    settings.Save();
    EXPECT_EQ(readBytes(name), "\xEF\xBB\xBFVolCoeff=2\r\nDTR=1\r\nTimeout=5\r\n\r\nLast=x\r\n");
}

TEST_F(SettingsTest, MissingFileRaisesMessage1004AndChangesNothing) {
    const std::string name = dir_.file("vantrel.cfg");
    writeBytes(name, "A=1\r\n");
    tSettings settings(name, false);
    settings.Load();
    const std::string missing = dir_.file("none.cfg");
    try {
        settings.Load(missing);
        FAIL() << "no error";
    } catch (const EFOpenError& error) {
        EXPECT_EQ(std::string(error.what()), "Невозможно прочитать настройки из '" + missing +
                                                 "'.\r\nПричина: Файл не найден.");
    }
    EXPECT_EQ(settings.GetFileName(), name);
    EXPECT_EQ(settings.GetSettingByName("A"), "1");

    tSettings unnamed;
    try {
        unnamed.Load();
        FAIL() << "no error";
    } catch (const EFOpenError& error) {
        EXPECT_EQ(std::string(error.what()), formatMessage(1004, {""}));
    }
    // A folder is no settings file, and is not reported as a missing one.
    try {
        unnamed.Load(dir_.path());
        FAIL() << "no error";
    } catch (const EFOpenError& error) {
        EXPECT_EQ(std::string(error.what()), "Невозможно прочитать настройки из '" + dir_.path() +
                                                 "'.\r\nПричина: это папка, а не файл.");
    }
}

TEST_F(SettingsTest, FailedSaveLeavesTheOldFileAndFileName) {
    const std::string name = dir_.file("vantrel.cfg");
    writeBytes(name, kConfig);
    tSettings settings(name, false);
    settings.Load();
    settings.SetSettingByName("Filler", std::string(100000, 'x'));

    EXPECT_THROW(settings.Save(dir_.file("no-such-dir/vantrel.cfg")), tError);
    writeBytes(dir_.file("plain-file"), "");
    EXPECT_THROW(settings.Save(dir_.file("plain-file/vantrel.cfg")), tError);
    EXPECT_EQ(settings.GetFileName(), name);

#ifndef _WIN32
    {
        test::tFileSizeLimit full(4096);  // the disk fills up halfway through the write
        EXPECT_THROW(settings.Save(), tError);
    }
#endif

    EXPECT_EQ(readBytes(name), kConfig);
    EXPECT_EQ(dir_.entryCount(), 2u) << "the temporary file is removed";
}

TEST_F(SettingsTest, SectionModeReadsAndWritesOneIniSection) {
    const std::string name = dir_.file("station.ini");
    writeBytes(name,
               "; station\r\n[General]\r\nName=x\r\n\r\n[Device]\r\n"
               "  Timeout = \"300\" \r\n; DTR=0\r\nCheckCount=3\r\n");
    tSettings settings(name, "DEVICE", false);
    settings.Load();
    EXPECT_EQ(settings.GetCount(), 2);
    EXPECT_EQ(settings.GetNameByIndex(0), "Timeout");
    EXPECT_EQ(settings.GetSettingByName("timeout"), "300");

    settings.SetSettingByName("CheckCount", "5");
    settings.AddName("DTR", "1");
    settings.Save();
    EXPECT_EQ(readBytes(name),
              "; station\r\n[General]\r\nName=x\r\n\r\n[Device]\r\n"
              "Timeout=300\r\n; DTR=0\r\nCheckCount=5\r\nDTR=1\r\n");

    const std::string created = dir_.file("new.ini");
    settings.Save(created);
    EXPECT_EQ(readBytes(created), "[DEVICE]\r\nTimeout=300\r\nCheckCount=5\r\nDTR=1\r\n");
    EXPECT_EQ(settings.GetFileName(), created);

    tSettings other(name, "Missing", false);
    other.Load();
    EXPECT_EQ(other.GetCount(), 0);
}

TEST_F(SettingsTest, AssignCopiesEverythingAndNeverDeadlocks) {
    tSettings a(dir_.file("a.cfg"), "A", true);
    tSettings b(true);
    a.AddName("Key", "1");
    a.AssignTo(b);
    EXPECT_EQ(b.GetSection(), "A");
    EXPECT_EQ(b.GetFileName(), dir_.file("a.cfg"));
    EXPECT_EQ(b.GetSettingByName("key"), "1");
    a.AssignTo(a);
    EXPECT_EQ(a.GetCount(), 1);

    // Two stores assigned to each other from two threads while others read
    // and write: finishes, and ThreadSanitizer sees no race.
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        for (int i = 0; i < 200; ++i) {
            a.AssignTo(b);
        }
    });
    threads.emplace_back([&] {
        for (int i = 0; i < 200; ++i) {
            b.AssignTo(a);
        }
    });
    threads.emplace_back([&] {
        for (int i = 0; i < 200; ++i) {
            b.SetSettingByName("Key", std::to_string(i));
            (void)a.GetSettingByName("Key");
        }
    });
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(a.GetCount(), 1);
    EXPECT_EQ(b.GetCount(), 1);
}

}  // namespace
}  // namespace vantrel
