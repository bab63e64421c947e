// Feeds arbitrary messages to the teacher's view of a class, as anyone on
// the classroom network could send them. Each line is one message: its
// first byte picks the topic, the rest is the payload. Whatever comes, the
// cards stay in name order, a run's records only grow and never lose their
// order, and the results stay computable.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "class/ClassResults.h"
#include "class/ClassRoster.h"
#include "class/MqttLink.h"

namespace {

using namespace vantrel;

const char* const kTopics[] = {
    "vantrel/1/8B/st/Стол 1/status",       "vantrel/1/8B/st/Стол 1/last",
    "vantrel/1/8B/st/Стол 1/result",       "vantrel/1/8B/st/Стол 1/ack",
    "vantrel/1/8B/st/Стол 1/run/r1/meta",  "vantrel/1/8B/st/Стол 1/run/r1/rec",
    "vantrel/1/8B/st/Стол 1/run/r1/ev",    "vantrel/1/8B/st/Стол 1/run/r2/meta",
    "vantrel/1/8B/st/Стол 1/run/r2/rec",   "vantrel/1/8B/st/Стол 10/status",
    "vantrel/1/8B/st/Стол 10/run/r1/rec",  "vantrel/1/8B/st/Стол 2/result",
    "vantrel/1/8B/st/a+b/status",          "vantrel/1/8B/st/Стол 2",
    "vantrel/1/8B/st/Стол 2/run/r1/x/rec", "vantrel/1/8B/st/\xD0/status",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    tClassRoster roster("8B");
    tClassRoster::tTime now{};
    std::size_t from = 0;
    while (from < input.size()) {
        std::size_t end = input.find('\n', from);
        if (end == std::string_view::npos) {
            end = input.size();
        }
        const std::string_view line = input.substr(from, end - from);
        from = end + 1;
        if (line.empty()) {
            continue;
        }
        const auto pick = static_cast<unsigned char>(line[0]);
        const std::string topic = kTopics[pick % std::size(kTopics)];
        std::string run;
        std::size_t before = 0;
        if (const tStationCard* card = roster.Find("Стол 1")) {
            run = card->run;
            before = card->records.size();
        }
        now += std::chrono::milliseconds(1 + pick % 7 * 500);
        roster.Take({topic, std::string(line.substr(1)), (pick & 0x80) != 0}, now);
        roster.Tick(now);
        roster.StopTimeout(now, std::chrono::seconds(5));
        if (pick % 23 == 0) {
            roster.StopSent("s" + std::to_string(pick), now);
        }
        if (const tStationCard* card = roster.Find("Стол 1");
            card != nullptr && card->run == run && card->records.size() < before) {
            std::abort();  // records of the same run went away
        }
        const auto& cards = roster.Cards();
        for (std::size_t k = 1; k < cards.size(); ++k) {
            if (naturalLess(cards[k].name, cards[k - 1].name)) {
                std::abort();
            }
        }
        for (const tStationCard& card : cards) {
            tClassRoster::IsGrey(card, now);
        }
    }
    const tClassResults results = tClassResults::From(roster);
    if (results.rows.size() > roster.Cards().size()) {
        std::abort();
    }
    results.Text(std::vector<std::string>(tClassResults::kColumns + 3, "x"), "m", "s", ',');
    roster.Silent(now);
    return 0;
}
