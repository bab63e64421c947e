#pragma once

#include <functional>
#include <memory>
#include <string>

#include "device/SerialPort.h"

namespace vantrel {

// Serial ports that live inside this program, such as the built-in station
// simulator's line. A path registered here opens the in-process port instead
// of a device of the system, so the detector, the device link and the
// measurement thread run against it unchanged on every platform.
using tPortFactory = std::function<std::unique_ptr<iSerialPort>()>;

// A later registration of the same path replaces the earlier one. The
// Windows device path of a registered name ("\\.\" + name) finds it too.
void registerVirtualPort(const std::string& path, tPortFactory factory);
void unregisterVirtualPort(const std::string& path);

}  // namespace vantrel
