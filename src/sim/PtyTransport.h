#pragma once

#include <string>

#include "sim/Transport.h"

namespace vantrel::sim {

// The station's end of a pseudo-terminal: another program opens PortPath()
// like a serial port, the simulator reads and writes the master side. The
// slave side is held open as well, so the program closing its end is no
// hang-up here. A wake pipe lets another thread interrupt every wait.
class tPtyTransport final : public iTransport {
public:
    tPtyTransport() = default;
    ~tPtyTransport() override { CloseAll(); }

    // Raw from the first byte: a cooked pty would echo the program's
    // commands back.
    void Open() override;
    bool IsOpen() const override { return master_ >= 0; }
    const std::string& PortPath() const override { return slavePath_; }

    tReady Wait(int timeoutMs) override;
    std::size_t Read(char* buffer, std::size_t size) override;
    tWriteResult Write(std::string_view bytes, bool dropWhenFull,
                       const std::atomic<bool>& stop) override;
    bool Pause(double wallMs, const std::atomic<bool>& stop) override;
    void Wake() override;

    void AwaitReader() override;
    void Close() override;  // master and slave closed; the wake pipe stays
    void CloseAll() override;

private:
    void DrainWake();

    int master_ = -1;
    int slave_ = -1;
    int wake_[2] = {-1, -1};
    std::string slavePath_;
};

}  // namespace vantrel::sim
