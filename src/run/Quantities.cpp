#include "run/Quantities.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <vector>

#include "base/Texts.h"

namespace vantrel {

const std::array<tQuantityInfo, kQuantityCount> quantityInfo{{
    {"Температура",
     "Температура, °C",
     2,
     {255, 0, 0},
     true,
     "miLT",
     "DK_SENS_0",
     "Series1",
     "LineSeries1"},
    {"pH", "pH", 2, {0, 0, 255}, true, "miLP", "DK_SENS_1", "Series2", "LineSeries2"},
    {"Электропроводность",
     "Электропроводность, мСм/см",
     2,
     {255, 128, 0},
     true,
     "miLC",
     "DK_SENS_2",
     "Series3",
     "LineSeries3"},
    {"Редокс-потенциал",
     "Редокс-потенциал, В",
     2,
     {0, 128, 255},
     true,
     "miLE",
     "DK_SENS_3",
     "Series4",
     "LineSeries4"},
    {"Реагент 1", "V1, мл", 4, {128, 255, 0}, false, "miV1", "DK_SENS_4", "Series5", "LineSeries5"},
    {"Реагент 2", "V2, мл", 4, {0, 128, 128}, false, "miV2", "DK_SENS_5", "Series6", "LineSeries6"},
    {"Реагент 3", "V3, мл", 4, {0, 128, 0}, false, "miV3", "DK_SENS_6", "Series7", "LineSeries7"},
}};

const std::array<tQuantityRange, kQuantityCount> quantityRanges{{
    {-40.0, 180.0},
    {0.0, 14.0},
    {0.0, 250.0},
    {-2.0, 2.0},
    {-200.0, 200.0},
    {-200.0, 200.0},
    {-200.0, 200.0},
}};

namespace {

std::array<std::string, kQuantityCount> defaultNames() {
    std::array<std::string, kQuantityCount> names;
    for (int i = 0; i < kQuantityCount; ++i) {
        names[i] = std::string(quantityInfo[i].title);
    }
    return names;
}

// Out-of-range indices read the first quantity rather than past the table.
const tQuantityRange& rangeOf(int i) {
    return quantityRanges[(i >= 0 && i < kQuantityCount) ? i : 0];
}

}  // namespace

std::array<std::string, kQuantityCount> quantityNames = defaultNames();

void resetQuantityNames() {
    quantityNames = defaultNames();
}

namespace {
std::array<std::vector<std::string>, kQuantityCount>& aliases() {
    static std::array<std::vector<std::string>, kQuantityCount> table;
    return table;
}
}  // namespace

void addQuantityAlias(int i, std::string name) {
    if (i < 0 || i >= kQuantityCount || name.empty() || isQuantityAlias(i, name)) {
        return;
    }
    aliases()[i].push_back(std::move(name));
}

bool isQuantityAlias(int i, std::string_view name) {
    if (i < 0 || i >= kQuantityCount) {
        return false;
    }
    const auto& names = aliases()[i];
    return std::find(names.begin(), names.end(), name) != names.end();
}

namespace {
std::vector<std::string>& markTitleAliases() {
    static std::vector<std::string> titles;
    return titles;
}
}  // namespace

void addMarkTitleAlias(std::string title) {
    if (!title.empty() && !isMarkTitle(title)) {
        markTitleAliases().push_back(std::move(title));
    }
}

bool isMarkTitle(std::string_view title) {
    const auto& titles = markTitleAliases();
    return title == constantText("DK_TABLE_MARK") ||
           title == builtInConstantText("DK_TABLE_MARK") ||
           std::find(titles.begin(), titles.end(), title) != titles.end();
}

void addExportTitles(const tExportTitles& titles) {
    for (int i = 0; i < kQuantityCount; ++i) {
        for (const std::string& name : titles.quantities[static_cast<std::size_t>(i)]) {
            addQuantityAlias(i, name);
        }
    }
    for (const std::string& title : titles.mark) {
        addMarkTitleAlias(title);
    }
}

float toPercent(int i, double x) {
    const tQuantityRange& range = rangeOf(i);
    const float low = static_cast<float>(range.low);
    float width = static_cast<float>(range.high) - low;
    if (std::fabs(width) <= kZeroWidthGuard) {
        width = kZeroWidthGuard;
    }
    return (static_cast<float>(x) - low) * 100.0f / width;
}

float fromPercent(int i, double y) {
    const tQuantityRange& range = rangeOf(i);
    const float low = static_cast<float>(range.low);
    const float width = static_cast<float>(range.high) - low;
    return low + static_cast<float>(y) * width / 100.0f;
}

int quantityOfCode(std::string_view code) {
    for (int i = 0; i < kQuantityCount; ++i) {
        const std::string_view known = kQuantityCodes[static_cast<std::size_t>(i)];
        if (code.size() == known.size() &&
            std::equal(code.begin(), code.end(), known.begin(), [](char a, char b) {
                return std::toupper(static_cast<unsigned char>(a)) == b;
            })) {
            return i;
        }
    }
    return -1;
}

std::string unitOf(int quantity) {
    const std::string_view key = quantityInfo[static_cast<std::size_t>(quantity)].valueKey;
    const std::size_t comma = key.rfind(", ");
    return comma == std::string_view::npos ? std::string() : std::string(key.substr(comma + 2));
}

}  // namespace vantrel
