#include "charts/Export.h"

#include <algorithm>
#include <set>
#include <vector>

#include "base/Encoding.h"
#include "base/Files.h"
#include "base/Functions.h"
#include "base/IniFile.h"
#include "charts/ChartModel.h"

namespace vantrel {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string timeText(double x, double t0) {
    return formatFixed(x - t0, 3);
}

void appendValue(std::string& line, const tSeries& series, std::size_t p) {
    line += '\t';
    line += formatFixed(fromPercent(series.Quantity(), series.Y(p)), 2);
}

}  // namespace

std::string ExportText(const tChartModel& model) {
    std::vector<const tSeries*> visible;
    for (int i = 0; i < kQuantityCount; ++i) {
        if (model.TimeSeries(i).Visible()) {
            visible.push_back(&model.TimeSeries(i));
        }
    }

    std::string text = "t";
    for (const tSeries* series : visible) {
        text += '\t';
        text += quantityNames[static_cast<std::size_t>(series->Quantity())];
    }
    text += kLineEnd;

    const tSeries& first = model.TimeSeries(0);
    const auto n = static_cast<std::ptrdiff_t>(first.Count());
    std::ptrdiff_t start = 0;
    std::ptrdiff_t end = n - 1;
    double t0 = 0.0;
    if (model.CursorIndex() >= 0) {
        end = model.CursorIndex();
    }
    if (model.ZeroMarkerIndex() >= 0) {
        start = model.ZeroMarkerIndex();
        if (start < n) {
            t0 = first.X(static_cast<std::size_t>(start));
        }
    }

    if (model.HasMarks()) {
        // Every marked point of the run, whatever the markers; only the
        // time origin applies.
        std::set<std::size_t> marked;
        for (const tSeries* series : visible) {
            marked.insert(series->Marks().begin(), series->Marks().end());
        }
        for (std::size_t p : marked) {
            if (static_cast<std::ptrdiff_t>(p) >= n) {
                break;
            }
            std::string line;
            for (const tSeries* series : visible) {
                if (p >= series->Count() || !series->Marked(p)) {
                    continue;
                }
                if (line.empty()) {
                    line = timeText(series->X(p), t0);
                }
                appendValue(line, *series, p);
            }
            if (!line.empty()) {
                text += line;
                text += kLineEnd;
            }
        }
        return text;
    }

    // The stretch between the two markers, in ascending order; indices
    // outside the run (no points at all) give no lines.
    const std::ptrdiff_t from = std::max<std::ptrdiff_t>(std::min(start, end), 0);
    const std::ptrdiff_t to = std::min(std::max(start, end), n - 1);
    const tSeries& timeSource = visible.empty() ? first : *visible.front();
    for (std::ptrdiff_t q = from; q <= to; ++q) {
        const auto p = static_cast<std::size_t>(q);
        if (p >= timeSource.Count()) {
            break;
        }
        std::string line = timeText(timeSource.X(p), t0);
        for (const tSeries* series : visible) {
            if (p < series->Count()) {
                appendValue(line, *series, p);
            }
        }
        text += line;
        text += kLineEnd;
    }
    return text;
}

std::string EncodeExportText(const std::string& utf8Text) {
    std::string bytes;
    if (utf8ToCp1251(utf8Text, bytes)) {
        return bytes;
    }
    bytes.clear();
    bytes.reserve(kUtf8Bom.size() + utf8Text.size());
    bytes += kUtf8Bom;
    bytes += utf8Text;
    return bytes;
}

void ExportReadings(const tChartModel& model, const std::string& fileName) {
    writeFileAtomically(fileName, EncodeExportText(ExportText(model)));
}

}  // namespace vantrel
