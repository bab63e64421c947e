#include "session/Workbook.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string_view>
#include <system_error>

#include "base/Error.h"
#include "base/Files.h"
#include "base/Functions.h"
#include "base/Paths.h"
#include "base/Texts.h"
#include "lang/LanguageFile.h"
#include "run/Quantities.h"
#include "run/RunData.h"
#include "session/RunSummary.h"

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace vantrel {

namespace {

namespace fs = std::filesystem;

// Excel's number formats, one per count of decimals; shown with the
// reader's own decimal separator.
constexpr std::string_view kDecimals[] = {"0", "0.0", "0.00", "0.000", "0.0000"};

// How the progress divides between writing the rows and packing the file
// (a day's run: 2.0 s of rows, 3.1 s of packing); the last share is putting
// it in place.
constexpr double kRowsShare = 0.4;
constexpr double kPackedShare = 0.97;
constexpr std::size_t kRowsPerReport = 4096;

std::string processTag() {
    static std::atomic<int> counter{0};
    return std::to_string(getpid()) + "-" + std::to_string(++counter);
}

bool canCreateFileIn(const fs::path& folder) {
    const std::string probe = utf8FromPath(folder / ("vantrel-probe-" + processTag()));
    const int fd = openDescriptor(probe, tOpenMode::CreateNew);
    if (fd < 0) {
        return false;
    }
    closeDescriptor(fd);
    std::error_code ec;
    fs::remove(pathFromUtf8(probe), ec);
    return true;
}

// The library adds its own separator.
std::string withoutTrailingSeparator(std::string name) {
    while (name.size() > 1 && (name.back() == '/' || name.back() == '\\') &&
           !(name.size() == 3 && name[1] == ':')) {
        name.pop_back();
    }
    return name;
}

#ifdef _WIN32
// The folder's short form when its long one has letters the narrow
// functions would lose; only an ASCII name reads the same in every code
// page and as UTF-8, which the library takes the workbook's own name in.
std::optional<std::string> narrowName(const fs::path& folder) {
    std::wstring name = folder.wstring();
    const DWORD size = GetShortPathNameW(name.c_str(), nullptr, 0);
    if (size > 0) {
        std::wstring shortName(size, L'\0');
        const DWORD got = GetShortPathNameW(name.c_str(), shortName.data(), size);
        if (got > 0 && got < size) {
            shortName.resize(got);
            name = shortName;
        }
    }
    std::string narrow;
    for (wchar_t c : name) {
        if (c == 0 || c >= 0x80) {
            return std::nullopt;
        }
        narrow += static_cast<char>(c);
    }
    return narrow;
}

// With 8.3 names switched off, the user's temporary folder may have no such
// form: these folders have ASCII names on every Windows.
std::vector<fs::path> scratchCandidates(const std::string& target) {
    std::vector<fs::path> folders;
    std::error_code ec;
    const fs::path temp = fs::temp_directory_path(ec);
    if (!ec) {
        folders.push_back(temp);
    }
    for (const char* variable : {"ProgramData", "PUBLIC"}) {
        const std::string value = environmentText(variable);
        if (!value.empty()) {
            folders.push_back(pathFromUtf8(value));
        }
    }
    const std::string windows = environmentText("SystemRoot");
    if (!windows.empty()) {
        folders.push_back(pathFromUtf8(windows) / "Temp");
    }
    const fs::path beside = pathFromUtf8(target).parent_path();
    folders.push_back(beside.empty() ? fs::path(".") : beside);
    return folders;
}
#else
std::optional<std::string> narrowName(const fs::path& folder) {
    return folder.string();
}

std::vector<fs::path> scratchCandidates(const std::string& target) {
    std::vector<fs::path> folders;
    std::error_code ec;
    const fs::path temp = fs::temp_directory_path(ec);
    if (!ec) {
        folders.push_back(temp);
    }
    const fs::path beside = pathFromUtf8(target).parent_path();
    folders.push_back(beside.empty() ? fs::path(".") : beside);
    return folders;
}
#endif

// The workbook's own temporary file, in the scratch folder under an ASCII
// name; removed with this object.
class tScratchFile {
public:
    explicit tScratchFile(const tScratchFolder& folder) {
        const std::string name = "vantrel-" + processTag() + ".xlsx";
        path_ = folder.path / name;
        narrow_ = withoutTrailingSeparator(folder.narrow) +
                  static_cast<char>(fs::path::preferred_separator) + name;
    }
    ~tScratchFile() {
        std::error_code ec;
        fs::remove(path_, ec);
    }
    tScratchFile(const tScratchFile&) = delete;
    tScratchFile& operator=(const tScratchFile&) = delete;

    std::string Name() const { return utf8FromPath(path_); }
    const std::string& NarrowName() const { return narrow_; }

private:
    fs::path path_;
    std::string narrow_;
};

// Tells the progress and asks whether to go on.
class tProgressTracker {
public:
    tProgressTracker(const tWorkbookProgress& progress, std::size_t rows)
        : progress_(progress), rows_(std::max<std::size_t>(rows, 1)) {}

    void Row() {
        if (++done_ % kRowsPerReport == 0) {
            Report(kRowsShare * static_cast<double>(done_) / static_cast<double>(rows_));
        }
    }
    void Report(double share) const {
        if (progress_ && !progress_(std::min(share, 1.0))) {
            throw tWorkbookCancelled();
        }
    }

private:
    const tWorkbookProgress& progress_;
    std::size_t rows_;
    std::size_t done_ = 0;
};

class tWriter {
public:
    tWriter(const std::string& fileName, const std::string& tmpdir)
        : tmpdir_(withoutTrailingSeparator(tmpdir)) {
        lxw_workbook_options options{};
        // Rows go to disk as written: a day-long run stays small in memory.
        options.constant_memory = LXW_TRUE;
        options.tmpdir = tmpdir_.data();
        book_ = workbook_new_opt(fileName.c_str(), &options);
        if (book_ == nullptr) {
            throw tError("the workbook could not be created");
        }
        bold_ = workbook_add_format(book_);
        format_set_bold(bold_);
        for (std::size_t d = 0; d < std::size(kDecimals); ++d) {
            numbers_[d] = workbook_add_format(book_);
            format_set_num_format(numbers_[d], std::string(kDecimals[d]).c_str());
        }
    }
    ~tWriter() {
        if (book_ == nullptr) {
            return;
        }
        // After a failure or a cancel: free it without packing what was
        // written, which for a long run takes seconds. The sheets' row files
        // are closed only by packing, so they are closed here.
        for (lxw_worksheet* sheet : sheets_) {
            if (sheet->optimize_tmpfile != nullptr) {
                std::fclose(sheet->optimize_tmpfile);
                sheet->optimize_tmpfile = nullptr;
                sheet->file = nullptr;
            }
        }
        lxw_workbook_free(book_);
    }
    tWriter(const tWriter&) = delete;
    tWriter& operator=(const tWriter&) = delete;

    lxw_worksheet* Sheet(const std::string& name) {
        lxw_worksheet* sheet = workbook_add_worksheet(book_, name.c_str());
        if (sheet == nullptr) {
            throw tError("the sheet '" + name + "' could not be added");
        }
        sheets_.push_back(sheet);
        return sheet;
    }
    void Text(lxw_worksheet* sheet, std::size_t row, int col, const std::string& text,
              bool bold = false) {
        check(worksheet_write_string(sheet, Row(row), static_cast<lxw_col_t>(col), text.c_str(),
                                     bold ? bold_ : nullptr));
    }
    void Number(lxw_worksheet* sheet, std::size_t row, int col, double value, int decimals) {
        check(worksheet_write_number(sheet, Row(row), static_cast<lxw_col_t>(col), value,
                                     numbers_[std::clamp(decimals, 0, 4)]));
    }
    // Cells that are no number (a quantity the run lacks) stay empty.
    void NumberOrEmpty(lxw_worksheet* sheet, std::size_t row, int col, double value, int decimals) {
        if (std::isfinite(value)) {
            Number(sheet, row, col, value, decimals);
        }
    }
    // Six significant digits whatever the size: a slope of -2.34e-06 per
    // second is no 0.0000. The cell keeps the whole number.
    void Significant(lxw_worksheet* sheet, std::size_t row, int col, double value) {
        if (std::isfinite(value)) {
            check(worksheet_write_number(sheet, Row(row), static_cast<lxw_col_t>(col), value,
                                         SignificantFormat(value)));
        }
    }
    void Close() {
        lxw_workbook* book = book_;
        book_ = nullptr;
        const lxw_error error = workbook_close(book);
        if (error != LXW_NO_ERROR) {
            throw tError(lxw_strerror(error));
        }
    }

private:
    static lxw_row_t Row(std::size_t row) {
        if (row >= LXW_ROW_MAX) {
            throw tError("the run has more points than a sheet has rows (" +
                         std::to_string(LXW_ROW_MAX - 1) + ")");
        }
        return static_cast<lxw_row_t>(row);
    }
    static void check(lxw_error error) {
        if (error != LXW_NO_ERROR) {
            throw tError(lxw_strerror(error));
        }
    }
    lxw_format* SignificantFormat(double value) {
        std::string pattern = "0.00000E+00";
        if (value != 0) {
            // The exponent as the value reads rounded to six digits.
            char text[32];
            std::snprintf(text, sizeof text, "%.5e", value);
            const char* e = std::strchr(text, 'e');
            const int exponent = e != nullptr ? std::atoi(e + 1) : 0;
            if (exponent >= -3 && exponent <= 5) {
                pattern = exponent == 5 ? "0" : "0." + std::string(5 - exponent, '0');
            }
        } else {
            pattern = "0";
        }
        lxw_format*& format = significant_[pattern];
        if (format == nullptr) {
            format = workbook_add_format(book_);
            format_set_num_format(format, pattern.c_str());
        }
        return format;
    }

    std::string tmpdir_;
    lxw_workbook* book_ = nullptr;
    std::vector<lxw_worksheet*> sheets_;
    lxw_format* bold_ = nullptr;
    lxw_format* numbers_[std::size(kDecimals)] = {};
    std::map<std::string, lxw_format*> significant_;
};

// A reading as the station gave it: the shortest decimal that reads back as
// the same float, so that a cell holds 21.99, not 21.9899997711.
double asGiven(float value) {
    char text[32];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text, value);
    double given = value;
    std::from_chars(text, written.ptr, given);
    return given;
}

// Times to the microsecond: what is left below is the arithmetic's, not the station's.
double timeFrom(double time, double origin) {
    const double t = asGiven(static_cast<float>(time)) - asGiven(static_cast<float>(origin));
    return std::round(t * 1e6) / 1e6;
}

int decimalsOf(int quantity) {
    return quantityInfo[static_cast<std::size_t>(quantity)].decimals;
}

// 0, 1, ... count - 1 for a range-for. (clang 14 cannot compile the
// standard library's iota view of g++ 12.)
struct tIndices {
    struct tIterator {
        std::size_t at;
        std::size_t operator*() const { return at; }
        tIterator& operator++() {
            ++at;
            return *this;
        }
        bool operator!=(const tIterator& other) const { return at != other.at; }
    };
    std::size_t count;
    tIterator begin() const { return {0}; }
    tIterator end() const { return {count}; }
};

// Time, the export's quantities, then (readings sheet) the mark.
void writeRecords(tWriter& w, lxw_worksheet* sheet, const tRunData& run, const tExportTable& table,
                  const auto& records, bool markColumn, tProgressTracker& tracker) {
    const auto columns = static_cast<lxw_col_t>(table.quantities.size() + (markColumn ? 1 : 0));
    worksheet_set_column(sheet, 0, columns, 14, nullptr);
    worksheet_freeze_panes(sheet, 1, 0);
    w.Text(sheet, 0, 0, constantText("DK_TABLE_TIME"), true);
    int col = 1;
    for (int q : table.quantities) {
        w.Text(sheet, 0, col++, quantityTitleWithUnit(q), true);
    }
    if (markColumn) {
        w.Text(sheet, 0, col, constantText("DK_TABLE_MARK"), true);
    }
    std::size_t row = 1;
    for (std::size_t p : records) {
        w.Number(sheet, row, 0, timeFrom(run.Time(p), table.origin), 3);
        col = 1;
        for (int q : table.quantities) {
            w.NumberOrEmpty(sheet, row, col++, asGiven(run.Shown(q, p)), decimalsOf(q));
        }
        if (markColumn && std::binary_search(table.marked.begin(), table.marked.end(), p)) {
            w.Text(sheet, row, col, "*");
        }
        ++row;
        tracker.Row();
    }
}

std::string xCode(int abscissa) {
    return abscissa < 0 ? std::string("t") : std::string(kQuantityCodes[abscissa]);
}

// The fit rows read y = a + b·(x − x0) + c·(x − x0)², y = a + b·e^(c·(x − x0)).
constexpr const char* kFitEquations = "y = a + b·(x − x0) + c·(x − x0)²;  y = a + b·e^(c·(x − x0))";

// One fit or tangent: its parameters and errors with six significant
// digits; x0 of a fit against the time counted as the readings sheet counts
// it, from the time origin, so the sheet's times go into the equation as
// they stand.
void writeFitRow(tWriter& w, lxw_worksheet* sheet, std::size_t row, const tFitCurve& f,
                 double sheetOrigin) {
    w.Text(sheet, row, 0, quantityNames[static_cast<std::size_t>(f.quantity)]);
    w.Text(sheet, row, 1, xCode(f.abscissa));
    if (f.tangent) {
        w.Significant(sheet, row, 4, f.slope);
    } else if (f.fit.ok()) {
        for (std::size_t k = 0; k < parameterCount(f.fit.model); ++k) {
            w.Significant(sheet, row, 2 + 2 * static_cast<int>(k), f.fit.parameters[k]);
            w.Significant(sheet, row, 3 + 2 * static_cast<int>(k), f.fit.standardErrors[k]);
        }
        // Where the fit puts x0 (the stretch's start), in run seconds for
        // the time.
        const double x0 = f.fit.origin;
        if (f.abscissa < 0) {
            w.Number(sheet, row, 8, timeFrom(x0, sheetOrigin), 3);
        } else {
            w.Significant(sheet, row, 8, x0);
        }
        w.Number(sheet, row, 9, f.fit.rSquared, 4);
    }
    w.Text(sheet, row, 10, fitStretchText(f, sheetOrigin));
    // The caption as the chart shows it: equation, units, R².
    std::string caption = f.caption;
    std::replace(caption.begin(), caption.end(), '\n', ' ');
    w.Text(sheet, row, 11, caption);
}

void writeSummary(tWriter& w, lxw_worksheet* sheet, const tRunSummary& s) {
    worksheet_set_column(sheet, 0, 0, 30, nullptr);
    worksheet_set_column(sheet, 1, 11, 13, nullptr);
    std::size_t row = 0;
    w.Text(sheet, row++, 0, constantText("DK_REPORT_TITLE"), true);
    // Label and text; the duration, the count and the equivalence point
    // also as numbers beside it.
    for (const auto& [label, text] : summaryLines(s)) {
        w.Text(sheet, row, 0, label, true);
        if (label == constantText("DK_SUM_DURATION")) {
            w.Text(sheet, row, 1, text);
            w.Number(sheet, row, 2, s.duration, 3);
            w.Text(sheet, row, 3, constantText("DK_FIT_SECONDS"));
        } else if (label == constantText("DK_SUM_RECORDS")) {
            w.Number(sheet, row, 1, static_cast<double>(s.records), 0);
        } else if (s.equivalence && s.equivalenceVolume >= 0 &&
                   label.rfind(constantText("DK_EQUIV_CAPTION"), 0) == 0) {
            w.Number(sheet, row, 1, s.equivalence->volume, 3);
            w.Text(sheet, row, 2, unitOf(s.equivalenceVolume));
            w.Number(sheet, row, 3, s.equivalence->pH, 3);
            w.Text(sheet, row, 4, "pH");
        } else {
            w.Text(sheet, row, 1, text);
        }
        ++row;
    }

    const std::vector<std::string> titles = splitItems(constantText("DK_STAT_TITLES"));
    const std::string quantityTitle = titles.empty() ? std::string() : titles[0];
    ++row;
    w.Text(sheet, row, 0, constantText("DK_SUM_FITS"), true);
    if (s.fits.empty()) {
        w.Text(sheet, ++row, 0, constantText("DK_SUM_NONE"));
        ++row;
    } else {
        w.Text(sheet, row++, 1, kFitEquations);
        const char* heads[] = {"x", "a", "± a", "b", "± b", "c", "± c", "x0", "R²"};
        w.Text(sheet, row, 0, quantityTitle, true);
        for (int k = 0; k < 9; ++k) {
            w.Text(sheet, row, 1 + k, heads[k], true);
        }
        ++row;
        for (const tFitCurve& f : s.fits) {
            writeFitRow(w, sheet, row++, f, s.table.origin);
        }
    }

    ++row;
    w.Text(sheet, row++, 0, constantText("DK_STAT_CAPTION"), true);
    const tStretchStatistics& st = s.statistics;
    if (st.quantities.empty()) {
        w.Text(sheet, row++, 0, constantText("DK_SUM_NONE"));
        return;
    }
    w.Text(sheet, row++, 0, stretchText(st.from, st.to, st.points, s.table.origin));
    for (std::size_t k = 0; k < titles.size() && k < 6; ++k) {
        w.Text(sheet, row, static_cast<int>(k), titles[k], true);
    }
    ++row;
    for (const tQuantityStatistics& q : st.quantities) {
        const int d = decimalsOf(q.quantity);
        w.Text(sheet, row, 0, quantityTitleWithUnit(q.quantity));
        w.Number(sheet, row, 1, q.minimum, d);
        w.Number(sheet, row, 2, q.maximum, d);
        w.Number(sheet, row, 3, q.mean, d);
        w.Number(sheet, row, 4, q.change, d);
        w.Number(sheet, row, 5, q.ratePerMinute, d + 1);
        ++row;
    }
}

}  // namespace

