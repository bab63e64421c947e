#include "device/VirtualPorts.h"

#include <map>
#include <mutex>
#include <string_view>

namespace vantrel {

namespace {

// Detector threads create ports while the simulator may come or go.
std::mutex registryLock;

std::map<std::string, tPortFactory>& registry() {
    static std::map<std::string, tPortFactory> ports;
    return ports;
}

}  // namespace

void registerVirtualPort(const std::string& path, tPortFactory factory) {
    std::lock_guard lock(registryLock);
    registry()[path] = std::move(factory);
}

void unregisterVirtualPort(const std::string& path) {
    std::lock_guard lock(registryLock);
    registry().erase(path);
}

std::unique_ptr<iSerialPort> createSerialPort(const std::string& path) {
    // Windows names every port by its device path, "\\.\" and the name.
    constexpr std::string_view kDevicePrefix = "\\\\.\\";
    const std::string name =
        path.starts_with(kDevicePrefix) ? path.substr(kDevicePrefix.size()) : path;
    {
        std::lock_guard lock(registryLock);
        const auto found = registry().find(name);
        if (found != registry().end()) {
            return found->second();
        }
    }
    return createSystemSerialPort();
}

}  // namespace vantrel
