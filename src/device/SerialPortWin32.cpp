#include <windows.h>

#include <string>

#include "base/Error.h"
#include "device/SerialPort.h"

namespace vantrel {

namespace {

// The stored default configuration is looked up by port name ("COM3"), not by
// device path: given "\\.\COM3" the lookup fails (ERROR_BADKEY) and a DTR
// default from the configuration would never be written.
std::string defaultConfigName(const std::string& path) {
    constexpr char kDevicePrefix[] = "\\\\.\\";
    return path.starts_with(kDevicePrefix) ? path.substr(sizeof(kDevicePrefix) - 1) : path;
}

class tSerialPortWin32 final : public iSerialPort {
public:
    ~tSerialPortWin32() override { Close(); }

    bool ReadDefaultConfig(const std::string& path) override {
        ZeroMemory(&config_, sizeof(config_));
        config_.dwSize = sizeof(config_);
        config_.wVersion = 1;
        DWORD size = sizeof(config_);
        haveConfig_ =
            GetDefaultCommConfigA(defaultConfigName(path).c_str(), &config_, &size) != FALSE;
        return haveConfig_ || fail();
    }

    bool WriteDefaultDtr(const std::string& path, bool raise) override {
        if (!haveConfig_) {
            // A zeroed record written back would replace the port's whole
            // stored configuration, not just its DTR setting.
            SetError(ERROR_INVALID_DATA, windowsErrorText(ERROR_INVALID_DATA));
            return false;
        }
        config_.dcb.fDtrControl = raise ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
        if (!SetDefaultCommConfigA(defaultConfigName(path).c_str(), &config_, sizeof(config_))) {
            return fail();
        }
        return true;
    }

    bool Open(const std::string& path) override {
        Close();
        handle_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        return handle_ != INVALID_HANDLE_VALUE || fail();
    }

    void Close() override {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
            handle_ = INVALID_HANDLE_VALUE;
        }
    }

    bool IsOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }

    bool RaiseRts() override {
        return checkOpen() && (EscapeCommFunction(handle_, SETRTS) || fail());
    }
    bool SetBreak() override { return checkOpen() && (SetCommBreak(handle_) || fail()); }
    bool ClearBreak() override { return checkOpen() && (ClearCommBreak(handle_) || fail()); }

    bool GetModemStatus(unsigned& status) override {
        status = 0;
        DWORD bits = 0;
        if (!checkOpen()) {
            return false;
        }
        if (!GetCommModemStatus(handle_, &bits)) {
            return fail();
        }
        status = bits;
        return true;
    }

    bool ApplyLineSettings(tDtrMode dtr) override {
        if (!checkOpen()) {
            return false;
        }
        DCB dcb;
        ZeroMemory(&dcb, sizeof(dcb));
        GetCommState(handle_,
                     &dcb);  // a failure leaves the zeroed block, which SetCommState judges
        dcb.DCBlength = sizeof(dcb);
        dcb.BaudRate = CBR_115200;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        if (dtr == tDtrMode::Raise) {
            dcb.fDtrControl = DTR_CONTROL_ENABLE;
        } else if (dtr == tDtrMode::Drop) {
            dcb.fDtrControl = DTR_CONTROL_DISABLE;
        }
        return SetCommState(handle_, &dcb) || fail();
    }

    // All zero means "wait until every byte arrived" to Windows; a read
    // timeout of 0 must return at once with what is there, as on POSIX.
    static void setReadTotal(COMMTIMEOUTS& timeouts, unsigned readTotalMs) {
        timeouts.ReadIntervalTimeout = readTotalMs == 0 ? MAXDWORD : 0;
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = readTotalMs;
    }

    bool SetTimeouts(unsigned readTotalMs, unsigned writeTotalMs) override {
        if (!checkOpen()) {
            return false;
        }
        COMMTIMEOUTS timeouts;
        setReadTotal(timeouts, readTotalMs);
        timeouts.WriteTotalTimeoutMultiplier = 0;
        timeouts.WriteTotalTimeoutConstant = writeTotalMs;
        return SetCommTimeouts(handle_, &timeouts) || fail();
    }

    bool GetReadTimeout(unsigned& readTotalMs) override {
        COMMTIMEOUTS timeouts;
        if (!checkOpen()) {
            return false;
        }
        if (!GetCommTimeouts(handle_, &timeouts)) {
            return fail();
        }
        readTotalMs = timeouts.ReadTotalTimeoutConstant;
        return true;
    }

    bool SetReadTimeout(unsigned readTotalMs) override {
        COMMTIMEOUTS timeouts;
        if (!checkOpen()) {
            return false;
        }
        if (!GetCommTimeouts(handle_, &timeouts)) {
            return fail();
        }
        setReadTotal(timeouts, readTotalMs);
        return SetCommTimeouts(handle_, &timeouts) || fail();
    }

    bool Read(void* buffer, unsigned count, unsigned& received) override {
        received = 0;
        if (!checkOpen()) {
            return false;
        }
        DWORD got = 0;
        BOOL ok = ReadFile(handle_, buffer, count, &got, nullptr);
        received = got;
        if (!ok) {
            return fail();
        }
        return got == count || stillThere();
    }

    bool Write(const void* data, unsigned count, unsigned& written) override {
        written = 0;
        if (!checkOpen()) {
            return false;
        }
        DWORD done = 0;
        BOOL ok = WriteFile(handle_, data, count, &done, nullptr);
        written = done;
        return ok || fail();
    }

    bool Purge() override {
        return checkOpen() && (PurgeComm(handle_, PURGE_TXCLEAR | PURGE_RXCLEAR) || fail());
    }

private:
    bool fail() {
        DWORD code = GetLastError();
        SetError(static_cast<int>(code), windowsErrorText(code));
        return false;
    }

    // A read that ends short may also mean the device is gone: Wine, for one,
    // answers every read on a pseudo-terminal whose other side has closed with
    // nothing, which would pass for a silent station. The port's status can no
    // longer be read then; a driver that does not offer it at all is taken at
    // its word.
    bool stillThere() {
        DWORD errors = 0;
        COMSTAT status;
        if (ClearCommError(handle_, &errors, &status)) {
            return true;
        }
        const DWORD code = GetLastError();
        if (code == ERROR_INVALID_FUNCTION || code == ERROR_NOT_SUPPORTED ||
            code == ERROR_INVALID_PARAMETER) {
            return true;
        }
        SetError(static_cast<int>(code), windowsErrorText(code));
        return false;
    }

    bool checkOpen() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            return true;
        }
        SetError(ERROR_INVALID_HANDLE, windowsErrorText(ERROR_INVALID_HANDLE));
        return false;
    }

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    COMMCONFIG config_{};
    bool haveConfig_ = false;
};

}  // namespace

std::unique_ptr<iSerialPort> createSystemSerialPort() {
    return std::make_unique<tSerialPortWin32>();
}

}  // namespace vantrel
