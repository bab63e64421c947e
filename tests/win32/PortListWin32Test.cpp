// The serial port list read from HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, and the
// station search that walks it. The tests rewrite that key in their own Wine
// prefix and put it back as it was.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "Win32TestSupport.h"
#include "base/Error.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "device/DetectorReaper.h"
#include "device/Device.h"
#include "device/PortList.h"
#include "station/StationFinder.h"
#include "support/CaptureLog.h"

namespace vantrel {
namespace {

const wchar_t kSerialComm[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";

std::wstring wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());  // the names here are ASCII
}

bool waitMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return true;
}

bool startsWithLine(const test::tCaptureLog& log, const std::string& start) {
    for (const std::string& line : log.Lines()) {
        if (line.starts_with(start)) {
            return true;
        }
    }
    return false;
}

// Set up by tools/wine-serial; the key is left as it is.
TEST(PortListWin32Listing, ListsTheSimulatorPort) {
    const std::string comName = test::simulatorComPort();
    if (comName.empty()) {
        GTEST_SKIP() << test::kNoSimulator;
    }
    tSettings settings;
    tPortList list(&settings);
    ASSERT_TRUE(list.OpenKey());
    std::vector<std::string> ports;
    for (const std::string& name : list.GetValueNames()) {
        ports.push_back(list.ReadPortName(name));
    }
    EXPECT_NE(std::find(ports.begin(), ports.end(), comName), ports.end());
}

class PortListWin32 : public ::testing::Test {
protected:
    struct tValue {
        std::wstring name;
        DWORD type = 0;
        std::vector<BYTE> data;
    };

    void SetUp() override {
        if (!test::runningUnderWine()) {
            GTEST_SKIP() << "rewrites the machine's list of serial ports: under Wine only";
        }
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, KEY_READ, &key) == ERROR_SUCCESS) {
            hadKey_ = true;
            for (DWORD index = 0;; ++index) {
                wchar_t name[256];
                DWORD nameLength = 256;
                tValue value;
                value.data.resize(1024);
                DWORD size = static_cast<DWORD>(value.data.size());
                if (RegEnumValueW(key, index, name, &nameLength, nullptr, &value.type,
                                  value.data.data(), &size) != ERROR_SUCCESS) {
                    break;
                }
                value.name.assign(name, nameLength);
                value.data.resize(size);
                saved_.push_back(std::move(value));
            }
            RegCloseKey(key);
        }
        DeleteKey();
        RegCloseKey(CreateKey());
    }

    void TearDown() override {
        if (!test::runningUnderWine()) {
            return;
        }
        DeleteKey();
        if (hadKey_) {
            HKEY key = CreateKey();
            for (const tValue& value : saved_) {
                RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.data(),
                               static_cast<DWORD>(value.data.size()));
            }
            RegCloseKey(key);
        }
    }

    // The key lives in the volatile part of the registry, as the system's does.
    static HKEY CreateKey() {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, nullptr, REG_OPTION_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        return key;
    }
    static void DeleteKey() { RegDeleteKeyW(HKEY_LOCAL_MACHINE, kSerialComm); }

    static void Set(const std::string& name, DWORD type, const void* data, DWORD size) {
        HKEY key = CreateKey();
        EXPECT_EQ(
            RegSetValueExW(key, wide(name).c_str(), 0, type, static_cast<const BYTE*>(data), size),
            ERROR_SUCCESS);
        RegCloseKey(key);
    }
    static void SetText(const std::string& name, const std::string& port, DWORD type = REG_SZ) {
        const std::wstring data = wide(port);
        Set(name, type, data.c_str(), static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    }

    // The value names as the registry enumerates them (Wine sorts them by
    // name, Windows keeps the order they were written in).
    static std::vector<std::string> EnumeratedNames() {
        std::vector<std::string> names;
        HKEY key = CreateKey();
        wchar_t name[256];
        DWORD length = 256;
        for (DWORD index = 0; RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr,
                                            nullptr) == ERROR_SUCCESS;
             ++index, length = 256) {
            names.emplace_back(name, name + length);
        }
        RegCloseKey(key);
        return names;
    }

    bool hadKey_ = false;
    std::vector<tValue> saved_;
};

