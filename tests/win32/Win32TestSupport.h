#pragma once

#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "device/SerialPort.h"
#include "device/VirtualPorts.h"

namespace vantrel::test {

// Wine's comm and registry emulation differs from Windows in ways the tests
// pin down, so that a Wine release that changes them shows up.
inline bool runningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The COM port ("COM7") on which tools/wine-serial put the station
// simulator; empty when the tests run without it.
inline std::string simulatorComPort() {
    const char* name = std::getenv("VANTREL_WINE_COM");
    return name != nullptr ? std::string(name) : std::string();
}

inline const char kNoSimulator[] =
    "VANTREL_WINE_COM is not set: tools/wine-serial runs these tests with the station "
    "simulator on a COM port";

// The system port with one call answered here: under Wine a COM port that
// leads to a pseudo-terminal has no modem lines, so GetCommModemStatus fails
// and the device link would stop there. Everything else reaches the port.
class tModemStatusStandIn final : public iSerialPort {
public:
    tModemStatusStandIn() : port_(createSystemSerialPort()) {}

    bool ReadDefaultConfig(const std::string& path) override {
        return Pass(port_->ReadDefaultConfig(path));
    }
    bool WriteDefaultDtr(const std::string& path, bool raise) override {
        return Pass(port_->WriteDefaultDtr(path, raise));
    }
    bool Open(const std::string& path) override { return Pass(port_->Open(path)); }
    void Close() override { port_->Close(); }
    bool IsOpen() const override { return port_->IsOpen(); }
    bool RaiseRts() override { return Pass(port_->RaiseRts()); }
    bool SetBreak() override { return Pass(port_->SetBreak()); }
    bool ClearBreak() override { return Pass(port_->ClearBreak()); }
    bool GetModemStatus(unsigned& status) override {
        status = 0;
        return port_->IsOpen();
    }
    bool ApplyLineSettings(tDtrMode dtr) override { return Pass(port_->ApplyLineSettings(dtr)); }
    bool SetTimeouts(unsigned readTotalMs, unsigned writeTotalMs) override {
        return Pass(port_->SetTimeouts(readTotalMs, writeTotalMs));
    }
    bool GetReadTimeout(unsigned& readTotalMs) override {
        return Pass(port_->GetReadTimeout(readTotalMs));
    }
    bool SetReadTimeout(unsigned readTotalMs) override {
        return Pass(port_->SetReadTimeout(readTotalMs));
    }
    bool Read(void* buffer, unsigned count, unsigned& received) override {
        return Pass(port_->Read(buffer, count, received));
    }
    bool Write(const void* data, unsigned count, unsigned& written) override {
        return Pass(port_->Write(data, count, written));
    }
    bool Purge() override { return Pass(port_->Purge()); }

private:
    bool Pass(bool ok) {
        if (!ok) {
            SetError(port_->LastErrorCode(), port_->LastErrorText());
        }
        return ok;
    }

    std::unique_ptr<iSerialPort> port_;
};

// Under Wine, makes every port opened for COM port `name` ("COM7", the device
// path "\\.\COM7" included) a tModemStatusStandIn for its lifetime; on
// Windows the device link gets the system port unchanged.
class tModemStatusScope {
public:
    explicit tModemStatusScope(std::string name) : name_(std::move(name)) {
        if (runningUnderWine()) {
            registerVirtualPort(name_, [] { return std::make_unique<tModemStatusStandIn>(); });
        }
    }
    ~tModemStatusScope() { unregisterVirtualPort(name_); }
    tModemStatusScope(const tModemStatusScope&) = delete;
    tModemStatusScope& operator=(const tModemStatusScope&) = delete;

private:
    std::string name_;
};

}  // namespace vantrel::test
