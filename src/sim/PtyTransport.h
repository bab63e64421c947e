#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel::sim {

// The station's end of a pseudo-terminal: the program opens SlavePath()
// like a serial port, the simulator reads and writes the master side. The
// slave side is held open as well, so the program closing its end is no
// hang-up here. A wake pipe lets another thread interrupt every wait.
class tPtyTransport {
public:
    enum class tWriteResult { written, dropped, failed };
    struct tReady {
        bool input = false;   // bytes to read
        bool hungUp = false;  // an error or hang-up on the master
    };

    tPtyTransport() = default;
    tPtyTransport(const tPtyTransport&) = delete;
    tPtyTransport& operator=(const tPtyTransport&) = delete;
    ~tPtyTransport() { CloseAll(); }

    // Raw from the first byte: a cooked pty would echo the program's
    // commands back. tError when no pseudo-terminal can be had.
    void Open();
    bool IsOpen() const { return master_ >= 0; }
    const std::string& SlavePath() const { return slavePath_; }

    // Waits for input, a wake-up or `timeoutMs` (-1: no limit).
    tReady Wait(int timeoutMs);
    // Reads what is there; 0 when nothing (or the port is gone).
    std::size_t Read(char* buffer, std::size_t size);
    // Writes within 500 ms. Nobody reading the port: a write that has not
    // begun is dropped when `dropWhenFull` (as a record is lost on a real
    // line), one that has begun is finished if the reader comes back.
    tWriteResult Write(std::string_view bytes, bool dropWhenFull, const std::atomic<bool>& stop);
    // Sleeps `wallMs` unless woken with `stop` set; false then.
    bool Pause(double wallMs, const std::atomic<bool>& stop);
    void Wake();

    // Closing the master discards what the program has not read yet, so a
    // hang-up first gives the reader a moment (at most 200 ms) to take it.
    void AwaitReader();
    // The port disappears (master and slave closed); the wake pipe stays.
    void Close();
    void CloseAll();

private:
    void DrainWake();

    int master_ = -1;
    int slave_ = -1;
    int wake_[2] = {-1, -1};
    std::string slavePath_;
};

}  // namespace vantrel::sim
