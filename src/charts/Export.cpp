#include "charts/Export.h"

#include <algorithm>
#include <vector>

#include "base/Encoding.h"
#include "base/Files.h"
#include "base/Functions.h"
#include "base/IniFile.h"
#include "base/Texts.h"
#include "charts/ChartModel.h"

namespace vantrel {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace

tExportTable exportTable(const tChartModel& model) {
    const tRunData& run = model.Data();
    tExportTable table;
    for (int i = 0; i < kQuantityCount; ++i) {
        if (model.TimeSeries(i).Visible()) {
            table.quantities.push_back(i);
        }
    }
    const auto n = static_cast<std::ptrdiff_t>(run.Count());
    std::ptrdiff_t start = 0;
    std::ptrdiff_t end = n - 1;
    if (model.CursorIndex() >= 0) {
        end = model.CursorIndex();
    }
    if (model.ZeroMarkerIndex() >= 0) {
        start = model.ZeroMarkerIndex();
        if (start < n) {
            table.origin = run.Time(static_cast<std::size_t>(start));
        }
    }
    // Indices outside the run (no points at all) give no records.
    const std::ptrdiff_t from = std::max<std::ptrdiff_t>(std::min(start, end), 0);
    const std::ptrdiff_t to = std::min(std::max(start, end), n - 1);
    for (std::ptrdiff_t p = from; p <= to; ++p) {
        table.stretch.push_back(static_cast<std::size_t>(p));
    }
    table.marked.assign(run.Marks().begin(), run.Marks().end());
    return table;
}

namespace {

std::string markTitle() {
    return constantText("DK_TABLE_MARK");
}

// The header and the lines of `records`, the mark column after the
// quantities when asked for.
std::string exportLines(const tChartModel& model, const tExportTable& table,
                        const std::vector<std::size_t>& records, bool markColumn) {
    const tRunData& run = model.Data();
    std::string text = "t";
    for (int i : table.quantities) {
        text += '\t';
        text += quantityNames[static_cast<std::size_t>(i)];
    }
    if (markColumn) {
        text += '\t';
        text += markTitle();
    }
    text += kLineEnd;
    if (table.quantities.empty()) {
        return text;
    }
    for (std::size_t p : records) {
        text += formatFixed(run.Time(p) - table.origin, 3);
        for (int i : table.quantities) {
            text += '\t';
            text += formatFixed(run.Shown(i, p), 2);
        }
        if (markColumn) {
            text += '\t';
            if (run.Marked(p)) {
                text += '*';
            }
        }
        text += kLineEnd;
    }
    return text;
}

}  // namespace

std::string ExportText(const tChartModel& model) {
    const tExportTable table = exportTable(model);
    // Marked: every marked point of the run, whatever the markers; only the
    // time origin applies.
    return exportLines(model, table, table.Records(), false);
}

std::string RunExportText(const tChartModel& model) {
    const tExportTable table = exportTable(model);
    std::vector<std::size_t> records(model.Data().Count());
    for (std::size_t p = 0; p < records.size(); ++p) {
        records[p] = p;
    }
    return exportLines(model, table, records, model.Data().HasMarks());
}

bool exportsInWindows1251() {
    std::string texts = markTitle();
    for (const std::string& name : quantityNames) {
        texts += name;
    }
    std::string bytes;
    return utf8ToCp1251(texts, bytes);
}

std::string EncodeExportText(const std::string& utf8Text) {
    std::string bytes;
    // Whatever else the code page lacks still goes out whole, as UTF-8.
    if (exportsInWindows1251() && utf8ToCp1251(utf8Text, bytes)) {
        return bytes;
    }
    bytes.clear();
    bytes.reserve(kUtf8Bom.size() + utf8Text.size());
    bytes += kUtf8Bom;
    bytes += utf8Text;
    return bytes;
}

tExportWritten ExportReadings(const tChartModel& model, const std::string& fileName) {
    const tExportTable table = exportTable(model);
    writeFileAtomically(fileName,
                        EncodeExportText(exportLines(model, table, table.Records(), false)));
    return {!table.marked.empty(), table.quantities.empty() ? 0 : table.Records().size()};
}

std::size_t ExportRun(const tChartModel& model, const std::string& fileName) {
    writeFileAtomically(fileName, EncodeExportText(RunExportText(model)));
    return exportTable(model).quantities.empty() ? 0 : model.Data().Count();
}

}  // namespace vantrel
