#include "journal/Journal.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "base/Error.h"
#include "base/Files.h"
#include "base/Functions.h"
#include "base/Paths.h"

namespace vantrel {

namespace {

constexpr std::size_t kMaxJournalSize = std::size_t(1) << 30;  // far above a week's run

std::string number(double value) {
    char text[32];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    return ec == std::errc() ? std::string(text, end) : "0";
}

// Names and state names keep to one field of one line.
std::string field(std::string_view text) {
    std::string out(text);
    std::replace_if(
        out.begin(), out.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return out;
}

template <class T>
bool parse(std::string_view text, T& value) {
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && ptr == text.data() + text.size();
}

// The payload of a line whose checksum holds; false for a torn or damaged one.
bool checkedPayload(std::string_view line, std::string_view& payload) {
    const std::size_t mark = line.rfind("\t#");
    if (mark == std::string_view::npos || line.size() - mark != 10) {
        return false;
    }
    std::uint32_t stored = 0;
    const std::string_view hex = line.substr(mark + 2);
    const auto [ptr, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), stored, 16);
    if (ec != std::errc() || ptr != hex.data() + hex.size()) {
        return false;
    }
    payload = line.substr(0, mark);
    return crc32(payload) == stored;
}

constexpr std::array<std::pair<tRunEnd, std::string_view>, 6> kRunEndNames{{
    {tRunEnd::Stop, "stop"},
    {tRunEnd::Disconnect, "disconnect"},
    {tRunEnd::LinkLost, "link-lost"},
    {tRunEnd::NotBack, "not-back"},
    {tRunEnd::Closed, "closed"},
    {tRunEnd::Unknown, "unknown"},
}};

std::string_view runEndName(tRunEnd how) {
    for (const auto& [end, name] : kRunEndNames) {
        if (end == how) {
            return name;
        }
    }
    return "unknown";
}

// A later program's word for an ending this one does not know reads as unknown.
tRunEnd runEndOf(std::string_view name) {
    for (const auto& [end, known] : kRunEndNames) {
        if (known == name) {
            return end;
        }
    }
    return tRunEnd::Unknown;
}

}  // namespace

std::uint32_t crc32(std::string_view bytes) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char b : bytes) {
        crc = table[(crc ^ static_cast<unsigned char>(b)) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

std::string journalLine(std::string_view payload) {
    char check[16];
    std::snprintf(check, sizeof check, "\t#%08x\n", crc32(payload));
    std::string line(payload);
    line += check;
    return line;
}

bool isJournalFile(std::string_view fileName) {
    return fileName.size() >= kJournalExtension.size() &&
           fileName.substr(fileName.size() - kJournalExtension.size()) == kJournalExtension;
}

std::string encodeHeader(const tJournalHeader& h) {
    std::string relative;
    for (bool r : h.relative) {
        relative += r ? '1' : '0';
    }
    std::string payload = "H\t" + field(h.version) + "\t" + field(h.started) + "\t" +
                          number(h.volumeCoefficient) + "\t" + relative;
    for (const std::string& name : h.names) {
        payload += "\t" + field(name);
    }
    std::string text = std::string(kJournalMagic) + "\n" + journalLine(payload);
    if (!h.experiment.empty() || !h.scenario.empty()) {
        text += journalLine("N\t" + field(h.experiment) + "\t" + field(h.scenario));
    }
    return text;
}

std::string encodeReading(float time, const tReadingValues& readings) {
    std::string payload = "R\t" + number(time);
    for (float value : readings) {
        payload += '\t';
        payload += number(value);
    }
    return journalLine(payload);
}

std::string encodeTransition(float time, int state, std::string_view name) {
    return journalLine("S\t" + number(time) + "\t" + std::to_string(state) + "\t" + field(name));
}

std::string encodeIntervention(float time, std::string_view text) {
    return journalLine("I\t" + number(time) + "\t" + field(text));
}

std::string encodeMark(int index) {
    return journalLine("M\t" + std::to_string(index));
}

std::string encodeEnding(tRunEnd how, long records) {
    return journalLine("X\t" + std::string(runEndName(how)) + "\t" + std::to_string(records));
}

std::string encodeEnd(float time) {
    return journalLine("E\t" + number(time));
}

tJournalRun parseJournal(std::string_view text) {
    tJournalRun run;
    std::size_t pos = 0;
    bool magic = false;
    bool header = false;
    std::optional<std::pair<tRunEnd, long>> ending;  // from an X entry
    while (pos < text.size()) {
        const std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            ++run.droppedLines;  // the last line, cut before its line feed
            break;
        }
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.empty() && magic) {
            continue;  // where a torn line was closed off
        }
        if (!magic) {
            if (line != kJournalMagic) {
                throw tError("not a run journal of this program");
            }
            magic = true;
            continue;
        }
        std::string_view payload;
        if (!checkedPayload(line, payload)) {
            ++run.droppedLines;
            continue;
        }
        const std::vector<std::string_view> f = splitTabs(payload);
        bool ok = false;
        if (f[0] == "H" && f.size() == 5 + kQuantityCount && f[4].size() == kQuantityCount) {
            run.header.version = std::string(f[1]);
            run.header.started = std::string(f[2]);
            ok = parse(f[3], run.header.volumeCoefficient);
            for (int i = 0; i < kQuantityCount; ++i) {
                run.header.relative[i] = f[4][std::size_t(i)] == '1';
                run.header.names[i] = std::string(f[5 + std::size_t(i)]);
            }
            header = ok;
        } else if (f[0] == "R" && f.size() == 2 + kQuantityCount) {
            tJournalReading reading;
            ok = parse(f[1], reading.time);
            for (int i = 0; ok && i < kQuantityCount; ++i) {
                ok = parse(f[2 + std::size_t(i)], reading.readings[i]);
            }
            if (ok) {
                run.readings.push_back(reading);
                run.order += 'R';
            }
        } else if (f[0] == "S" && f.size() == 4) {
            tJournalTransition transition;
            ok = parse(f[1], transition.time) && parse(f[2], transition.state);
            transition.name = std::string(f[3]);
            if (ok) {
                run.transitions.push_back(std::move(transition));
                run.order += 'S';
            }
        } else if (f[0] == "I" && f.size() == 3) {
            tJournalTransition intervention;
            intervention.intervention = true;
            intervention.state = -1;
            ok = parse(f[1], intervention.time);
            intervention.name = std::string(f[2]);
            if (ok) {
                run.transitions.push_back(std::move(intervention));
                run.order += 'S';
            }
        } else if (f[0] == "N" && f.size() == 3) {
            run.header.experiment = std::string(f[1]);
            run.header.scenario = std::string(f[2]);
            ok = true;
        } else if (f[0] == "M" && f.size() == 2) {
            int index = 0;
            ok = parse(f[1], index) && index >= 0;
            if (ok) {
                run.marks.push_back(index);
                run.order += 'M';
            }
        } else if (f[0] == "X" && f.size() == 3) {
            long records = 0;
            ok = parse(f[2], records) && records >= 0;
            if (ok) {
                ending.emplace(runEndOf(f[1]), records);
            }
        } else if (f[0] == "E" && f.size() == 2) {
            float time = 0;
            ok = parse(f[1], time);
            if (ok && !run.finished) {
                run.finished = true;
                run.end.time = time;
                run.end.how = ending ? ending->first : tRunEnd::Unknown;
                run.end.records = ending ? ending->second : static_cast<long>(run.readings.size());
                run.order += 'E';
            }
        }
        if (!ok) {
            ++run.droppedLines;
        }
    }
    if (!header) {
        throw tError("the run journal has no header");
    }
    return run;
}

