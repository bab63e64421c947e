#include <windows.h>

#include <string>

#include "base/Error.h"
#include "device/PortList.h"

namespace vantrel {

namespace {

const char kSerialCommKey[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM\\";

HKEY asKey(void* key) {
    return static_cast<HKEY>(key);
}

}  // namespace

bool tPortList::OpenSystemList() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    key_ = key;
    for (DWORD index = 0;; ++index) {
        char name[16384];
        DWORD nameLength = sizeof(name);
        LONG status =
            RegEnumValueA(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA) {
            continue;  // a name longer than the registry allows: skip it
        }
        if (status != ERROR_SUCCESS) {
            break;
        }
        entries_.emplace_back(std::string(name, nameLength), std::string());
    }
    return true;
}

std::string tPortList::ReadSystemPortName(const std::string& valueName) {
    if (key_ == nullptr) {
        throw tError("Serial port list not open: " + valueName);
    }
    DWORD type = 0;
    DWORD size = 0;
    LONG status = RegQueryValueExA(asKey(key_), valueName.c_str(), nullptr, &type, nullptr, &size);
    if (status == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ) {
        status = ERROR_INVALID_DATA;
    }
    std::string data;
    if (status == ERROR_SUCCESS) {
        data.resize(size + 1);
        DWORD length = size;
        status = RegQueryValueExA(asKey(key_), valueName.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(data.data()), &length);
        data.resize(length);
    }
    if (status != ERROR_SUCCESS) {
        throw tError("Cannot read serial port " + valueName + ": error " + std::to_string(status));
    }
    while (!data.empty() && data.back() == '\0') {
        data.pop_back();
    }
    return data;
}

void tPortList::CloseSystemList() {
    if (key_ != nullptr) {
        RegCloseKey(asKey(key_));
        key_ = nullptr;
    }
}

std::string tPortList::PortPath(const std::string& portName) {
    return "\\\\.\\" + portName;
}

}  // namespace vantrel
