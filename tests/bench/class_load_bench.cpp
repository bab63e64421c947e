// A class under load: N light stations publish their runs through one
// Mosquitto broker of the bench's own while the teacher's persistent session
// is cut for a while in the middle. Each station is what a real one keeps of
// a run on its way to the broker (its journal, then its publisher on a link
// of its own), fed synthetic readings; no port, no station session. The
// teacher stamps each record as it arrives. Printed per class size: records
// sent and arrived, lost and duplicated, the delay from the journal to the
// teacher (over all records, over those that came while the teacher was
// there, and over those that waited for it), and the broker's memory and CPU.
//
// A plain program rather than Google Benchmark's loop: one measurement is a
// minute of wall-clock time with threads of its own, repeating it tells
// nothing new, and the figures are a table per class size, not a time per
// iteration.
//
//   bench_class_load_bench [--stations N[,N...]] [--seconds S] [--cut S] [--rate R]
//
// Exit status 1 when any record did not reach the teacher.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "class/ClassContract.h"
#include "class/ClassPublisher.h"
#include "class/MqttLink.h"
#include "class/TestBroker.h"
#include "journal/RunJournal.h"
#include "support/TempDir.h"

namespace {

using namespace vantrel;
using namespace std::chrono_literals;
using tClock = std::chrono::steady_clock;

constexpr const char* kClass = "bench";
constexpr const char* kRun = "load";
// How often the teacher takes what its link received: the resolution of the
// arrival times.
constexpr auto kTeacherPoll = 5ms;
constexpr auto kEndWait = 30s;

struct tOptions {
    std::vector<int> stations = {15, 30, 100};
    double seconds = 60;
    double cut = 20;
    double rate = 5;
};

// The broker as the class's own configuration sets it up where load matters
// (queue size, default logging), without accounts or persistence.
std::string brokerConfig() {
    return std::string("listener ") + test::tTestBroker::kPort +
           " 127.0.0.1\n"
           "allow_anonymous true\n"
           "persistence false\n"
           "log_dest stderr\n"
           "max_queued_messages 40000\n";
}

std::string stationName(int index) {
    char name[16];
    std::snprintf(name, sizeof name, "b%03d", index + 1);
    return name;
}

// One light station: journal first, then the class's publisher, as in the
// program. Fed only from the driver thread.
struct tStation {
    std::string name;
    tRunJournal journal;
    std::unique_ptr<tMqttLink> link;
    std::unique_ptr<tClassPublisher> publisher;
    std::vector<tClock::time_point> journaled;  // by record index
    tClock::time_point nextReading;
    tClock::time_point nextFlush;

    void Hear(const tRunEvent& event) {
        journal.OnEvent(event);
        publisher->OnEvent(event);
    }
};

// What the teacher saw of one station.
struct tSeen {
    std::vector<tClock::time_point> arrived;  // by record index; epoch: not yet
    long duplicates = 0;
    long ended = -1;  // the record count of its end event
};

// The teacher: one link on the whole class with a session the broker keeps
// while the link is gone.
class tTeacher {
public:
    tTeacher(int port, int stations) : port_(port), seen_(static_cast<std::size_t>(stations)) {
        for (int i = 0; i < stations; ++i) {
            index_[stationName(i)] = i;
        }
        connect();
    }

