#include "charts/Export.h"

#include <algorithm>
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

}  // namespace

std::string ExportText(const tChartModel& model) {
    const tRunData& run = model.Data();
    std::vector<int> visible;
    for (int i = 0; i < kQuantityCount; ++i) {
        if (model.TimeSeries(i).Visible()) {
            visible.push_back(i);
        }
    }

    std::string text = "t";
    for (int i : visible) {
        text += '\t';
        text += quantityNames[static_cast<std::size_t>(i)];
    }
    text += kLineEnd;

    const auto n = static_cast<std::ptrdiff_t>(run.Count());
    std::ptrdiff_t start = 0;
    std::ptrdiff_t end = n - 1;
    double t0 = 0.0;
    if (model.CursorIndex() >= 0) {
        end = model.CursorIndex();
    }
    if (model.ZeroMarkerIndex() >= 0) {
        start = model.ZeroMarkerIndex();
        if (start < n) {
            t0 = run.Time(static_cast<std::size_t>(start));
        }
    }
    const auto appendLine = [&](std::size_t p) {
        text += formatFixed(run.Time(p) - t0, 3);
        for (int i : visible) {
            text += '\t';
            text += formatFixed(run.Shown(i, p), 2);
        }
        text += kLineEnd;
    };

    if (run.HasMarks()) {
        // Every marked point of the run, whatever the markers; only the
        // time origin applies.
        if (!visible.empty()) {
            for (std::size_t p : run.Marks()) {
                appendLine(p);
            }
        }
        return text;
    }

    // The stretch between the two markers, in ascending order; indices
    // outside the run (no points at all) give no lines.
    const std::ptrdiff_t from = std::max<std::ptrdiff_t>(std::min(start, end), 0);
    const std::ptrdiff_t to = std::min(std::max(start, end), n - 1);
    for (std::ptrdiff_t p = from; p <= to; ++p) {
        appendLine(static_cast<std::size_t>(p));
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
