#include "session/ClassCards.h"

#include <algorithm>
#include <cstdio>

#include "base/Texts.h"
#include "charts/Equivalence.h"
#include "run/Quantities.h"
#include "run/RunData.h"
#include "session/Analysis.h"

namespace vantrel {

namespace {

std::string fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string stateText(const std::string& state) {
    static constexpr std::pair<std::string_view, std::string_view> kStates[] = {
        {"measuring", "DK_CLASS_MEASURING"},   {"paused", "DK_CLASS_PAUSED"},
        {"watching", "DK_CLASS_WATCHING"},     {"connected", "DK_CLASS_CONNECTED"},
        {"no station", "DK_CLASS_NO_STATION"}, {"reconnecting", "DK_CLASS_RECONNECTING"}};
    for (const auto& [code, name] : kStates) {
        if (state == code) {
            return constantText(name);
        }
    }
    return state;
}

std::string onOff(int value) {
    return constantText(value != 0 ? "DK_CLASS_ON" : "DK_CLASS_OFF");
}

}  // namespace

tCardText cardText(const tStationCard& card, std::chrono::steady_clock::time_point now) {
    tCardText text;
    text.title = card.name;
    text.grey = tClassRoster::IsGrey(card, now);
    if (card.status.online) {
        text.presence = constantText("DK_CLASS_ONLINE");
    } else {
        const auto ago = std::chrono::duration_cast<std::chrono::seconds>(now - card.heard).count();
        text.presence = formatText(constantText("DK_CLASS_SEEN"), {std::to_string(ago)});
    }
    if (card.status.online) {
        text.state = stateText(card.status.state);
        if (!card.status.scenario.empty()) {
            text.state += " · " + card.status.scenario;
        }
    }
    if (card.last) {
        std::string values;
        for (std::size_t q = 0; q < 4; ++q) {
            const tQuantityInfo& info = quantityInfo[q];
            values +=
                (q == 0 ? "" : "   ") + std::string(kQuantityCodes[q]) + " " +
                fixed(card.last->record.readings[q], info.decimals) +
                (unitOf(static_cast<int>(q)).empty() ? "" : " " + unitOf(static_cast<int>(q)));
        }
        text.values = values;
    }
    const auto& out = card.status.outputs;
    text.anyOn = std::any_of(out.begin(), out.end(), [](int v) { return v != 0; });
    text.outputs = formatText(
        constantText("DK_CLASS_OUTPUTS"),
        {onOff(out[0]), onOff(out[1]), onOff(out[2]) + "/" + onOff(out[3]) + "/" + onOff(out[4])});
    if (!card.status.online && text.anyOn) {
        // Gone with something on: what it said last, not that all is off.
        text.outputs = formatText(constantText("DK_CLASS_OUTPUTS_LAST"), {text.outputs});
    }
    text.safety = card.safety;
    switch (card.stop) {
        case tStationCard::tStop::None:
            break;
        case tStationCard::tStop::Waiting:
            text.stop = constantText("DK_CLASS_STOP_WAITING");
            break;
        case tStationCard::tStop::Done:
            text.stop = constantText("DK_CLASS_STOP_DONE");
            break;
        case tStationCard::tStop::Refused:
            text.stop = formatText(constantText("DK_CLASS_STOP_REFUSED"), {card.stopWhy});
            break;
        case tStationCard::tStop::NoAnswer:
            text.stop = constantText("DK_CLASS_STOP_NO_ANSWER");
            break;
    }
    return text;
}

std::string classDiagnosis(const tClassRoster& roster, const std::string& brokerAddress,
                           std::chrono::steady_clock::time_point now) {
    if (roster.NoneEver()) {
        return formatText(constantText("DK_CLASS_NONE_EVER"), {brokerAddress});
    }
    const std::vector<std::string> silent = roster.Silent(now);
    if (silent.empty()) {
        return {};
    }
    std::string names;
    for (const std::string& name : silent) {
        names += (names.empty() ? "" : ", ") + name;
    }
    return formatText(constantText("DK_CLASS_SILENT"), {names});
}

classlink::tResult classResultOf(const tRunData& run, int volumeQuantity,
                                 const std::vector<tFitCurve>& fits) {
    classlink::tResult result;
    result.experiment = run.Info().experiment;
    result.records = static_cast<long>(run.Count());
    if (run.Count() > 0) {
        result.duration = run.Time(run.Count() - 1) - run.Time(0);
    }
    if (volumeQuantity >= 0) {
        const tTitration titration = titrationOf(run, volumeQuantity);
        if (const auto point = findEquivalencePoint(titration.volume, titration.pH)) {
            result.volume = point->volume;
            result.pH = point->pH;
        }
    }
    static constexpr const char* kModels[] = {"linear", "quadratic", "exponential"};
    for (auto fit = fits.rbegin(); fit != fits.rend(); ++fit) {
        if (!fit->tangent && fit->fit.ok()) {
            classlink::tFitResult made;
            made.model = kModels[static_cast<int>(fit->fit.model)];
            made.quantity = std::string(kQuantityCodes[static_cast<std::size_t>(fit->quantity)]);
            made.abscissa =
                fit->abscissa < 0
                    ? "t"
                    : std::string(kQuantityCodes[static_cast<std::size_t>(fit->abscissa)]);
            made.parameters = fit->fit.parameters;
            made.origin = fit->fit.origin;
            made.rSquared = fit->fit.rSquared;
            result.fit = made;
            break;
        }
    }
    return result;
}

std::vector<std::string> classResultTitles() {
    std::vector<std::string> titles;
    const std::string all = constantText("DK_CLASS_RESULT_COLUMNS");
    std::size_t from = 0;
    for (;;) {
        const std::size_t bar = all.find('|', from);
        titles.push_back(all.substr(from, bar - from));
        if (bar == std::string::npos) {
            return titles;
        }
        from = bar + 1;
    }
}

}  // namespace vantrel
