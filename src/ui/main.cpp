#include <QApplication>
#include <QFont>
#include <QMessageBox>
#include <QString>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

#include "base/CommandLine.h"
#include "base/Error.h"
#include "base/Locale.h"
#include "base/LogFile.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "session/MainFM.h"
#include "ui/AboutFM.h"
#include "ui/MainWindow.h"
#include "ui/ScreenshotScript.h"

#ifdef VANTREL_HAVE_SIM
#include "sim/Simulator.h"
#endif

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

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    QFont font = QApplication::font();
    font.setFamily(QStringLiteral("Tahoma"));
    QApplication::setFont(font);
    QApplication::setWindowIcon(TfmAbout::ApplicationIcon());

    bool simulate = false;
    QString screenshotDir;
    int screenshotSeconds = 20;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--simulate")) {
            simulate = true;
        } else if (args[i] == QLatin1String("--screenshot-script") && i + 1 < args.size()) {
            screenshotDir = args[++i];
            simulate = true;
        } else if (args[i] == QLatin1String("--screenshot-seconds") && i + 1 < args.size()) {
            screenshotSeconds = std::max(1, args[++i].toInt());
        }
    }

    // Configuration and log sit beside the program, named after it.
    std::filesystem::path base = QApplication::applicationFilePath().toStdString();
    base.replace_extension();

    std::unique_ptr<tLogFile> log;
    try {
        log = std::make_unique<tLogFile>(base.string() + ".log");
    } catch (const std::exception& error) {
        reportStartError(error.what());
        return 0;
    }
    setLogFile(log.get());
    logFile->WriteLine(messageText(5000));

    try {
#ifdef VANTREL_HAVE_SIM
        std::unique_ptr<sim::tSimulator> simulator;
        if (simulate) {
            simulator = std::make_unique<sim::tSimulator>();
            simulator->Start();
        }
#endif
        TfmMainWindow window(base.string() + ".cfg");
#ifdef VANTREL_HAVE_SIM
        if (simulator != nullptr) {
            // Only the simulator's port is tried; the file is not changed.
            window.Controller().Settings().SetSettingByName("Ports", simulator->SlavePath());
        }
#endif
        window.show();
        if (!screenshotDir.isEmpty()) {
            auto* script = new tScreenshotScript(window, screenshotDir, screenshotSeconds);
            script->Start();
        }
        QApplication::exec();
    } catch (const tError& error) {
        logFile->WriteLine(std::string(error.what()) + "\r\n");
        reportStartError(error.what());
    } catch (const std::exception& error) {
        logFile->WriteLine(std::string(error.what()) + "\r\n");
        reportStartError("Non-VCL Exception");
    }

    logFile->WriteLine(messageText(5001) + "\r\n");
    setLogFile(nullptr);
    return 0;
}
