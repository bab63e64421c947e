#include "device/PortList.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "base/Error.h"
#include "base/Settings.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

TEST(PortList, ConfiguredPortsReplaceTheSystemList) {
    tSettings settings;
    settings.SetSettingByName("Ports", " /dev/pts/7 ;/tmp/station;;/dev/pts/7; ");
    tPortList list(&settings);
    ASSERT_TRUE(list.OpenKey());
    const std::vector<std::string> expected = {"/dev/pts/7", "/tmp/station"};
    EXPECT_EQ(list.GetValueNames(), expected);
    EXPECT_EQ(list.ReadPortName("/tmp/station"), "/tmp/station");
    EXPECT_THROW(list.ReadPortName("/dev/ttyS0"), tError);
    EXPECT_EQ(tPortList::PortPath("/tmp/station"), "/tmp/station");
    list.CloseKey();
    EXPECT_THROW(list.ReadPortName("/tmp/station"), tError);
}

// Only devices that can be a station's port, and ttyS2 before ttyS10.
TEST(PortList, SystemListHoldsRealSerialDevicesInNameOrder) {
    const fs::path root = fs::temp_directory_path() / ("vantrel-tty-" + std::to_string(getpid()));
    fs::remove_all(root);
    for (const char* uart : {"ttyS10", "ttyS2", "ttyS0"}) {
        fs::create_directories(root / uart / "device" / "driver");
    }
    for (const char* other :
         {"ttyS1", "ttyS3", "ttyUSB1", "ttyUSB0", "ttyACM0", "tty0", "console", "ttyprintk"}) {
        fs::create_directories(root / other);
    }
    std::vector<std::string> names;
    ASSERT_TRUE(listSerialDevices(root.string(), names));
    const std::vector<std::string> expected = {"ttyACM0", "ttyS0",   "ttyS2",
                                               "ttyS10",  "ttyUSB0", "ttyUSB1"};
    EXPECT_EQ(names, expected);
    fs::remove_all(root);
    EXPECT_FALSE(listSerialDevices(root.string(), names));
    EXPECT_TRUE(names.empty());
}

}  // namespace
}  // namespace vantrel
