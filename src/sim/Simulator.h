#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::sim {

// Faults the simulated station can show, for tests and demonstrations.
struct tFaults {
    bool strayByteBeforeId = false;  // one stray byte before the first identification reply
    int strayByteCount = 1;          // ... on this many identification replies
    int replyDelayMs = 0;            // delay before every reply
    bool ignoreIdentify = false;     // never answer "I"
    bool ignoreQuery = false;        // never answer "?"
    bool splitRecords = false;       // write records in random pieces with small pauses
    int garbageEvery = 0;            // every Nth record is replaced by a garbage line (0: never)
    bool silent = false;             // accept "S" but send no records
    int hangUpAfterRecords = -1;     // close the port after this many records (-1: never)
    int silentAfterRecords = -1;     // send no records after this many, port kept open (-1: never)
    bool failWrites = false;         // the program's writes to the line fail (memory line only)
    std::uint32_t seed = 1;          // random source of splits, noise, garbage
    std::uint8_t strayByte = 0x00;   // the byte sent before the identification reply
    int splitPauseMs = 5;            // longest pause between the pieces of a split record
};

// The line the program opens: a pseudo-terminal, which any program can open
// as a serial port (POSIX only), or a port inside this process, found by its
// path through createSerialPort (every platform).
enum class tLine { memory, pseudoTerminal };

struct tOptions {
#ifdef _WIN32
    tLine line = tLine::memory;
#else
    tLine line = tLine::pseudoTerminal;
#endif
    tFaults faults;
    int initialPeriodMs = 200;
    bool noise = true;  // small sensor noise (off for exact tests)
    // Station clock: records carry TT in ms since "S". Real time by default;
    // with timeScale > 1 the model (and TT) runs faster than the wall clock.
    double timeScale = 1.0;
    // Called on the simulator's thread with every line that crosses the wire
    // ("<- " received, "-> " sent, "-- " events), for a console trace.
    std::function<void(std::string_view)> trace;
};

// One record the station sent, as the program should decode it.
struct tSentRecord {
    std::string line;                  // without CR LF
    float lt, lp, lc, le, v1, v2, v3;  // V in the station's own unit
    int state[5], speed[5];            // H0, M0, D1, D2, D3
    float tt;                          // ms
};

// The simulated station. The program opens PortPath() like a serial port;
// the simulator answers on its end of the line in its own thread, exactly as
// the station does on the wire.
class tSimulator {
public:
    // The station --simulate offers: in this process, on the in-memory
    // line, already answering. std::runtime_error when it cannot start.
    static std::unique_ptr<tSimulator> StartBuiltIn();

    explicit tSimulator(tOptions options = {});
    ~tSimulator();  // stops the thread and closes the pseudo-terminal
    tSimulator(const tSimulator&) = delete;
    tSimulator& operator=(const tSimulator&) = delete;

    void Start();  // opens the line and starts answering; tError-like std::runtime_error on failure
    void Stop();   // stops answering and closes its end (the port disappears)
    const std::string& PortPath() const;

    // What crossed the line (thread-safe copies).
    std::vector<std::string> ReceivedLines() const;  // commands as received, without CR LF
    std::vector<tSentRecord> SentRecords() const;    // every state record sent, in order
    bool Measuring() const;
    int PeriodMs() const;
    // index 0..4 = H0, M0, D1, D2, D3; std::out_of_range otherwise.
    void ActuatorState(int index, int& state, int& speed) const;

    // Changes faults while running (e.g. go silent, hang up now). Restarts the
    // count of stray bytes; the seed is the one given at Start.
    void SetFaults(const tFaults& faults);
    // Closes its end as if the cable was pulled, once the program has
    // read what was already sent (waits at most 200 ms for that).
    void HangUp();

    // Lines sent in place of records by tFaults::garbageEvery, without CR LF.
    std::vector<std::string> GarbageLines() const;
    // True once the port has gone (Stop, HangUp or tFaults::hangUpAfterRecords).
    bool PortClosed() const;

private:
    struct tImpl;
    std::unique_ptr<tImpl> impl_;
};

}  // namespace vantrel::sim