TEST_F(PortListWin32, ListsTheValuesInRegistryOrder) {
    const std::map<std::string, std::string> ports = {
        {"\\Device\\Serial2", "COM12"},
        {"\\Device\\Serial0", "COM3"},
        {"\\Device\\VCP0", "COM5"},
    };
    SetText("\\Device\\VCP0", "COM5");
    SetText("\\Device\\Serial2", "COM12");
    SetText("\\Device\\Serial0", "COM3", REG_EXPAND_SZ);

    tSettings settings;
    tPortList list(&settings);
    ASSERT_TRUE(list.OpenKey());
    const std::vector<std::string> names = list.GetValueNames();
    EXPECT_EQ(names, EnumeratedNames());
    ASSERT_EQ(names.size(), ports.size());
    for (const std::string& name : names) {
        EXPECT_EQ(list.ReadPortName(name), ports.at(name));
    }
    EXPECT_EQ(tPortList::PortPath(list.ReadPortName("\\Device\\Serial2")), "\\\\.\\COM12");
    list.CloseKey();
    EXPECT_THROW(list.ReadPortName("\\Device\\Serial2"), tError);
}

TEST_F(PortListWin32, MissingOrEmptyKeyMeansNoPorts) {
    for (const bool keyExists : {false, true}) {
        DeleteKey();
        if (keyExists) {
            RegCloseKey(CreateKey());
        }
        tSettings settings;
        {
            tPortList list(&settings);
            EXPECT_EQ(list.OpenKey(), keyExists);
            EXPECT_TRUE(list.GetValueNames().empty());
        }
        test::tCaptureLog log;
        tDetectorReaper reaper;
        tStationFinder finder(settings, reaper);
        EXPECT_EQ(finder.Find({}, waitMs), nullptr);
        std::vector<std::string> expected = {"Registry created", "StringList created", "Rootkey!"};
        if (keyExists) {
            expected.insert(expected.end(),
                            {"Key opened.", "Object list created.", "Get Value Names."});
        }
        expected.push_back("COM: " + constantText("DK_NO_COM_PORTS"));
        EXPECT_EQ(log.Lines(), expected) << "key exists: " << keyExists;
    }
}

// The search reads every value in turn: one that is not a port name is
// logged and passed over, a port that cannot be opened is passed over, and
// the station on the simulator's port is found.
TEST_F(PortListWin32, SearchPassesOverBadEntriesToTheStation) {
    const std::string comName = test::simulatorComPort();
    if (comName.empty()) {
        GTEST_SKIP() << test::kNoSimulator;
    }
    const std::string path = tPortList::PortPath(comName);
    const DWORD number = 7;
    Set("\\Device\\Broken", REG_DWORD, &number, sizeof(number));
    SetText("\\Device\\Serial238", "COM239");
    SetText("\\Device\\Serial6", comName);

    tPortList list(nullptr);
    ASSERT_TRUE(list.OpenKey());
    EXPECT_THROW(list.ReadPortName("\\Device\\Broken"), tError);

    test::tModemStatusScope standIn(comName);
    tSettings settings;
    settings.SetSettingByName("Timeout", "0");
    settings.SetSettingByName("CheckCount", "2");
    test::tCaptureLog log;
    tDetectorReaper reaper;
    tStationFinder finder(settings, reaper);
    std::vector<std::string> tried;
    const auto device =
        finder.Find([&](const std::string& port, int) { tried.push_back(port); }, waitMs);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->PortName(), path);
    const std::vector<std::string> expected = {"\\\\.\\COM239", path};
    EXPECT_EQ(tried, expected);
    EXPECT_TRUE(startsWithLine(log, "Cannot read serial port \\Device\\Broken"));
    EXPECT_TRUE(startsWithLine(log, "DevID \\\\.\\COM239 error: "));
}

}  // namespace
}  // namespace vantrel
