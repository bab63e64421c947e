#include "run/ExportReader.h"

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <charconv>
#include <cmath>

#include "base/Encoding.h"
#include "base/Error.h"
#include "base/Files.h"
#include "base/Functions.h"
#include "run/Quantities.h"

namespace vantrel {

namespace {

// Times and readings go on as single precision: a number beyond its range
// would arrive as infinity, so it is no number of an export.
bool readNumber(std::string_view text, double& value) {
    std::string normal(text);
    std::replace(normal.begin(), normal.end(), ',', '.');
    const char* end = normal.data() + normal.size();
    const auto [ptr, ec] = std::from_chars(normal.data(), end, value, std::chars_format::fixed);
    return !normal.empty() && ec == std::errc() && ptr == end && std::fabs(value) <= FLT_MAX;
}

std::string lineError(std::size_t line, const std::string& what) {
    return "line " + std::to_string(line) + " of the run: " + what;
}

}  // namespace

int quantityOfTitle(std::string_view title) {
    for (int i = 0; i < kQuantityCount; ++i) {
        if (title == quantityNames[i] || title == quantityInfo[i].title ||
            equalsIgnoreCase(title, kQuantityCodes[static_cast<std::size_t>(i)]) ||
            isQuantityAlias(i, title)) {
            return i;
        }
    }
    return -1;
}

tExportedRun readExportText(std::string_view text) {
    tExportedRun run;
    std::size_t lineNumber = 0;
    bool header = true;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            continue;
        }
        const std::vector<std::string_view> fields = splitTabs(line);
        if (header) {
            if (fields.front() != "t") {
                throw tError(lineError(lineNumber, "no export of this program (it starts with \"" +
                                                       std::string(fields.front()) + "\")"));
            }
            for (std::size_t k = 1; k < fields.size(); ++k) {
                const int q = quantityOfTitle(fields[k]);
                if (q < 0 && k + 1 == fields.size() && isMarkTitle(fields[k])) {
                    run.markColumn = true;
                    break;
                }
                if (q < 0 || std::find(run.quantities.begin(), run.quantities.end(), q) !=
                                 run.quantities.end()) {
                    throw tError(lineError(lineNumber, "\"" + std::string(fields[k]) +
                                                           "\" is not a quantity of the station"));
                }
                run.quantities.push_back(q);
            }
            header = false;
            continue;
        }
        const std::size_t expected = run.quantities.size() + 1 + (run.markColumn ? 1 : 0);
        // A spreadsheet may drop the empty mark cell at the end of a line.
        const bool markDropped = run.markColumn && fields.size() + 1 == expected;
        if (fields.size() != expected && !markDropped) {
            throw tError(lineError(lineNumber, std::to_string(fields.size()) + " fields, " +
                                                   std::to_string(expected) + " expected"));
        }
        tExportRow row;
        row.timeText = std::string(fields[0]);
        if (!readNumber(fields[0], row.time)) {
            throw tError(lineError(lineNumber, "\"" + row.timeText + "\" is not a time"));
        }
        for (std::size_t k = 0; k < run.quantities.size(); ++k) {
            double value = 0;
            if (!readNumber(fields[k + 1], value)) {
                throw tError(lineError(lineNumber,
                                       "\"" + std::string(fields[k + 1]) + "\" is not a number"));
            }
            row.readings[run.quantities[k]] = static_cast<float>(value);
        }
        if (run.markColumn && !markDropped) {
            const std::string_view mark = fields.back();
            if (mark != "*" && !mark.empty()) {
                throw tError(lineError(lineNumber, "\"" + std::string(mark) + "\" is not a mark"));
            }
            row.marked = !mark.empty();
        }
        run.rows.push_back(std::move(row));
    }
    if (header) {
        throw tError("the run is empty: no header line");
    }
    return run;
}

tExportedRun readExportFile(const std::string& fileName) {
    std::string bytes;
    if (!readFileIfExists(fileName, bytes, 64 * kMaxFileSize)) {
        throw tError(fileOpenErrorText(fileName, systemErrorText(ENOENT)));
    }
    std::string text;
    decodeWindowsText(bytes, text);
    try {
        return readExportText(text);
    } catch (const tError& e) {
        throw tError(fileName + ": " + e.what());
    }
}

}  // namespace vantrel