tJournalRun readJournal(const std::string& fileName) {
    std::string bytes;
    if (!readFileIfExists(fileName, bytes, kMaxJournalSize)) {
        throw tError(fileOpenErrorText(fileName, systemErrorText(ENOENT)));
    }
    try {
        return parseJournal(bytes);
    } catch (const tError& e) {
        throw tError(fileName + ": " + e.what());
    }
}

void journalEvents(const tJournalRun& run, iRunListener& to) {
    const tJournalHeader& h = run.header;
    to.OnEvent(
        {tRunStart{h.started, h.experiment, h.scenario, h.relative, h.names, h.volumeCoefficient}});
    std::string order = run.order;
    if (order.size() !=
        run.readings.size() + run.transitions.size() + run.marks.size() + (run.finished ? 1 : 0)) {
        // Not as parsed: each kind in its own order, the end last.
        order = std::string(run.readings.size(), 'R') + std::string(run.transitions.size(), 'S') +
                std::string(run.marks.size(), 'M') + (run.finished ? "E" : "");
    }
    std::size_t r = 0;
    std::size_t s = 0;
    std::size_t m = 0;
    for (const char kind : order) {
        if (kind == 'R' && r < run.readings.size()) {
            const tJournalReading& reading = run.readings[r++];
            to.OnEvent({tReadingSet{reading.time, reading.readings}});
        } else if (kind == 'S' && s < run.transitions.size()) {
            const tJournalTransition& t = run.transitions[s++];
            if (t.intervention) {
                to.OnEvent({tRunIntervention{t.time, t.name}});
            } else {
                tStepTrace trace;
                trace.time = t.time;
                trace.to = {t.state, t.name};
                to.OnEvent({tRunTransition{t.time, std::move(trace)}});
            }
        } else if (kind == 'M' && m < run.marks.size()) {
            to.OnEvent({tRunMark{run.marks[m++]}});
        } else if (kind == 'E' && run.finished) {
            to.OnEvent({run.end});
        }
    }
}

