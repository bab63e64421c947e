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

    bool OpenKey();                                          // false: no serial ports in the system
    std::vector<std::string> GetValueNames();                // empty when none
    std::string ReadPortName(const std::string& valueName);  // tError on failure
    void CloseKey();

    // The path given to a detector: "\\.\" + name on Windows, the name itself
    // (already a device path) elsewhere.
    static std::string PortPath(const std::string& portName);

private:
    // The platform's own list; entries_ gets (value name, port name), the port
    // name left empty when it is to be read with ReadSystemPortName.
    bool OpenSystemList();
    std::string ReadSystemPortName(const std::string& valueName);
    void CloseSystemList();

    const tSettings* settings_;
    std::vector<std::pair<std::string, std::string>> entries_;  // value name, port name
    void* key_ = nullptr;                                       // HKEY on Windows
    bool open_ = false;
};

// The device paths of the configuration key "Ports", blanks trimmed, empty
// and repeated entries dropped.
std::vector<std::string> configuredPorts(const tSettings* settings);

#ifndef _WIN32
// The serial devices listed in a directory laid out like /sys/class/tty:
// ttyS* that have a driver (a real UART, not a placeholder), ttyUSB* and
// ttyACM*, in name order with numbers compared by value (ttyS2 before
// ttyS10). False when the directory cannot be read.
bool listSerialDevices(const std::string& ttyClassDir, std::vector<std::string>& names);
#endif

}  // namespace vantrel
