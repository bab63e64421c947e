#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel::sim {

// The station's end of the line the program opens as a serial port. The
// simulator's worker waits, reads and writes through it; another thread
// may interrupt every wait with Wake.
class iTransport {
public:
    enum class tWriteResult { written, dropped, failed };
    struct tReady {
        bool input = false;   // bytes to read
        bool hungUp = false;  // an error or hang-up on the line
    };

    iTransport() = default;
    iTransport(const iTransport&) = delete;
    iTransport& operator=(const iTransport&) = delete;
    virtual ~iTransport() = default;

    // Makes the port appear. tError when it cannot be had.
    virtual void Open() = 0;
    virtual bool IsOpen() const = 0;
    // What the program opens; empty before the first Open.
    virtual const std::string& PortPath() const = 0;

    // Waits for input, a wake-up or `timeoutMs` (-1: no limit).
    virtual tReady Wait(int timeoutMs) = 0;
    // Reads what is there; 0 when nothing (or the port is gone).
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;
    // Writes within 500 ms. Nobody reading the port: a write that has not
    // begun is dropped when `dropWhenFull` (as a record is lost on a real
    // line), one that has begun is finished if the reader comes back.
    virtual tWriteResult Write(std::string_view bytes, bool dropWhenFull,
                               const std::atomic<bool>& stop) = 0;
    // Sleeps `wallMs` unless woken with `stop` set; false then.
    virtual bool Pause(double wallMs, const std::atomic<bool>& stop) = 0;
    virtual void Wake() = 0;
    // From now on the program's writes to the line fail (a broken transmit
    // wire); a line that cannot imitate this ignores it.
    virtual void SetWritesFail(bool) {}

    // The port vanishing discards what the program has not read yet, so a
    // hang-up first gives the reader a moment (at most 200 ms) to take it.
    virtual void AwaitReader() = 0;
    // The port disappears; Wake still works.
    virtual void Close() = 0;
    // Everything released; the transport may be opened again.
    virtual void CloseAll() = 0;
};

}  // namespace vantrel::sim