std::optional<tScratchFolder> scratchFolder(const std::vector<fs::path>& candidates,
                                            const tNarrowName& narrow) {
    for (const fs::path& folder : candidates) {
        std::error_code ec;
        if (!fs::is_directory(folder, ec)) {
            continue;
        }
        const std::optional<std::string> name = narrow(folder);
        if (name && !name->empty() && canCreateFileIn(folder)) {
            return tScratchFolder{folder, *name};
        }
    }
    return std::nullopt;
}

namespace {

// Fills a workbook in a scratch file, reads it back and puts it in place at
// once: a failure or a cancel leaves the target as it was. `packed` is told
// when the book is packed and again just before the target is replaced.
void writeThroughScratch(const std::string& fileName, const std::function<void(tWriter&)>& fill,
                         const std::function<void()>& packed) {
    std::string bytes;
    try {
        const std::optional<tScratchFolder> folder =
            scratchFolder(scratchCandidates(fileName), narrowName);
        if (!folder) {
            throw tError("no folder takes the workbook's temporary files");
        }
        const tScratchFile scratch(*folder);
        {
            tWriter w(scratch.NarrowName(), folder->narrow);
            fill(w);
            w.Close();
        }
        packed();
        if (!readFileIfExists(scratch.Name(), bytes, std::size_t(1) << 31)) {
            throw tError("the workbook was not written");
        }
    } catch (const tWorkbookCancelled&) {
        throw;
    } catch (const std::exception& e) {
        throw tError(fileCreateErrorText(fileName, e.what()));
    }
    // The last moment a cancel leaves the target as it was.
    packed();
    writeFileAtomically(fileName, bytes);
}

}  // namespace

