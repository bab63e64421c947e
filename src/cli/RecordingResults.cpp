#include "cli/RecordingResults.h"

#include <chrono>
#include <exception>
#include <filesystem>
#include <system_error>

#include "base/Files.h"
#include "base/Locale.h"
#include "base/Paths.h"
#include "charts/Equivalence.h"
#include "charts/Export.h"
#include "charts/StretchFit.h"
#include "cli/ScenarioTools.h"
#include "run/RunData.h"
#include "run/Selection.h"

namespace vantrel {

namespace {

constexpr const char* kPrefix = "vantrel-cli: ";

// The run is not lost with its file: when `fileName` cannot be written it
// goes where it can, and the user is told where.
bool exportRun(const std::string& fileName, const tRunData& run, const tSelection& selection,
               std::ostream& messages) {
    try {
        ExportRun(run, selection, fileName);
    } catch (const std::exception& e) {
        messages << kPrefix << "export failed: " << e.what() << '\n';
        const std::string fallback = fallbackExportName();
        try {
            ExportRun(run, selection, fallback);
            messages << kPrefix << "the run was written to " << fallback << " instead\n";
        } catch (const std::exception& again) {
            messages << kPrefix << "the run could not be written to " << fallback
                     << " either: " << again.what() << '\n';
        }
        return false;
    }
    messages << kPrefix << "exported to " << fileName << '\n' << std::flush;
    return true;
}

}  // namespace

std::string fallbackExportName() {
    std::filesystem::path folder;
    for (const char* variable : {"HOME", "USERPROFILE"}) {
        const std::string value = environmentText(variable);
        std::error_code ec;
        if (!value.empty() && std::filesystem::is_directory(pathFromUtf8(value), ec)) {
            folder = pathFromUtf8(value);
            break;
        }
    }
    std::error_code ec;
    if (folder.empty()) {
        folder = std::filesystem::temp_directory_path(ec);
    }
    return utf8FromPath(folder / ("vantrel-run-" + localTimeStamp("%Y%m%d-%H%M%S") + ".csv"));
}

bool writeRecordingResults(const tCliOptions& options, const tRunData& run,
                           const tSelection& selection, tAnalysis& analysis, std::ostream& out,
                           std::ostream& messages) {
    auto guarded = [&messages](auto&& handler) {
        try {
            handler();
        } catch (const std::exception& e) {
            messages << kPrefix << "error: " << e.what() << '\n';
        }
    };
    bool exported =
        options.exportFile.empty() || exportRun(options.exportFile, run, selection, messages);
    if (!options.workbookFile.empty()) {
        // The run is in the journal and the text export whatever happens here.
        guarded([&] {
            exported = writeRunWorkbook(run, selection, analysis, options.workbookFile,
                                        options.equivalence, options.analyses,
                                        options.FromSeconds(), options.ToSeconds(), messages) &&
                       exported;
        });
    }
    if (options.equivalence >= 0) {
        // The same point the window finds: from the station's readings,
        // whatever the run showed relative.
        guarded([&] {
            const tTitration titration = titrationOf(run, options.equivalence);
            out << equivalenceLine(titration.volume, titration.pH) << '\n' << std::flush;
        });
    }
    if (!options.analyses.empty()) {
        guarded([&] {
            for (const std::string& line :
                 stretchLines(tRunColumns::Of(run), options.analyses, options.FromSeconds(),
                              options.ToSeconds())) {
                out << line << '\n';
            }
            out << std::flush;
        });
    }
    return exported;
}

}  // namespace vantrel
