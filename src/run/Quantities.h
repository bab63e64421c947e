#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "device/Readings.h"

namespace vantrel {

struct tQuantityRange {
    double low;
    double high;
};

struct tRgb {
    std::uint8_t r, g, b;
};

// What the window needs to know about each quantity.
struct tQuantityInfo {
    std::string_view title;           // default name: chart title, check-list text
    std::string_view valueKey;        // key of its value-list row
    int decimals;                     // value-list format: 2 -> "0.00", 4 -> "0.0000"
    tRgb colour;                      // curve colour on both charts
    bool marksShown;                  // marked points show a caption on this curve
    std::string_view relativeItem;    // its check item in the relative-readings menu
    std::string_view nameConstant;    // language constant that renames it
    std::string_view timeSeriesName;  // object names, for language files
    std::string_view dependSeriesName;
};

extern const std::array<tQuantityInfo, kQuantityCount> quantityInfo;

// The short codes the station's records and the recorder's options use.
inline constexpr std::array<std::string_view, kQuantityCount> kQuantityCodes = {
    "LT", "LP", "LC", "LE", "V1", "V2", "V3"};
// -1 when `code` is none of them (any case).
int quantityOfCode(std::string_view code);
// The unit the value list shows a quantity in ("°C", "мл"; "" for pH).
std::string unitOf(int quantity);

// Fixed plotting ranges in physical units (V in ml).
extern const std::array<tQuantityRange, kQuantityCount> quantityRanges;

// Display names, heading the export columns. They start as the Russian
// titles; applying a non-default language replaces them.
extern std::array<std::string, kQuantityCount> quantityNames;
void resetQuantityNames();
// Names a quantity had in another language, so that an export written in
// that language reads back (the language list adds every file's names).
void addQuantityAlias(int i, std::string name);
bool isQuantityAlias(int i, std::string_view name);
// The same for the title of an export's mark column: the current
// language's, the built-in one, or one a language file gives.
void addMarkTitleAlias(std::string title);
bool isMarkTitle(std::string_view title);

// What a language file calls the quantities and the mark column.
struct tExportTitles {
    std::array<std::vector<std::string>, kQuantityCount> quantities;
    std::vector<std::string> mark;
};
// Adds every one of them as an alias above.
void addExportTitles(const tExportTitles& titles);

// Every curve is drawn on one 0..100 scale; a reading becomes its percentage
// of the quantity's range and back. Single precision, like the stored readings.
inline constexpr float kZeroWidthGuard = 1e-6f;
float toPercent(int i, double x);
float fromPercent(int i, double y);

// Time chart geometry, seconds.
inline constexpr double kTimeWindowWidth = 30.0;
inline constexpr double kTimeScrollStep = kTimeWindowWidth * 0.5;
inline constexpr double kPercentLow = 0.0;
inline constexpr double kPercentHigh = 100.0;
// Rate of change: over at least this many seconds, expressed per minute.
inline constexpr float kRatePeriod = 1.0f;
inline constexpr float kRateUnit = 60.0f;

}  // namespace vantrel
