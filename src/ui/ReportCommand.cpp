#include "ui/ReportCommand.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string_view>

#include <QtGlobal>

#include "base/Error.h"
#include "base/OptionParser.h"
#include "base/Paths.h"
#include "base/ProgramFiles.h"
#include "charts/ChartModel.h"
#include "charts/StretchFit.h"
#include "experiment/Experiment.h"
#include "run/Quantities.h"
#include "session/Analysis.h"
#include "session/MainFM.h"
#include "session/Reports.h"
#include "session/RunCharts.h"
#include "ui/MainWindow.h"

namespace vantrel {

namespace {

struct tReportOptions {
    std::string output;
    std::string run;
    std::string scenario;
    std::string config;
    std::string student;
    std::vector<tStretchRequest> fits;
    int equivalence = -1;
};

bool parseReportOptions(const std::vector<std::string>& args, tReportOptions& o,
                        std::string& error) {
    tOptionParser parser;
    for (auto [name, field] :
         {std::pair{"--report", &o.output}, std::pair{"--scenario", &o.scenario},
          std::pair{"--config", &o.config}}) {
        parser.Value({name}, [name, field](const std::string& value, std::string& why) {
            if (value.empty()) {
                why = std::string(name) + " needs a file name";
                return false;
            }
            *field = value;
            return true;
        });
    }
    parser.Value({"--student"}, [&o](const std::string& value, std::string&) {
        o.student = value;
        return true;
    });
    parser.Value({"--fit"}, [&o](const std::string& value, std::string& why) {
        tStretchRequest request;
        if (!parseStretchRequest(value, true, request, why)) {
            why = "--fit: " + why;
            return false;
        }
        o.fits.push_back(request);
        return true;
    });
    parser.Value({"--equivalence"}, [&o](const std::string& value, std::string& why) {
        const int volume = quantityOfCode(value);
        if (volume < qV1 || volume > qV3) {
            why = "--equivalence: '" + value + "' is not a dosed volume (use V1, V2 or V3)";
            return false;
        }
        o.equivalence = volume;
        return true;
    });
    parser.Positional([&o](const std::string& value, std::string& why) {
        if (!o.run.empty()) {
            why = "one run at a time: '" + o.run + "' and '" + value + "'";
            return false;
        }
        o.run = value;
        return true;
    });
    if (!parser.Parse(args, error)) {
        return false;
    }
    if (o.run.empty()) {
        error = "--report needs the run: an export (.csv) or a journal (.journal)";
        return false;
    }
    // The dependence chart shows one abscissa: the fits against a quantity
    // and the equivalence point must all be drawn on it.
    int abscissa = o.equivalence;
    for (const tStretchRequest& fit : o.fits) {
        if (fit.abscissa < 0) {
            continue;
        }
        if (abscissa >= 0 && fit.abscissa != abscissa) {
            error = "--fit and --equivalence against " +
                    std::string(kQuantityCodes[static_cast<std::size_t>(abscissa)]) + " and " +
                    std::string(kQuantityCodes[static_cast<std::size_t>(fit.abscissa)]) +
                    ": the dependence chart shows one abscissa";
            return false;
        }
        abscissa = fit.abscissa;
    }
    return true;
}

// The window, never shown: a question or a chooser would wait for nobody,
// so none is asked, and what would be shown as an error ends the report.
class tUnseenWindow : public TfmMainWindow {
public:
    using TfmMainWindow::TfmMainWindow;

    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    bool InputText(const std::string&, const std::string&, std::string&) override { return false; }
    bool ChooseOpenFile(const std::string&, std::string&) override { return false; }
    bool ChooseSaveFile(const std::string&, const std::string&, std::string&) override {
        return false;
    }
    void ShowWarning(const std::string& text, const std::string&) override { throw tError(text); }
    void ShowError(const std::string& text, const std::string&) override { throw tError(text); }
    void ShowInformation(const std::string&, const std::string&) override {}

protected:
    void ShowHandlerError(const std::string& message) override { throw tError(message); }
};

// The first volume the run dosed, -1 for none.
int dosedVolume(const tRunData& run) {
    for (int v = qV1; v <= qV3; ++v) {
        for (std::size_t p = 1; p < run.Count(); ++p) {
            if (run.Measured(v, p) != run.Measured(v, 0)) {
                return v;
            }
        }
    }
    return -1;
}

void writeReport(const tReportOptions& o, const tProgramFiles& files) {
    tUnseenWindow window(o.config.empty() ? files.config : o.config, files.languageFolders);
    TfmMain& controller = window.Controller();
    if (!o.scenario.empty()) {
        controller.OpenScenario(o.scenario);
    }
    tChartModel& charts = controller.Charts();
    loadRunFileIntoCharts(o.run, charts);
    // An export knows nothing of its scenario; a journal does, and keeps
    // what it knows.
    tRunInfo info = charts.Data().Info();
    if (!o.scenario.empty()) {
        if (info.experiment.empty()) {
            info.experiment = controller.Experiment().GetName();
        }
        if (info.scenario.empty()) {
            info.scenario = utf8FromPath(pathFromUtf8(o.scenario).filename());
        }
    }
    charts.SetRunInfo(info);
    // Nothing asked for a quantity on the abscissa: a titration's report
    // shows the pH against what was dosed, not against the window's default
    // (the temperature).
    const bool abscissaAsked =
        o.equivalence >= 0 || std::any_of(o.fits.begin(), o.fits.end(),
                                          [](const tStretchRequest& f) { return f.abscissa >= 0; });
    if (const int volume = dosedVolume(charts.Data()); !abscissaAsked && volume >= 0) {
        charts.SetAbscissa(volume);
    }
    // The report's statistics take the whole run: its last record is
    // inspected, as a click there would.
    const tRunData& run = charts.Data();
    if (run.Count() >= 2) {
        charts.InspectAt(run.Time(run.Count() - 1), false);
    }
    controller.Analysis().Apply(o.fits, o.equivalence);
    controller.Reports().WriteReport(o.output, o.student);
}

void tellFailure(const std::string& reason) {
    std::string line;
    for (char c : reason) {
        if (c == '\n') {
            line += ' ';
        } else if (c != '\r') {
            line += c;
        }
    }
    std::fprintf(stderr, "vantrel: %s\n", line.c_str());
}

}  // namespace

bool isReportCommand(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "--report" || arg.starts_with("--report=")) {
            return true;
        }
    }
    return false;
}

void quietQtMessages() {
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtCriticalMsg || type == QtFatalMsg) {
            std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        }
    });
}

int runReportCommand(const std::vector<std::string>& args, const tProgramFiles& files) {
    tReportOptions options;
    std::string error;
    if (!parseReportOptions(args, options, error)) {
        tellFailure(error);
        return 1;
    }
    try {
        writeReport(options, files);
    } catch (const std::exception& e) {
        tellFailure(e.what());
        return 1;
    }
    return 0;
}

}  // namespace vantrel
