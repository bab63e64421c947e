#include "sim/Station.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace vantrel::sim {

namespace {

// The whole text must be one decimal integer, as the station's firmware reads it.
bool ParseInt(std::string_view text, int& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        fields.push_back(line.substr(start, comma - start));
        if (comma == std::string_view::npos) {
            return fields;
        }
        start = comma + 1;
    }
}

// Fixed-point text with "." whatever the locale, and the float the program
// reads back from exactly that text.
float AppendFixed(std::string& line, double value, int decimals) {
    const double unit = std::pow(10.0, -decimals) / 2.0;
    if (std::fabs(value) < unit) {
        value = 0.0;  // no "-0.00"
    }
    char text[64];
    auto [end, ec] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (ec != std::errc()) {
        end = text;
        *end++ = '0';
    }
    line.append(text, end);
    float parsed = 0;
    std::from_chars(text, end, parsed);
    return parsed;
}

void AppendInt(std::string& line, int value) {
    char text[16];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    line.append(text, ec == std::errc() ? end : text);
}

int ClampSpeed(int index, int value) {
    if (index == 0) {
        return std::clamp(value, 0, 255);
    }
    if (index == 1) {
        return std::clamp(value, -255, 255);
    }
    // A dosing pump has a smallest working speed: a non-zero request below it
    // runs the pump at that speed in the requested direction.
    if (value == 0) {
        return 0;
    }
    const int magnitude = std::clamp(std::abs(std::clamp(value, -600, 600)), 6, 600);
    return value < 0 ? -magnitude : magnitude;
}

}  // namespace

tStation::tStation(std::uint32_t seed, bool noise, int periodMs)
    : chemistry_(seed, noise), periodMs_(std::clamp(periodMs, kMinPeriodMs, kMaxPeriodMs)) {}

void tStation::Actuator(int index, int& state, int& speed) const {
    if (index < 0 || index >= kActuatorCount) {
        throw std::out_of_range("actuator index " + std::to_string(index));
    }
    state = state_[index];
    speed = speed_[index];
}

tCommandKind tStation::Handle(std::string_view line, double nowMs) {
    AdvanceTo(nowMs);
    if (line == "I") {
        return tCommandKind::identify;
    }
    if (line == "?") {
        return tCommandKind::query;
    }
    if (line == "S") {
        measuring_ = true;
        startMs_ = nowMs;
        lastTt_ = 0;
        nextTt_ = periodMs_;
        return tCommandKind::start;
    }
    if (line == "T") {
        measuring_ = false;
        return tCommandKind::stop;
    }
    if (!line.empty() && line.front() == 'F') {
        int period = 0;
        if (!ParseInt(line.substr(1), period) || period < kMinPeriodMs || period > kMaxPeriodMs) {
            return tCommandKind::ignored;
        }
        periodMs_ = period;
        nextTt_ = lastTt_ + period;
        return tCommandKind::period;
    }
    return SetActuator(line) ? tCommandKind::actuator : tCommandKind::ignored;
}

bool tStation::SetActuator(std::string_view line) {
    const std::vector<std::string_view> fields = SplitFields(line);
    if (fields.size() < 2 || fields.size() > 3) {
        return false;
    }
    const auto id = std::find(std::begin(kIds), std::end(kIds), fields[0]);
    if (id == std::end(kIds)) {
        return false;
    }
    const int index = static_cast<int>(id - std::begin(kIds));
    int flag = 0;
    int value = 0;
    if (!ParseInt(fields[1], flag)) {
        return false;
    }
    if (fields.size() == 2) {
        if (flag != 0) {
            return false;  // switching on needs a value
        }
    } else if (!ParseInt(fields[2], value)) {
        return false;
    }
    speed_[index] = ClampSpeed(index, value);
    state_[index] = flag != 0 && speed_[index] != 0 ? 1 : 0;
    return true;
}

std::string tStation::QueryReply() const {
    std::string reply;
    for (int i = 0; i < kActuatorCount; ++i) {
        reply.append(kIds[i]);
        reply += ':';
        AppendInt(reply, state_[i]);
        reply += ',';
        AppendInt(reply, speed_[i]);
        reply += '\t';
    }
    reply += "\r\n";
    return reply;
}

tDrive tStation::Drive() const {
    tDrive drive;
    if (state_[0] != 0) {
        drive.heater = speed_[0] / 255.0;
    }
    if (state_[1] != 0) {
        drive.stirrer = std::abs(speed_[1]) / 255.0;
    }
    for (int pump = 0; pump < 3; ++pump) {
        if (state_[2 + pump] != 0) {
            drive.pumpRate[pump] = tChemistry::PumpRate(speed_[2 + pump]);
        }
    }
    return drive;
}

void tStation::AdvanceTo(double nowMs) {
    if (nowMs > modelMs_) {
        chemistry_.Advance((nowMs - modelMs_) / 1000.0, Drive());
        modelMs_ = nowMs;
    }
}

void tStation::SkipLateRecords(double nowMs) {
    if (!measuring_) {
        return;
    }
    const double late = nowMs - periodMs_ - NextRecordMs();
    if (late > 0) {
        const double skipped = std::ceil(late / periodMs_);
        nextTt_ += skipped * periodMs_;
        lastTt_ = nextTt_ - periodMs_;
    }
}

tSentRecord tStation::NextRecord() {
    AdvanceTo(NextRecordMs());
    const tSample sample = chemistry_.Sample();
    tSentRecord record{};
    std::string& line = record.line;
    line = "LT:";
    record.lt = AppendFixed(line, sample.temperature, 2);
    line += "\tLP:";
    record.lp = AppendFixed(line, sample.ph, 2);
    line += "\tLC:";
    record.lc = AppendFixed(line, sample.conductivity, 3);
    line += "\tLE:";
    record.le = AppendFixed(line, sample.redox, 3);
    float* volumes[3] = {&record.v1, &record.v2, &record.v3};
    for (int pump = 0; pump < 3; ++pump) {
        line += "\tV";
        AppendInt(line, pump + 1);
        line += ':';
        *volumes[pump] = AppendFixed(line, sample.volume[pump], 2);
    }
    for (int i = 0; i < kActuatorCount; ++i) {
        line += '\t';
        line.append(kIds[i]);
        line += ':';
        AppendInt(line, state_[i]);
        line += ',';
        AppendInt(line, speed_[i]);
        record.state[i] = state_[i];
        record.speed[i] = speed_[i];
    }
    line += "\tTT:";
    record.tt = AppendFixed(line, nextTt_, 0);
    lastTt_ = nextTt_;
    nextTt_ += periodMs_;
    return record;
}

}  // namespace vantrel::sim
