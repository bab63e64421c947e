#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "device/PortList.h"

namespace vantrel {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// "ttyS10" -> ("ttyS", 10); names without a trailing number sort by text.
bool nameLess(const std::string& a, const std::string& b) {
    auto split = [](const std::string& name) {
        std::size_t digits = name.size();
        while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') {
            --digits;
        }
        std::string number = name.substr(digits);
        number.erase(0, std::min(number.find_first_not_of('0'), number.size()));
        return std::make_pair(name.substr(0, digits), number);
    };
    auto [prefixA, numberA] = split(a);
    auto [prefixB, numberB] = split(b);
    if (prefixA != prefixB) {
        return prefixA < prefixB;
    }
    if (numberA.size() != numberB.size()) {
        return numberA.size() < numberB.size();
    }
    if (numberA != numberB) {
        return numberA < numberB;
    }
    return a < b;
}

const char kTtyClassDir[] = "/sys/class/tty";

}  // namespace

bool listSerialDevices(const std::string& ttyClassDir, std::vector<std::string>& names) {
    namespace fs = std::filesystem;
    names.clear();
    std::error_code error;
    fs::directory_iterator it(ttyClassDir, error);
    if (error) {
        return false;
    }
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error) {
            break;
        }
        const std::string name = it->path().filename().string();
        bool wanted = false;
        if (startsWith(name, "ttyUSB") || startsWith(name, "ttyACM")) {
            wanted = true;
        } else if (startsWith(name, "ttyS")) {
            // Every kernel registers a few ttyS placeholders; only those bound
            // to a driver have a UART behind them.
            std::error_code ignored;
            wanted = fs::exists(it->path() / "device" / "driver", ignored);
        }
        if (wanted) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end(), nameLess);
    return true;
}

bool tPortList::OpenSystemList() {
    std::vector<std::string> names;
    if (!listSerialDevices(kTtyClassDir, names)) {
        return false;
    }
    for (const std::string& name : names) {
        entries_.emplace_back(name, "/dev/" + name);
    }
    return true;
}

std::string tPortList::ReadSystemPortName(const std::string& valueName) {
    return "/dev/" + valueName;
}

void tPortList::CloseSystemList() {}

std::string tPortList::PortPath(const std::string& portName) {
    return portName;
}

}  // namespace vantrel
