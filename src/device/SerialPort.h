#pragma once

#include <memory>
#include <string>
#include <utility>

namespace vantrel {

// What the DTR line does when the line settings are applied.
enum class tDtrMode {
    Keep,   // as the port driver has it
    Raise,  // DTR on
    Drop,   // DTR off
};

// One serial port with exactly the operations the device link needs. Every
// operation reports failure as false and leaves the system's error code and
// text behind (LastErrorCode/LastErrorText); none of them throws. Operations on
// a port that is not open fail.
//
// Not thread-safe: one thread at a time (the device link while idle, the
// measurement thread while it runs).
class iSerialPort {
public:
    static constexpr unsigned kBaudRate = 115200;
    static constexpr unsigned kDefaultTimeoutMs = 500;

    iSerialPort() = default;
    iSerialPort(const iSerialPort&) = delete;
    iSerialPort& operator=(const iSerialPort&) = delete;
    virtual ~iSerialPort() = default;

    // The port's stored default configuration (kept by the system per port
    // name, before the port is opened). ReadDefaultConfig must succeed before
    // WriteDefaultDtr makes sense.
    virtual bool ReadDefaultConfig(const std::string& path) = 0;
    virtual bool WriteDefaultDtr(const std::string& path, bool raise) = 0;

    // Exclusive access: a port held by another program cannot be opened.
    virtual bool Open(const std::string& path) = 0;
    virtual void Close() = 0;  // harmless when closed
    virtual bool IsOpen() const = 0;

    virtual bool RaiseRts() = 0;
    virtual bool SetBreak() = 0;
    virtual bool ClearBreak() = 0;
    virtual bool GetModemStatus(unsigned& status) = 0;

    // 115200 baud, 8 data bits, no parity, one stop bit, RTS on, DTR per
    // `dtr`; flow control and special characters stay as the driver has them.
    virtual bool ApplyLineSettings(tDtrMode dtr) = 0;

    // A read waits at most readTotalMs in all (no interval or per-byte part);
    // a write at most writeTotalMs.
    virtual bool SetTimeouts(unsigned readTotalMs, unsigned writeTotalMs) = 0;
    virtual bool GetReadTimeout(unsigned& readTotalMs) = 0;
    virtual bool SetReadTimeout(unsigned readTotalMs) = 0;

    // Returns when `count` bytes arrived or the read timeout elapsed (true,
    // `received` tells how many). False when the port failed, for instance
    // because the device is gone; bytes that arrived before stay counted.
    virtual bool Read(void* buffer, unsigned count, unsigned& received) = 0;
    // True when the call itself succeeded; `written` may fall short of
    // `count` when the write timeout elapsed.
    virtual bool Write(const void* data, unsigned count, unsigned& written) = 0;
    // Discards whatever waits in the transmit and receive buffers.
    virtual bool Purge() = 0;

    int LastErrorCode() const { return errorCode_; }
    const std::string& LastErrorText() const { return errorText_; }

protected:
    void SetError(int code, std::string text) {
        errorCode_ = code;
        errorText_ = std::move(text);
    }

private:
    int errorCode_ = 0;
    std::string errorText_;
};

// The port for `path`: an in-process port registered under that path (see
// VirtualPorts.h), else the implementation for the platform the program runs on.
std::unique_ptr<iSerialPort> createSerialPort(const std::string& path = {});
std::unique_ptr<iSerialPort> createSystemSerialPort();

}  // namespace vantrel
