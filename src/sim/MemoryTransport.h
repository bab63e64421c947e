#pragma once

#include <memory>
#include <string>

#include "sim/Transport.h"

namespace vantrel::sim {

struct tMemoryLine;

// A serial line inside this process: the program opens PortPath() through
// createSerialPort like any port and gets an in-memory iSerialPort whose
// bytes this transport reads and writes. It needs no device of the system,
// so the simulator runs the same on every platform. The port keeps its path
// when the transport is closed and opened again, as a station unplugged and
// plugged back into the same socket does.
class tMemoryTransport final : public iTransport {
public:
    tMemoryTransport();
    ~tMemoryTransport() override;

    void Open() override;
    bool IsOpen() const override;
    const std::string& PortPath() const override { return path_; }

    tReady Wait(int timeoutMs) override;
    std::size_t Read(char* buffer, std::size_t size) override;
    tWriteResult Write(std::string_view bytes, bool dropWhenFull,
                       const std::atomic<bool>& stop) override;
    bool Pause(double wallMs, const std::atomic<bool>& stop) override;
    void Wake() override;
    void SetWritesFail(bool fail) override;

    void AwaitReader() override;
    void Close() override;
    void CloseAll() override;

private:
    std::shared_ptr<tMemoryLine> line_;
    std::string path_;
    bool registered_ = false;
};

}  // namespace vantrel::sim
