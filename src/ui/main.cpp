#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QMessageBox>
#include <QStandardPaths>
#include <QString>
#include <QWidget>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "base/CommandLine.h"
#include "base/Error.h"
#include "base/InstanceLock.h"
#include "base/Locale.h"
#include "base/LogFile.h"
#include "base/OptionParser.h"
#include "base/ProgramFiles.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "session/MainFM.h"
#include "ui/AboutFM.h"
#ifndef _WIN32
#include "ui/InstanceGuard.h"
#endif
#include "ui/ClassScreenshots.h"
#include "ui/ClassWindow.h"
#include "ui/MainWindow.h"
#include "ui/ReportCommand.h"
#include "ui/ScreenshotScript.h"

#include "sim/Simulator.h"

namespace {

void reportStartError(const std::string& message) {
    QMessageBox::critical(nullptr, QString::fromStdString(vantrel::messageText(20000)),
                          QString::fromStdString(message), QMessageBox::Ok);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vantrel;
    setCommandLine(argc, argv);
    captureLocaleFacts();

    const bool report = isReportCommand(argc, argv);
    if (report) {
        quietQtMessages();
    }
#ifndef _WIN32
    // The report shows no window: it needs no display either.
    if (report && std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
#endif
    QApplication app(argc, argv);
    // Qt adopts the user's locale for the C library on Linux; numbers
    // written by libraries (the workbook's cells) must keep the ".". The
    // program's own separator was captured above.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    QFont font = QApplication::font();
    font.setFamily(QStringLiteral("Tahoma"));
    QApplication::setFont(font);
    QApplication::setWindowIcon(TfmAbout::ApplicationIcon());

    std::vector<std::string> args;
    for (const QString& arg : QApplication::arguments().mid(1)) {
        args.push_back(arg.toStdString());
    }
    if (report) {
        return runReportCommand(
            args, locateProgramFiles(QApplication::applicationFilePath().toStdString()));
    }

    bool simulate = false;
    std::string screenshotDir;
    std::string scenario;
    std::string reference;
    std::string configFile;
    std::string className;
    std::string classShots;
    int screenshotSeconds = 20;
    tOptionParser options;
    // Qt has taken its own options out already; anything else unknown is
    // passed over rather than keeping the window from opening.
    options.SkipUnknown();
    options.Flag({"--simulate"}, [&] { simulate = true; });
    options.Value({"--config"}, [&](const std::string& value, std::string&) {
        configFile = value;
        return true;
    });
    options.Value({"--class"}, [&](const std::string& value, std::string&) {
        className = value;
        return true;
    });
    options.Value({"--screenshot-class"}, [&](const std::string& value, std::string&) {
        classShots = value;
        return true;
    });
    options.Value({"--scenario"}, [&](const std::string& value, std::string&) {
        scenario = value;
        return true;
    });
    options.Value({"--reference"}, [&](const std::string& value, std::string&) {
        reference = value;
        return true;
    });
    options.Value({"--screenshot-script"}, [&](const std::string& value, std::string&) {
        screenshotDir = value;
        simulate = true;
        return true;
    });
    options.Value({"--screenshot-seconds"}, [&](const std::string& value, std::string& why) {
        if (!tOptionParser::Number(value, screenshotSeconds) || screenshotSeconds < 1) {
            why = "--screenshot-seconds: '" + value + "' is not a number of seconds above 0";
            return false;
        }
        return true;
    });
    if (std::string error; !options.Parse(args, error)) {
        std::fprintf(stderr, "vantrel: %s\n", error.c_str());
        return 1;
    }

    // One copy per user: a later one asks the running copy to come forward
    // and ends before it writes any log.
    std::unique_ptr<tInstanceLock> instance;
    try {
        instance = std::make_unique<tInstanceLock>();
    } catch (const std::exception& error) {
        reportStartError(error.what());
        return 0;
    }
    if (!instance->TryAcquire()) {
#ifdef _WIN32
        // The running copy's window has the class Qt gives every top-level
        // window of this program: a window never shown tells which.
        try {
            QWidget probe;
            tInstanceLock::BringForward(
                "Vantrel", tInstanceLock::WindowClassOf(reinterpret_cast<void*>(probe.winId())));
        } catch (const std::exception& error) {
            reportStartError(error.what());
        }
#else
        tInstanceServer::AskRunningCopy();
#endif
        return 0;
    }

    // Configuration and log beside the program, or in the user's folder
    // when the program is installed read-only.
    const tProgramFiles files =
        locateProgramFiles(QApplication::applicationFilePath().toStdString());

    std::unique_ptr<tLogFile> log;
    try {
        log = std::make_unique<tLogFile>(files.log);
    } catch (const std::exception& error) {
        reportStartError(error.what());
        return 0;
    }
    setLogFile(log.get());
    runLogged(
        [&] {
            std::unique_ptr<sim::tSimulator> simulator;
            TfmMain::tStart start;
            if (simulate) {
                simulator = sim::tSimulator::StartBuiltIn();
                start.ports = {simulator->PortPath()};
            }
            TfmMainWindow window(configFile.empty() ? files.config : configFile,
                                 files.languageFolders);
            // A lost link is tried again in the background; the run is the user's.
            window.Controller().Prepare(start);
            // The file choosers open among the user's documents, never in the
            // program's own (read-only) folder.
            QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
            if (!QFileInfo(documents).isDir()) {
                documents = QDir::homePath();
            }
            window.Controller().RememberForUser(userStateFolder(), documents.toStdString(),
                                                files.examplesFolder);
            window.show();
#ifndef _WIN32
            // On Windows a later copy finds this window by its title instead.
            tInstanceServer instances;
            QObject::connect(&instances, &tInstanceServer::comeForwardRequested, &window,
                             [&window] {
                                 logFile->WriteLine(
                                     "INSTANCE: another copy was started; this one comes forward");
                                 bringForward(window);
                             });
#endif
            if (scenario.empty() && screenshotDir.empty()) {
                window.Run([&] { window.Controller().OfferRecovery(); });
            }
            if (!scenario.empty()) {
                // As if opened from the menu: a file that fails says why, and
                // the window goes on without a scenario.
                window.Run([&] { window.Controller().OpenScenario(scenario); });
            }
            if (!reference.empty()) {
                // As Файл → Открыть опорный опыт... does.
                window.Run([&] { window.Controller().Analysis().LoadReference(reference); });
            }
            if (!className.empty()) {
                // As Класс → Открыть класс... does.
                if (TfmClassWindow* view = window.OpenClass(className);
                    view != nullptr && !classShots.empty()) {
                    (new tClassScreenshots(*view, QString::fromStdString(classShots),
                                           screenshotSeconds))
                        ->Start();
                }
            }
            if (!screenshotDir.empty()) {
                // The script answers the file dialogs itself: Qt's own, not the system's.
                QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
                auto* script = new tScreenshotScript(window, QString::fromStdString(screenshotDir),
                                                     screenshotSeconds);
                script->Start();
            }
            QApplication::exec();
        },
        reportStartError);
    setLogFile(nullptr);
    return 0;
}