void writeWorkbook(const std::string& fileName, const tRunData& run, const tRunSummary& summary,
                   const tWorkbookProgress& progress) {
    tProgressTracker tracker(progress, run.Count() + summary.table.marked.size());
    writeThroughScratch(
        fileName,
        [&](tWriter& w) {
            // Every record, whatever stretch the fits and statistics took.
            writeRecords(w, w.Sheet(constantText("DK_SHEET_READINGS")), run, summary.table,
                         tIndices{run.Count()}, true, tracker);
            writeRecords(w, w.Sheet(constantText("DK_SHEET_MARKS")), run, summary.table,
                         summary.table.marked, false, tracker);
            writeSummary(w, w.Sheet(constantText("DK_SHEET_SUMMARY")), summary);
            tracker.Report(kRowsShare);
        },
        [&] { tracker.Report(kPackedShare); });
}

namespace {

// A sheet's name: at most 31 characters, none of []:*?/\\, unique in the book.
std::string sheetName(const std::string& station, std::vector<std::string>& taken) {
    std::string name;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < station.size() && characters < 28;) {
        const auto lead = static_cast<unsigned char>(station[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const std::string character = station.substr(i, length);
        name += std::string("[]:*?/\\").find(character) == std::string::npos || length > 1
                    ? character
                    : "_";
        i += length;
        ++characters;
    }
    if (name.empty()) {
        name = "_";
    }
    std::string unique = name;
    for (int k = 2; std::find(taken.begin(), taken.end(), unique) != taken.end(); ++k) {
        unique = name + " " + std::to_string(k);
    }
    taken.push_back(unique);
    return unique;
}

}  // namespace

void writeClassWorkbook(const std::string& fileName, const std::string& summaryTitle,
                        const std::string& resultsText, const std::vector<tClassSheet>& sheets) {
    writeThroughScratch(
        fileName,
        [&](tWriter& w) {
            std::vector<std::string> taken{summaryTitle};
            lxw_worksheet* summary = w.Sheet(summaryTitle);
            worksheet_set_column(summary, 0, 12, 14, nullptr);
            std::size_t row = 0;
            std::size_t from = 0;
            while (from < resultsText.size()) {
                const std::size_t end = resultsText.find('\n', from);
                const std::string line = resultsText.substr(from, end - from);
                from = end == std::string::npos ? resultsText.size() : end + 1;
                int col = 0;
                std::size_t cell = 0;
                for (;;) {
                    const std::size_t tab = line.find('\t', cell);
                    const std::string text = line.substr(cell, tab - cell);
                    double value = 0;
                    const auto [end, ec] =
                        std::from_chars(text.data(), text.data() + text.size(), value);
                    if (!text.empty() && row > 0 && col > 2 && ec == std::errc() &&
                        end == text.data() + text.size()) {
                        w.Significant(summary, row, col, value);
                    } else if (!text.empty()) {
                        w.Text(summary, row, col, text, row == 0);
                    }
                    if (tab == std::string::npos) {
                        break;
                    }
                    cell = tab + 1;
                    ++col;
                }
                ++row;
            }
            for (const tClassSheet& station : sheets) {
                lxw_worksheet* sheet = w.Sheet(sheetName(station.station, taken));
                worksheet_set_column(sheet, 0, kQuantityCount, 14, nullptr);
                worksheet_freeze_panes(sheet, 1, 0);
                w.Text(sheet, 0, 0, constantText("DK_TABLE_TIME"), true);
                for (int q = 0; q < static_cast<int>(kQuantityCount); ++q) {
                    w.Text(sheet, 0, q + 1, quantityTitleWithUnit(q), true);
                }
                std::size_t r = 1;
                for (const tReadingSet& record : *station.records) {
                    w.Number(sheet, r, 0, timeFrom(record.time, 0), 3);
                    for (int q = 0; q < static_cast<int>(kQuantityCount); ++q) {
                        w.NumberOrEmpty(sheet, r, q + 1,
                                        asGiven(record.readings[static_cast<std::size_t>(q)]),
                                        decimalsOf(q));
                    }
                    ++r;
                }
            }
        },
        [] {});
}

}  // namespace vantrel
