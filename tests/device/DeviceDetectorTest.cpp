#include "device/DeviceDetector.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "DeviceTestSupport.h"
#include "base/Error.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "device/Device.h"
#include "sim/Simulator.h"

namespace vantrel {
namespace {

using test::tLogScope;

class DeviceDetectorTest : public ::testing::Test {
protected:
    DeviceDetectorTest() {
        settings_.SetSettingByName("Timeout", "10");
        settings_.SetSettingByName("CheckCount", "2");
        settings_.SetSettingByName("CheckTimeout", "50");
    }

    void StartStation(sim::tFaults faults = {}) {
        sim::tOptions options;
        options.faults = faults;
        station_ = std::make_unique<sim::tSimulator>(options);
        station_->Start();
    }

    // The port is free again exactly when whoever had it closed it.
    bool PortIsFree(const std::string& path) {
        tDevice probe(path, &settings_);
        std::string error;
        return probe.Open(error);
    }

    tLogScope log_;
    tSettings settings_;
    std::unique_ptr<sim::tSimulator> station_;
};

TEST_F(DeviceDetectorTest, HandsOverTheOpenIdentifiedDevice) {
    StartStation();
    std::unique_ptr<tDevice> device;
    {
        tDeviceDetector detector(station_->PortPath(), &settings_);
        detector.WaitFor();
        device.reset(detector.FoundDevice());
    }  // the detector leaves its device alone
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->PortName(), station_->PortPath());
    EXPECT_FALSE(PortIsFree(station_->PortPath()));
    std::string reply;
    EXPECT_TRUE(device->Query("?", reply));
    device.reset();
    EXPECT_TRUE(PortIsFree(station_->PortPath()));
}

TEST_F(DeviceDetectorTest, WrongAnswerYieldsNoDeviceAndClosesThePort) {
    sim::tFaults faults;
    faults.ignoreIdentify = true;
    StartStation(faults);
    const std::string path = station_->PortPath();
    {
        tDeviceDetector detector(path, &settings_);
        detector.WaitFor();
        EXPECT_EQ(detector.FoundDevice(), nullptr);
    }
    EXPECT_TRUE(log_->Contains("CHECK: " + path + " READ ID FAILED"));
    EXPECT_TRUE(log_->Contains("DevID " + path + " error: CHECK failed."));
    EXPECT_TRUE(PortIsFree(path));
}

TEST_F(DeviceDetectorTest, PortThatCannotBeOpenedIsLoggedWithMessage1007) {
    const std::string path = "/dev/vantrel-no-such-port";
    tDeviceDetector detector(path, &settings_);
    detector.WaitFor();
    EXPECT_EQ(detector.FoundDevice(), nullptr);
    EXPECT_TRUE(log_->Contains("DevID " + path +
                               " error: " + formatMessage(1007, {path, systemErrorText(ENOENT)})));
}

}  // namespace
}  // namespace vantrel