    bool WaitConnected(std::chrono::seconds limit) {
        const auto until = tClock::now() + limit;
        while (tClock::now() < until) {
            if (link_->Take().connected) {
                return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    // Takes messages on a thread of its own until Stop; the link is away
    // from `cutFrom` to `cutTo`.
    void Start(tClock::time_point cutFrom, tClock::time_point cutTo) {
        thread_ = std::thread([this, cutFrom, cutTo] { run(cutFrom, cutTo); });
    }
    void Stop() {
        stop_ = true;
        thread_.join();
    }
    int Ended() const { return ended_; }
    // When the link was made again after the cut (the epoch without a cut).
    tClock::time_point Back() const { return back_; }
    const std::vector<tSeen>& Seen() const { return seen_; }

private:
    void connect() {
        tMqttSettings settings;
        settings.host = "127.0.0.1";
        settings.port = port_;
        settings.clientId = "teacher";
        settings.subscriptions = {std::string(classlink::kRoot) + kClass + "/#"};
        link_ = std::make_unique<tMqttLink>(settings);
    }

    void run(tClock::time_point cutFrom, tClock::time_point cutTo) {
        bool cut = cutTo <= cutFrom;  // no cut asked for
        while (!stop_) {
            const auto now = tClock::now();
            if (!cut && link_ != nullptr && now >= cutFrom) {
                // A normal disconnect keeps the session; what arrived before
                // it is still there to take.
                link_->Close({}, {}, {});
                take();
                link_.reset();
            }
            if (!cut && link_ == nullptr && now >= cutTo) {
                connect();
                back_ = tClock::now();
                cut = true;
            }
            if (link_ != nullptr) {
                take();
            }
            std::this_thread::sleep_for(kTeacherPoll);
        }
        if (link_ != nullptr) {
            link_->Close({}, {}, {});
            take();
        }
    }

    void take() {
        tMqttLink::tNews news = link_->Take();
        const auto now = tClock::now();
        const std::string prefix = std::string(classlink::kRoot) + kClass + "/st/";
        for (const tMqttMessage& message : news.messages) {
            if (message.topic.rfind(prefix, 0) != 0) {
                continue;
            }
            const std::string rest = message.topic.substr(prefix.size());
            const auto station = index_.find(rest.substr(0, rest.find('/')));
            const std::string leaf = rest.substr(rest.rfind('/') + 1);
            if (station == index_.end() || rest.find("/run/") == std::string::npos) {
                continue;
            }
            tSeen& seen = seen_[static_cast<std::size_t>(station->second)];
            if (leaf == "rec") {
                const auto records = classlink::parseRecords(message.payload);
                if (!records) {
                    std::fprintf(stderr, "unreadable records: %s\n", message.payload.c_str());
                    continue;
                }
                for (std::size_t k = 0; k < records->records.size(); ++k) {
                    const auto seq = static_cast<std::size_t>(records->seq0) + k;
                    if (seen.arrived.size() <= seq) {
                        seen.arrived.resize(seq + 1);
                    }
                    if (seen.arrived[seq] != tClock::time_point{}) {
                        ++seen.duplicates;
                    } else {
                        seen.arrived[seq] = now;
                    }
                }
            } else if (leaf == "ev") {
                const auto event = nlohmann::json::parse(message.payload, nullptr, false);
                if (event.is_object() && event.value("type", "") == "end" && seen.ended < 0) {
                    seen.ended = event.value("records", 0L);
                    ++ended_;
                }
            }
        }
    }

    int port_;
    std::unique_ptr<tMqttLink> link_;
    std::map<std::string, int> index_;
    std::vector<tSeen> seen_;
    std::atomic<bool> stop_{false};
    std::atomic<int> ended_{0};
    tClock::time_point back_{};
    std::thread thread_;
};

// The broker's peak and current resident memory in kB (VmHWM, VmRSS).
std::pair<long, long> brokerMemory(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    long peak = -1;
    long now = -1;
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            peak = std::atol(line.c_str() + 6);
        } else if (line.rfind("VmRSS:", 0) == 0) {
            now = std::atol(line.c_str() + 6);
        }
    }
    return {peak, now};
}

// CPU seconds a process used so far (user + system).
double processCpu(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');  // the name may hold spaces
    if (close == std::string::npos) {
        return 0;
    }
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double ticks = 0;
    for (int k = 3; k <= 15 && fields >> field; ++k) {
        if (k == 14 || k == 15) {  // utime, stime
            ticks += std::atof(field.c_str());
        }
    }
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double ownCpu() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return NAN;
    }
    const auto at = static_cast<std::size_t>(
        std::min(static_cast<double>(values.size() - 1), std::floor(p * values.size())));
    std::nth_element(values.begin(), values.begin() + static_cast<long>(at), values.end());
    return values[at];
}

struct tRow {
    int stations = 0;
    long sent = 0;
    long arrived = 0;
    long lost = 0;
    long duplicates = 0;
    long unended = 0;                          // stations whose end never came
    std::vector<std::string> gaps;             // where records were lost
    std::vector<double> all, present, waited;  // ms from journal to teacher
    long brokerPeakKb = 0;
    long brokerEndKb = 0;
    double benchCpu = 0;  // share of one core over the run
    double brokerCpu = 0;
};

tRow measure(const tOptions& options, int count) {
    tRow row;
    row.stations = count;
    test::tTempDir scratch;
    test::tTestBroker broker(test::tTestBroker::tWholeConfig{brokerConfig()});
    tTeacher teacher(broker.Port(), count);
    if (!teacher.WaitConnected(10s)) {
        throw std::runtime_error("the teacher does not reach the broker");
    }
    // The subscription is asked for right after the connection; give the
    // broker a moment so that the session holds it before anyone publishes.
    std::this_thread::sleep_for(300ms);

    const auto period = std::chrono::duration_cast<tClock::duration>(
        std::chrono::duration<double>(1.0 / options.rate));
    const int periodMs = static_cast<int>(std::lround(1000.0 / options.rate));
    std::vector<std::unique_ptr<tStation>> stations;
    for (int i = 0; i < count; ++i) {
        auto station = std::make_unique<tStation>();
        station->name = stationName(i);
        station->journal.Open(scratch.file(station->name));
        tMqttSettings settings;
        settings.host = "127.0.0.1";
        settings.port = broker.Port();
        settings.clientId = station->name;
        station->link = std::make_unique<tMqttLink>(settings);
        station->publisher = std::make_unique<tClassPublisher>(
            *station->link, classlink::tTopics(kClass, station->name),
            [](const tRunStart&) { return std::string(kRun); }, [periodMs] { return periodMs; });
        stations.push_back(std::move(station));
    }
    const auto connectLimit = tClock::now() + 30s;
    for (auto& station : stations) {
        while (!station->link->Take().connected) {
            if (tClock::now() > connectLimit) {
                throw std::runtime_error(station->name + " does not reach the broker");
            }
            std::this_thread::sleep_for(10ms);
        }
    }

    const auto start = tClock::now() + 100ms;
    const auto span = std::chrono::duration_cast<tClock::duration>(
        std::chrono::duration<double>(options.seconds));
    const auto cut = std::chrono::duration_cast<tClock::duration>(
        std::chrono::duration<double>(std::min(options.cut, options.seconds)));
    const auto end = start + span;
    const auto cutFrom = start + (span - cut) / 2;
    teacher.Start(cutFrom, start + (span + cut) / 2);
    const double benchCpu0 = ownCpu();
    const double brokerCpu0 = processCpu(broker.Pid());

    // Stations are not in step: each reads and flushes at a phase of its own.
    tRunStart runStart;
    runStart.started = "2026-12-10 09:00:00";
    runStart.names = {"T", "pH", "G", "E", "V1", "V2", "V3"};
    runStart.volumeCoefficient = 1;
    for (int i = 0; i < count; ++i) {
        tStation& station = *stations[static_cast<std::size_t>(i)];
        const auto phase = std::chrono::duration_cast<tClock::duration>(1s * i / count);
        station.nextReading = start + phase % period;
        station.nextFlush = start + phase + 1s;
        station.journaled.reserve(static_cast<std::size_t>(options.seconds * options.rate) + 1);
        station.Hear({runStart});
    }
    for (;;) {
        auto due = end;
        for (const auto& station : stations) {
            due = std::min({due, station->nextReading, station->nextFlush});
        }
        if (due >= end) {
            break;
        }
        std::this_thread::sleep_until(due);
        const auto now = tClock::now();
        for (std::size_t i = 0; i < stations.size(); ++i) {
            tStation& station = *stations[i];
            while (station.nextReading <= now && station.nextReading < end) {
                const auto seq = static_cast<float>(station.journaled.size());
                tReadingSet set;
                set.time = seq / static_cast<float>(options.rate);
                set.readings = {20 + std::sin(set.time / 30) + static_cast<float>(i) / 100,
                                7 - set.time / 600,
                                1.2f,
                                0.25f,
                                set.time / 100,
                                0,
                                0};
                tRunEvent event{set};
                station.journal.OnEvent(event);
                station.journaled.push_back(tClock::now());
                station.publisher->OnEvent(event);
                station.nextReading += period;
            }
            if (station.nextFlush <= now) {
                station.publisher->Flush();
                station.nextFlush += 1s;
            }
        }
    }
    for (auto& station : stations) {
        tRunEnded ended;
        ended.time = station->journaled.empty()
                         ? 0
                         : static_cast<float>(station->journaled.size() - 1) /
                               static_cast<float>(options.rate);
        ended.how = tRunEnd::Stop;
        ended.records = static_cast<long>(station->journaled.size());
        station->Hear({ended});
    }
    const auto waitLimit = tClock::now() + kEndWait;
    while (teacher.Ended() < count && tClock::now() < waitLimit) {
        std::this_thread::sleep_for(20ms);
    }
    std::this_thread::sleep_for(200ms);  // late duplicates still count
    teacher.Stop();
    const double elapsed = std::chrono::duration<double>(tClock::now() - start).count();
    row.benchCpu = (ownCpu() - benchCpu0) / elapsed;
    row.brokerCpu = (processCpu(broker.Pid()) - brokerCpu0) / elapsed;
    std::tie(row.brokerPeakKb, row.brokerEndKb) = brokerMemory(broker.Pid());

    const auto back = teacher.Back();
    for (std::size_t i = 0; i < stations.size(); ++i) {
        const tStation& station = *stations[i];
        const tSeen& seen = teacher.Seen()[i];
        row.sent += static_cast<long>(station.journaled.size());
        row.duplicates += seen.duplicates;
        row.unended += seen.ended < 0 ? 1 : 0;
        const auto sinceCut = [&](std::size_t seq) {
            return std::chrono::duration<double>(station.journaled[seq] - cutFrom).count();
        };
        const auto missing = [&](std::size_t seq) {
            return seq >= seen.arrived.size() || seen.arrived[seq] == tClock::time_point{};
        };
        std::size_t gapFrom = 0;
        for (std::size_t seq = 0; seq < station.journaled.size(); ++seq) {
            if (missing(seq)) {
                ++row.lost;
                gapFrom = seq > 0 && missing(seq - 1) ? gapFrom : seq;
                if (seq + 1 == station.journaled.size() || !missing(seq + 1)) {
                    char gap[160];
                    std::snprintf(gap, sizeof gap,
                                  "%s lost records %zu-%zu, journaled %+.3f s to %+.3f s from "
                                  "the cut",
                                  station.name.c_str(), gapFrom, seq, sinceCut(gapFrom),
                                  sinceCut(seq));
                    row.gaps.push_back(gap);
                }
                continue;
            }
            ++row.arrived;
            const double ms = std::chrono::duration<double, std::milli>(seen.arrived[seq] -
                                                                        station.journaled[seq])
                                  .count();
            row.all.push_back(ms);
            // Journaled before the teacher came back and taken after: it
            // waited in the teacher's session on the broker.
            const bool waited = back != tClock::time_point{} && station.journaled[seq] < back &&
                                seen.arrived[seq] >= back;
            (waited ? row.waited : row.present).push_back(ms);
        }
    }
    for (auto& station : stations) {
        station->link.reset();  // the broker forgets them without a last will
    }
    return row;
}

std::vector<int> parseCounts(const std::string& text) {
    std::vector<int> counts;
    std::stringstream list(text);
    std::string item;
    while (std::getline(list, item, ',')) {
        const int n = std::atoi(item.c_str());
        if (n < 1 || n > 999) {
            throw std::runtime_error("--stations: a count from 1 to 999, not \"" + item + "\"");
        }
        counts.push_back(n);
    }
    return counts;
}

tOptions parseOptions(int argc, char** argv) {
    tOptions options;
    for (int k = 1; k < argc; ++k) {
        const std::string name = argv[k];
        if (k + 1 >= argc) {
            throw std::runtime_error(name + " needs a value");
        }
        const std::string value = argv[++k];
        const double number = std::atof(value.c_str());
        if (name == "--stations") {
            options.stations = parseCounts(value);
        } else if (name == "--seconds" && number >= 1) {
            options.seconds = number;
        } else if (name == "--cut" && number >= 0) {
            options.cut = number;
        } else if (name == "--rate" && number > 0 && number <= 100) {
            options.rate = number;
        } else {
            throw std::runtime_error("unknown option or value: " + name + " " + value);
        }
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    tOptions options;
    try {
        options = parseOptions(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr,
                     "%s\nusage: bench_class_load_bench [--stations N[,N...]] [--seconds S] "
                     "[--cut S] [--rate R]\n",
                     e.what());
        return 2;
    }
    if (test::brokerProgram().empty()) {
        std::fprintf(stderr, "no broker installed (apt-get install mosquitto)\n");
        return 2;
    }
    std::printf(
        "machine: %ld cores; %g s per class, teacher away %g s in the middle, "
        "%g records/s per station, one message a second per station\n",
        ::sysconf(_SC_NPROCESSORS_ONLN), options.seconds, std::min(options.cut, options.seconds),
        options.rate);
    std::printf(
        "delay = teacher's arrival - journal, ms: all / while the teacher was there / "
        "waited for it\n");
    std::printf("%8s %8s %8s %5s %5s %7s %7s %7s %7s %7s %7s %7s %9s %9s %6s %6s\n", "stations",
                "sent", "arrived", "lost", "dup", "p50", "p99", "p50 on", "p99 on", "p50 cut",
                "p99 cut", "n cut", "brk peak", "brk end", "cpu me", "cpu brk");
    std::fflush(stdout);
    bool complete = true;
    for (const int count : options.stations) {
        tRow row;
        try {
            row = measure(options, count);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%d stations: %s\n", count, e.what());
            return 2;
        }
        std::printf(
            "%8d %8ld %8ld %5ld %5ld %7.0f %7.0f %7.0f %7.0f %7.0f %7.0f %7zu %6.1f MB "
            "%6.1f MB %5.1f%% %5.1f%%\n",
            row.stations, row.sent, row.arrived, row.lost, row.duplicates, percentile(row.all, 0.5),
            percentile(row.all, 0.99), percentile(row.present, 0.5), percentile(row.present, 0.99),
            percentile(row.waited, 0.5), percentile(row.waited, 0.99), row.waited.size(),
            row.brokerPeakKb / 1024.0, row.brokerEndKb / 1024.0, row.benchCpu * 100,
            row.brokerCpu * 100);
        for (const std::string& gap : row.gaps) {
            std::printf("%8s %s\n", "", gap.c_str());
        }
        if (row.unended > 0) {
            std::printf("%8s %ld stations' end events never came\n", "", row.unended);
        }
        std::fflush(stdout);
        complete = complete && row.lost == 0 && row.unended == 0;
    }
    return complete ? 0 : 1;
}
