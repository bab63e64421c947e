#include "device/PortList.h"

#include <algorithm>

#include "base/Error.h"
#include "base/Functions.h"
#include "base/Settings.h"

namespace vantrel {

namespace {

std::string trimBlanks(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

}  // namespace

std::vector<std::string> configuredPorts(const tSettings* settings) {
    std::vector<std::string> ports;
    if (settings == nullptr) {
        return ports;
    }
    std::string list = settings->GetSettingByName("Ports");
    while (!list.empty()) {
        std::string port = trimBlanks(takeField(list, ';', true));
        if (!port.empty() && std::find(ports.begin(), ports.end(), port) == ports.end()) {
            ports.push_back(std::move(port));
        }
    }
    return ports;
}

tPortList::tPortList(const tSettings* settings) : settings_(settings) {}

tPortList::~tPortList() {
    CloseKey();
}

bool tPortList::OpenKey() {
    CloseKey();
    const std::vector<std::string> configured = configuredPorts(settings_);
    if (!configured.empty()) {
        // A configured port is its own value name: there is no system name.
        for (const std::string& port : configured) {
            entries_.emplace_back(port, port);
        }
        open_ = true;
        return true;
    }
    open_ = OpenSystemList();
    return open_;
}

std::vector<std::string> tPortList::GetValueNames() {
    std::vector<std::string> names;
    for (const auto& entry : entries_) {
        names.push_back(entry.first);
    }
    return names;
}

std::string tPortList::ReadPortName(const std::string& valueName) {
    if (!open_) {
        throw tError("Port list not open: " + valueName);
    }
    for (const auto& entry : entries_) {
        if (entry.first == valueName) {
            return entry.second.empty() ? ReadSystemPortName(valueName) : entry.second;
        }
    }
    throw tError("Unknown serial port: " + valueName);
}

void tPortList::CloseKey() {
    CloseSystemList();
    entries_.clear();
    open_ = false;
}

}  // namespace vantrel