std::string journalFolder() {
    namespace fs = std::filesystem;
    fs::path folder;
#ifdef _WIN32
    if (const std::string local = environmentText("LOCALAPPDATA"); !local.empty()) {
        folder = pathFromUtf8(local) / "Vantrel" / "runs";
    }
#else
    if (const std::string data = environmentText("XDG_DATA_HOME"); !data.empty()) {
        folder = pathFromUtf8(data) / "vantrel" / "runs";
    } else if (const std::string home = environmentText("HOME"); !home.empty()) {
        folder = pathFromUtf8(home) / ".local" / "share" / "vantrel" / "runs";
    }
#endif
    return utf8FromPath(folder);
}

std::vector<tJournalInfo> listJournals(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<tJournalInfo> journals;
    std::error_code ec;
    for (fs::directory_iterator it(pathFromUtf8(folder), ec), end; !ec && it != end;
         it.increment(ec)) {
        if (it->path().extension() != kJournalExtension) {
            continue;
        }
        tJournalInfo info;
        info.fileName = utf8FromPath(it->path());
        try {
            const tJournalRun run = readJournal(info.fileName);
            info.started = run.header.started;
            info.records = run.readings.size();
            info.finished = run.finished;
        } catch (const std::exception&) {
            continue;  // not one of ours, or beyond reading
        }
        journals.push_back(std::move(info));
    }
    std::sort(journals.begin(), journals.end(),
              [](const tJournalInfo& a, const tJournalInfo& b) { return a.fileName < b.fileName; });
    return journals;
}

std::optional<tJournalInfo> newestUnfinishedRun(const std::string& folder) {
    const std::vector<tJournalInfo> journals = listJournals(folder);
    const auto died = std::find_if(journals.rbegin(), journals.rend(),
                                   [](const tJournalInfo& j) { return !j.finished; });
    if (died == journals.rend()) {
        return std::nullopt;
    }
    return *died;
}

}  // namespace vantrel
