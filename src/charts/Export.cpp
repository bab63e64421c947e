#include "charts/Export.h"

#include <vector>

#include "base/Encoding.h"
#include "base/Files.h"
#include "base/Functions.h"
#include "base/IniFile.h"
#include "base/Texts.h"
#include "run/Quantities.h"
#include "run/RunData.h"
#include "run/Selection.h"

namespace vantrel {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace

tExportTable exportTable(const tRunData& run, const tSelection& selection) {
    tExportTable table;
    table.quantities = selection.VisibleQuantities();
    if (const std::optional<std::size_t> origin = selection.OriginIn(run)) {
        table.origin = run.Time(*origin);
    }
    const tIndexRange stretch = selection.Stretch(run);
    for (std::size_t p = stretch.first; p <= stretch.last; ++p) {
        table.stretch.push_back(p);
    }
    table.marked.assign(selection.Marks().begin(), selection.Marks().end());
    return table;
}

namespace {

std::string markTitle() {
    return constantText("DK_TABLE_MARK");
}

// The header and the lines of `records`, the mark column after the
// quantities when asked for.
std::string exportLines(const tRunData& run, const tSelection& selection, const tExportTable& table,
                        const std::vector<std::size_t>& records, bool markColumn) {
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
            if (selection.Marked(p)) {
                text += '*';
            }
        }
        text += kLineEnd;
    }
    return text;
}

}  // namespace

std::string ExportText(const tRunData& run, const tSelection& selection) {
    const tExportTable table = exportTable(run, selection);
    // Marked: every marked point of the run, whatever the markers; only the
    // time origin applies.
    return exportLines(run, selection, table, table.Records(), false);
}

std::string RunExportText(const tRunData& run, const tSelection& selection) {
    const tExportTable table = exportTable(run, selection);
    std::vector<std::size_t> records(run.Count());
    for (std::size_t p = 0; p < records.size(); ++p) {
        records[p] = p;
    }
    return exportLines(run, selection, table, records, selection.HasMarks());
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

tExportWritten ExportReadings(const tRunData& run, const tSelection& selection,
                              const std::string& fileName) {
    const tExportTable table = exportTable(run, selection);
    writeFileAtomically(
        fileName, EncodeExportText(exportLines(run, selection, table, table.Records(), false)));
    return {!table.marked.empty(), table.quantities.empty() ? 0 : table.Records().size()};
}

std::size_t ExportRun(const tRunData& run, const tSelection& selection,
                      const std::string& fileName) {
    writeFileAtomically(fileName, EncodeExportText(RunExportText(run, selection)));
    return selection.VisibleQuantities().empty() ? 0 : run.Count();
}

}  // namespace vantrel
