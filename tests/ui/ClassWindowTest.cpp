// The teacher's view fed by three recorder stations through a broker of the
// test's own: the cards follow the stations, a station that leaves greys,
// the overlay draws every run, the results table agrees with its own
// arithmetic done again here, the class workbook reads back, and the stop
// reaches every station's wire and every answer is listed.

#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QTableWidget>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <qcustomplot.h>

#include "base/Settings.h"
#include "class/ClassResults.h"
#include "class/TestBroker.h"
#include "cli/CliTestSupport.h"
#include "session/ClassLesson.h"
#include "sim/Simulator.h"
#include "support/CliProcess.h"
#include "ui/ClassCard.h"
#include "ui/ClassWindow.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;

const std::string kExamples = std::string(VANTREL_SOURCE_DIR) + "/examples/";

// Runs the window's event loop until `done` holds or `limit` passes.
template <class tDone>
bool waitFor(TfmClassWindow& window, tDone done, std::chrono::seconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        std::this_thread::sleep_for(20ms);
        window.Refresh();
    }
    return true;
}

TEST(ClassWindowTest, ThreeStationsOnOneScreenTheirResultsAndTheStop) {
    if (test::brokerProgram().empty()) {
        GTEST_SKIP() << "no broker installed (apt-get install mosquitto)";
    }
    test::tCliDir dir;
    test::tTestBroker broker;
    const std::string teacherConfig = dir.File("teacher.cfg");
    std::ofstream(teacherConfig) << "ClassBroker=" << broker.Address() << "\n";
    tSettings settings(teacherConfig, false);
    settings.Load();
    std::unique_ptr<TfmClassWindow> owner(new TfmClassWindow(
        std::make_unique<tClassLesson>(settings, "8B", dir.Program(), nullptr), nullptr));
    owner->setAttribute(Qt::WA_DeleteOnClose, false);
    TfmClassWindow* window = owner.get();
    ASSERT_TRUE(waitFor(
        *window, [&] { return window->Lesson().Teacher().Connected(); }, 10s));

    // Two groups titrate (fast), one only records and leaves early.
    std::vector<std::unique_ptr<sim::tSimulator>> sims;
    std::vector<std::unique_ptr<test::tCliProcess>> stations;
    for (int n = 1; n <= 3; ++n) {
        sim::tOptions options;
        options.timeScale = 10;
        sims.push_back(std::make_unique<sim::tSimulator>(options));
        sims.back()->Start();
        std::vector<std::string> args = {"--config",       dir.Config(),
                                         "--port",         sims.back()->PortPath(),
                                         "--class-broker", broker.Address(),
                                         "--class",        "8B",
                                         "--station",      "Стол " + std::to_string(n)};
        if (n < 3) {
            args.insert(args.end(),
                        {"--scenario", kExamples + "titration.exp", "--equivalence", "V1"});
        } else {
            args.insert(args.end(), {"--duration", "1"});
        }
        stations.push_back(
            std::make_unique<test::tCliProcess>(args, dir.File("s" + std::to_string(n) + ".txt")));
    }
    const auto messages = [&dir] {
        return test::readFile(dir.File("s1.txt")) + test::readFile(dir.File("s3.txt"));
    };
    ASSERT_TRUE(waitFor(
        *window, [&] { return window->Cards().size() == 3; }, 20s))
        << messages();
    const auto text = [&](int n) { return window->Cards()[n]->Text().toStdString(); };
    EXPECT_NE(text(0).find("Стол 1"), std::string::npos);
    EXPECT_NE(text(2).find("Стол 3"), std::string::npos);
    ASSERT_TRUE(waitFor(
        *window, [&] { return text(0).find("LT ") != std::string::npos; }, 10s));

    // Стол 3 ends its recording: its card greys, the others do not.
    ASSERT_TRUE(waitFor(
        *window, [&] { return window->Cards()[2]->Grey(); }, 20s))
        << text(2);
    EXPECT_FALSE(window->Cards()[0]->Grey()) << text(0);

    // The titrations end with their equivalence points in the results.
    ASSERT_TRUE(waitFor(
        *window,
        [&] {
            const tClassResults results = tClassResults::From(window->Lesson().Teacher().Roster());
            return results.rows.size() == 3 && results.summary[tClassResults::Volume].count == 2;
        },
        60s))
        << messages();
    for (auto& station : stations) {
        EXPECT_EQ(station->Wait(10s), 0) << messages();
    }
    window->Refresh();

    // The overlay: a curve per station, each with every record it sent.
    ASSERT_EQ(window->Overlay()->plottableCount(), 3);
    const tClassRoster& roster = window->Lesson().Teacher().Roster();
    for (int p = 0; p < 3; ++p) {
        auto* curve = qobject_cast<QCPCurve*>(window->Overlay()->plottable(p));
        ASSERT_NE(curve, nullptr);
        const tStationCard* card = roster.Find(curve->name().toStdString());
        ASSERT_NE(card, nullptr);
        EXPECT_EQ(static_cast<std::size_t>(curve->data()->size()), card->records.size());
        EXPECT_EQ(static_cast<long>(card->records.size()), card->result->records) << card->name;
    }

    // The table's mean and deviations, computed again from the rows.
    const tClassResults results = tClassResults::From(roster);
    for (const int column : {tClassResults::Volume, tClassResults::Records}) {
        double sum = 0;
        int n = 0;
        for (const auto& row : results.rows) {
            if (row.values[column]) {
                sum += *row.values[column];
                ++n;
            }
        }
        const double mean = sum / n;
        double squares = 0;
        for (const auto& row : results.rows) {
            if (row.values[column]) {
                squares += std::pow(*row.values[column] - mean, 2);
            }
        }
        EXPECT_NEAR(results.summary[column].mean, mean, 1e-9);
        EXPECT_NEAR(results.summary[column].sd, std::sqrt(squares / (n - 1)), 1e-9);
        for (const auto& row : results.rows) {
            if (row.values[column]) {
                EXPECT_NEAR(*row.deviations[column], *row.values[column] - mean, 1e-9);
            }
        }
    }
    EXPECT_EQ(window->ResultsTable()->rowCount(), 5);  // three groups, the mean, the deviation
    const std::string copied = window->ResultsText().toStdString();
    EXPECT_EQ(std::count(copied.begin(), copied.end(), '\n'), 6) << copied;

    // The class workbook, read back by an independent reader.
    const std::string book = dir.File("класс.xlsx");
    window->ExportWorkbook(QString::fromStdString(book));
    const std::string script = dir.File("read.py");
    std::ofstream(script) << "import sys, openpyxl\n"
                             "wb = openpyxl.load_workbook(sys.argv[1])\n"
                             "for ws in wb.worksheets:\n"
                             "    print(ws.title, ws.max_row, ws.cell(2, 6).value)\n";
    const std::string listing = dir.File("listing.txt");
    ASSERT_EQ(std::system(
                  ("/usr/bin/python3 '" + script + "' '" + book + "' > '" + listing + "'").c_str()),
              0);
    std::string expected =
        "Итоги 6 " + std::to_string(*results.rows[0].values[tClassResults::Volume]).substr(0, 4);
    const std::string read = test::readFile(listing);
    EXPECT_EQ(read.substr(0, read.find('\n')).substr(0, expected.size()), expected) << read;
    for (const tStationCard& card : roster.Cards()) {
        EXPECT_NE(read.find(card.name + " " + std::to_string(card.records.size() + 1)),
                  std::string::npos)
            << read;
    }

    // The stop: two stations take it on their wires (a watch may be on),
    // the third is gone and does not answer.
    std::vector<std::unique_ptr<test::tCliProcess>> again;
    for (int n = 1; n <= 2; ++n) {
        again.push_back(std::make_unique<test::tCliProcess>(
            std::vector<std::string>{"--config", dir.Config(), "--port", sims[n - 1]->PortPath(),
                                     "--class-broker", broker.Address(), "--class", "8B",
                                     "--station", "Стол " + std::to_string(n), "--scenario",
                                     kExamples + "thermostat.exp"},
            dir.File("again" + std::to_string(n) + ".txt")));
    }
    ASSERT_TRUE(waitFor(
        *window,
        [&] {
            return roster.Find("Стол 1")->Measuring() && roster.Find("Стол 2")->Measuring() &&
                   roster.Find("Стол 1")->status.outputs[0] != 0;
        },
        20s));
    window->StopAll();
    ASSERT_TRUE(waitFor(
        *window,
        [&] {
            return roster.Find("Стол 1")->stop == tStationCard::tStop::Done &&
                   roster.Find("Стол 2")->stop == tStationCard::tStop::Done &&
                   roster.Find("Стол 3")->stop == tStationCard::tStop::NoAnswer;
        },
        15s));
    QStringList answers;
    for (int i = 0; i < window->Answers()->count(); ++i) {
        answers << window->Answers()->item(i)->text();
    }
    EXPECT_EQ(answers.size(), 3) << answers.join('|').toStdString();
    for (int n = 0; n < 2; ++n) {
        const std::vector<std::string> wire = sims[n]->ReceivedLines();
        std::string lastHeater;
        for (const std::string& line : wire) {
            if (line.rfind("H0", 0) == 0) {
                lastHeater = line;
            }
        }
        EXPECT_EQ(lastHeater.substr(0, 4), "H0,0") << n;
        EXPECT_EQ(again[n]->Wait(10s), 0) << test::readFile(dir.File("again1.txt"));
    }

    // The lesson's end leaves no station behind on the broker.
    window->EndLesson();
    QApplication::processEvents();
    auto check = std::make_unique<tClassLesson>(settings, "8B", dir.Program(), nullptr);
    const auto until = std::chrono::steady_clock::now() + 3s;
    while (std::chrono::steady_clock::now() < until) {
        check->Tick(std::chrono::steady_clock::now());
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(check->Teacher().Connected());
    EXPECT_TRUE(check->Teacher().Roster().Cards().empty());
}

}  // namespace
}  // namespace vantrel
