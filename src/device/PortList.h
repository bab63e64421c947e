#pragma once

#include <string>
#include <vector>

namespace vantrel {

class tSettings;

// The machine's serial ports, as the connection procedure walks them: a key
// that may be missing, value names in enumeration order, and each value's
// port name. On Windows this is HKLM\HARDWARE\DEVICEMAP\SERIALCOMM; on Linux
// the real serial devices under /sys/class/tty (ttyS* with a driver, ttyUSB*,
// ttyACM*) in name order. A non-empty configuration key "Ports" (device paths
// separated by ";") replaces the system's list on every platform.
class tPortList {
public:
    explicit tPortList(const tSettings* settings);
    ~tPortList();

    bool OpenKey();                           // false: no serial ports in the system
    std::vector<std::string> GetValueNames();  // empty when none
    std::string ReadPortName(const std::string& valueName);  // tError on failure
    void CloseKey();

    // The path given to a detector: "\\.\" + name on Windows, the name itself
    // (already a device path) elsewhere.
    static std::string PortPath(const std::string& portName);

private:
    const tSettings* settings_;
    std::vector<std::pair<std::string, std::string>> entries_;  // value name, port name
    void* key_ = nullptr;                                        // HKEY on Windows
    bool open_ = false;
};

}  // namespace vantrel
