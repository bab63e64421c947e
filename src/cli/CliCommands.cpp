#include "cli/CliCommands.h"

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "base/Files.h"
#include "base/Paths.h"
#include "base/ProgramFiles.h"
#include "base/Settings.h"
#include "base/VersionInfo.h"
#include "charts/Export.h"
#include "class/BrokerConfig.h"
#include "cli/Recorder.h"
#include "cli/ScenarioTools.h"
#include "journal/Journal.h"
#include "journal/RunFile.h"
#include "lang/LanguageList.h"
#include "run/Quantities.h"
#include "run/RunData.h"
#include "run/Selection.h"
#include "session/LanguageTexts.h"
#include "station/SafetyRules.h"

namespace vantrel {

namespace {

constexpr const char* kPrefix = "vantrel-cli: ";

// The export target is checked before the run, not found unusable after an
// hour of recording: a missing, read-only or full folder is told at once.
bool exportTargetUsable(const std::string& fileName, std::string& error) {
    const std::filesystem::path path = pathFromUtf8(fileName);
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = "--export: '" + fileName + "' is a folder";
        return false;
    }
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    if (!std::filesystem::is_directory(folder, ec)) {
        error = "--export: the folder '" + utf8FromPath(folder) + "' does not exist";
        return false;
    }
    std::string reason;
    if (!canWriteFile(fileName, reason)) {
        error = "--export: '" + fileName + "' cannot be written: " + reason;
        return false;
    }
    return true;
}

void applyConfiguredLanguage(const std::string& configFile,
                             const std::vector<std::string>& languageFolders) {
    try {
        tSettings settings(false);
        settings.Load(configFile);
        applyConfiguredLanguage(settings, languageFolders);
    } catch (const std::exception&) {
        // No configuration: the built-in texts.
    }
}

// The limits a recording with `configFile` would run under; a replay applies
// them to the scenario it steps. Without a configuration, the defaults.
tSafetyLimits configuredLimits(const std::string& configFile) {
    try {
        tSettings settings(false);
        settings.Load(configFile);
        return tSafetyLimits::FromSettings(settings);
    } catch (const std::exception&) {
        return {};
    }
}

// --broker-config: the class's broker set up in a folder, and what the
// teacher needs to start it and to configure the stations.
int writeBrokerConfig(const tCliOptions& options, std::ostream& out, std::ostream& messages) {
    classlink::tBrokerConfigOptions config;
    config.className = options.classLink.className.value_or("");
    try {
        const classlink::tBrokerConfig written =
            classlink::writeClassBrokerConfig(options.brokerConfigFolder, config);
        out << "Broker configuration of the class " << config.className << " written to "
            << written.folder << '\n';
        for (const classlink::tBrokerAccount& account : written.accounts) {
            out << "  " << account.user << '\t' << account.password << '\t' << account.role << '\n';
        }
        if (written.replaced) {
            out << "The earlier configuration there was replaced: give the stations the new "
                   "station password.\n";
        }
        out << "The accounts are also in " << written.accountsFile << '\n'
            << "Start the broker: " << written.startCommand << '\n';
        return kExitDone;
    } catch (const std::exception& e) {
        messages << kPrefix << "--broker-config: " << e.what() << '\n';
        return kExitUsage;
    }
}

}  // namespace

int recoverRun(const tCliOptions& options, std::ostream& messages) {
    std::string file = options.recoverFile;
    if (file.empty()) {
        const std::optional<tJournalInfo> died = newestUnfinishedRun(journalFolder());
        if (!died) {
            messages << kPrefix << "no run to recover: every run in " << journalFolder()
                     << " finished\n";
            return kExitNothingToRecover;
        }
        file = died->fileName;
    }
    tJournalRun run;
    try {
        run = readJournal(file);
    } catch (const std::exception& e) {
        messages << kPrefix << e.what() << '\n';
        return kExitNothingToRecover;
    }
    if (!options.exportFile.empty()) {
        tRunData data;
        tSelection selection;
        loadJournalRun(run, data, selection);
        try {
            ExportRun(data, selection, options.exportFile);
        } catch (const std::exception& e) {
            messages << kPrefix << "export failed: " << e.what() << '\n';
            return kExitExportFailed;
        }
    }
    if (!options.workbookFile.empty() &&
        writeFileRunWorkbook(file, nullptr, options.workbookFile, options.equivalence,
                             options.analyses, options.FromSeconds(), options.ToSeconds(),
                             messages) != kExitDone) {
        return kExitExportFailed;
    }
    messages << kPrefix << "recovered " << run.readings.size() << " readings of the run started "
             << run.header.started << (run.finished ? "" : " (it did not finish)") << " to "
             << (options.exportFile.empty() ? options.workbookFile : options.exportFile) << '\n';
    return kExitDone;
}

int runRecorder(const std::vector<std::string>& args, const std::string& programPath,
                std::ostream& out, std::ostream& messages, const std::atomic<int>* interrupts) {
    tCliOptions options;
    std::string error;
    if (!parseCliOptions(args, options, error)) {
        messages << kPrefix << error << "\nTry 'vantrel-cli --help'.\n";
        return kExitUsage;
    }
    if (options.help) {
        out << kCliUsage;
        return kExitDone;
    }
    if (options.version) {
        out << versionString("FileDescription") << ' ' << versionString("FileVersion") << '\n'
            << versionString("LegalCopyright") << '\n';
        return kExitDone;
    }
    if (!options.checkFile.empty()) {
        return checkScenario(options.checkFile, out, messages);
    }
    if (options.listRuns) {
        for (const tJournalInfo& run : listJournals(journalFolder())) {
            out << run.started << '\t' << run.records << '\t'
                << (run.finished ? "finished" : "unfinished") << '\t' << run.fileName << '\n';
        }
        return kExitDone;
    }
    if (!options.brokerConfigFolder.empty()) {
        return writeBrokerConfig(options, out, messages);
    }
    const tProgramFiles files = locateProgramFiles(programPath);
    const bool writesFiles = !options.workbookFile.empty() || !options.exportFile.empty();
    const bool tellsRefusals = !options.replayFile.empty() && !options.scenarioFile.empty();
    if ((writesFiles && (options.recover || !options.replayFile.empty())) || tellsRefusals) {
        // The files speak the configured language, as a recording's do, and
        // so do the reasons a replay gives for refused commands.
        applyConfiguredLanguage(options.configFile.empty() ? files.config : options.configFile,
                                files.languageFolders);
    }
    if (options.recover) {
        return recoverRun(options, messages);
    }
    if (!options.replayFile.empty()) {
        // An export written in a shipped language names its columns in it.
        addExportTitles(tLanguageList::Scan(files.languageFolders).ExportTitles());
        const std::string configFile =
            options.configFile.empty() ? files.config : options.configFile;
        int status =
            replayScenario(options.scenarioFile, options.replayFile, out, messages,
                           options.equivalence, options.analyses, options.FromSeconds(),
                           options.ToSeconds(), options.workbookFile, configuredLimits(configFile));
        if (!options.exportFile.empty() && status != kExitUsage) {
            const int written =
                writeFileRunExport(options.replayFile, options.exportFile, messages);
            status = status == kExitDone ? written : status;
        }
        return status;
    }
    for (const std::string* target : {&options.exportFile, &options.workbookFile}) {
        if (!target->empty() && !exportTargetUsable(*target, error)) {
            messages << kPrefix << error << '\n';
            return kExitUsage;
        }
    }
    return tRecorder(std::move(options), args, programPath, out, messages, interrupts).Run();
}

}  // namespace vantrel
