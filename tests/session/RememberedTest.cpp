// What the window keeps for its user from one start to the next: the
// abscissa and where the file choosers were last, in the user's state
// folder and never in the configuration.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "base/Remembered.h"
#include "charts/ChartModel.h"
#include "run/Quantities.h"
#include "session/FileFolders.h"
#include "session/MainFM.h"
#include "session/SessionTestSupport.h"
#include "support/TempDir.h"
#include "support/TestView.h"

namespace vantrel::test {
namespace {

namespace fs = std::filesystem;

// The folder a chooser opened in, as the view was handed it.
fs::path openedIn(const tTestView& view) {
    return fs::path(view.chooserStarts.back()).parent_path();
}

TEST(Remembered, FileChoosersStartAmongTheUsersFilesThenWhereTheyWereLast) {
    tMemoryLog log;
    tTempDir dir;
    const std::string state = dir.file("state");
    const std::string documents = dir.file("Документы");
    const std::string examples = dir.file("examples");
    const std::string stick = dir.file("stick");
    const std::string lessons = dir.file("lessons");
    for (const std::string& folder : {state, documents, examples, stick, lessons}) {
        fs::create_directories(folder);
    }
    tTestView view;
    const auto start = [&](const std::string& stateFolder) {
        auto folders = std::make_unique<tFileFolders>(view);
        folders->SetPlaces({documents, examples, stateFolder});
        return folders;
    };
    const std::string filter = "Все файлы (*.*)|*.*";
    std::string name;

    auto folders = start(state);
    EXPECT_FALSE(folders->ChooseScenario(filter, name));
    EXPECT_EQ(openedIn(view), fs::path(examples)) << "the installed examples";
    name = "run.csv";  // a name offered is offered in the folder
    EXPECT_FALSE(folders->ChooseSaveFile("csv", filter, name));
    EXPECT_EQ(fs::path(view.chooserStarts.back()), fs::path(documents) / "run.csv");

    // A file saved on the stick; a scenario opened from the lessons.
    view.saveFileAnswers = {stick + "/run.csv"};
    name.clear();
    ASSERT_TRUE(folders->ChooseSaveFile("csv", filter, name));
    EXPECT_EQ(name, stick + "/run.csv");
    view.openFileAnswers = {lessons + "/titration.exp"};
    name.clear();
    ASSERT_TRUE(folders->ChooseScenario(filter, name));

    // The next start opens there, each kind where it was.
    folders = start(state);
    name.clear();
    folders->ChooseOpenFile(filter, name);
    EXPECT_EQ(openedIn(view), fs::path(stick));
    name.clear();
    folders->ChooseScenario(filter, name);
    EXPECT_EQ(openedIn(view), fs::path(lessons));

    // A chooser the caller points at its own folder (the runs) opens there
    // and leaves the memory alone.
    name = dir.file("runs") + "/";
    view.openFileAnswers = {dir.file("runs") + "/one.journal"};
    ASSERT_TRUE(folders->ChooseOpenFile(filter, name));
    name.clear();
    folders->ChooseOpenFile(filter, name);
    EXPECT_EQ(openedIn(view), fs::path(stick));

    // The stick taken out: back among the documents.
    fs::remove_all(stick);
    name.clear();
    folders->ChooseSaveFile("csv", filter, name);
    EXPECT_EQ(openedIn(view), fs::path(documents));

    // Without a state folder nothing is remembered.
    folders = start("");
    view.saveFileAnswers = {lessons + "/x.csv"};
    name.clear();
    ASSERT_TRUE(folders->ChooseSaveFile("csv", filter, name));
    name.clear();
    folders->ChooseSaveFile("csv", filter, name);
    EXPECT_EQ(openedIn(view), fs::path(documents));
}

TEST(Remembered, TheAbscissaComesBackAtTheNextStart) {
    tMemoryLog log;
    tTempDir dir;
    tTempConfig config;
    const std::string& configuration = config.Write("");
    const std::string written = readBytes(configuration);
    const std::string state = dir.file("state");
    fs::create_directories(state);
    tTestView view;
    const auto start = [&] {
        auto fm = std::make_unique<TfmMain>(view, configuration);
        fm->RememberForUser(state, dir.path(), "");
        return fm;
    };
    start()->rbAbscissClick(qV1);
    EXPECT_EQ(start()->Charts().Abscissa(), qV1);
    EXPECT_EQ(readBytes(configuration), written) << "not in the configuration";

    // What the program did not write leaves the temperature.
    for (const char* other : {"seven\n", "7\n", "-1\n", ""}) {
        SCOPED_TRACE(other);
        writeBytes(state + "/abscissa", other);
        EXPECT_EQ(start()->Charts().Abscissa(), qLT);
    }
}

}  // namespace
}  // namespace vantrel::test
