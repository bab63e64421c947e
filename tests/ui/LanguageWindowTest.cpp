// The real window in another language: its widgets, the toolkit's own
// dialog texts, and the about box.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "base/Texts.h"
#include "charts/Quantities.h"
#include "lang/LanguageFile.h"
#include "session/MainFM.h"
#include "support/CaptureLog.h"
#include "support/TempDir.h"
#include "ui/AboutFM.h"
#include "ui/MainWindow.h"

namespace vantrel {
namespace {

const std::string kLanguages = std::string(VANTREL_SOURCE_DIR) + "/languages/";

class LanguageWindowTest : public ::testing::Test {
protected:
    ~LanguageWindowTest() override {
        window.reset();
        clearConstantTranslations();
        resetQuantityNames();
        setMessageLanguage(kLangRussian);
    }
    void Open(int languageId) {
        std::filesystem::copy_file(kLanguages + "kk.lng", dir.file("kk.lng"));
        std::filesystem::copy_file(kLanguages + "en.lng", dir.file("en.lng"));
        std::ofstream(dir.file("vantrel.cfg")) << "LanguageID=" << languageId << "\n";
        window = std::make_unique<TfmMainWindow>(dir.file("vantrel.cfg"),
                                                 std::vector<std::string>{dir.path()});
    }
    // The buttons of the real exit question, read while it is open.
    QStringList ExitQuestionButtons() {
        QStringList texts;
        QTimer::singleShot(0, [&texts] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                return;
            }
            for (QAbstractButton* button : box->buttons()) {
                texts << button->text();
            }
            box->button(QMessageBox::No)->click();
        });
        EXPECT_FALSE(window->AskYesNo(messageText(5003), messageText(20003)));
        texts.sort();
        return texts;
    }
    template <class T>
    T* Child(const char* name) const {
        T* child = window->findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    test::tCaptureLog log;
    test::tTempDir dir;
    std::unique_ptr<TfmMainWindow> window;
};

TEST_F(LanguageWindowTest, KazakhRewritesEveryWindowAndTheToolkitsButtons) {
    Open(1087);
    for (const std::string& line : log.Lines()) {
        EXPECT_EQ(line.find("LANGUAGE:"), std::string::npos) << "a text found nothing: " << line;
    }
    EXPECT_EQ(Child<QMenu>("miView")->title(), QString::fromUtf8("&Көрініс"));
    EXPECT_EQ(Child<QTabWidget>("pcChart")->tabText(0), QString::fromUtf8("Көрсеткіштер"));
    EXPECT_EQ(Child<QTableWidget>("vleData")->horizontalHeaderItem(1)->text(),
              QString::fromUtf8("Мәні"));
    EXPECT_EQ(Child<QAction>("acDeviceConnect")->text(), QString::fromUtf8("Қ&осылу..."));
    EXPECT_EQ(Child<QAction>("acDeviceConnect")->statusTip(),
              QString::fromUtf8("Станцияны тауып, оған қосылу немесе одан ажырау"));
    const TfmMain& fm = window->Controller();
    EXPECT_EQ(fm.Languages().Entries()[std::size_t(fm.LanguageIndex())].id, 1087);
    const auto item = "miFileLanguage" + std::to_string(fm.LanguageIndex());
    EXPECT_TRUE(Child<QAction>(item.c_str())->isChecked());
    EXPECT_EQ(ExitQuestionButtons(),
              (QStringList{QString::fromUtf8("&Жоқ"), QString::fromUtf8("&Иә")}));

    const tLanguageFile kazakh = tLanguageFile::FromFile(dir.file("kk.lng"));
    TfmAbout about(&kazakh, window.get());
    EXPECT_EQ(about.windowTitle(), QString::fromUtf8("Бағдарлама туралы..."));
    EXPECT_EQ(about.findChild<QLabel*>("lbVersion")->text(),
              QString::fromUtf8("Нұсқа: ") + VANTREL_VERSION)
        << "the version record, not the file's text";
}

TEST_F(LanguageWindowTest, RussianDialogsSpeakRussianToo) {
    Open(1049);
    EXPECT_EQ(Child<QMenu>("miView")->title(), QString::fromUtf8("&Вид"));
    EXPECT_TRUE(Child<QAction>("miFileLanguage0")->isChecked());
    EXPECT_EQ(ExitQuestionButtons(),
              (QStringList{QString::fromUtf8("&Да"), QString::fromUtf8("&Нет")}));
}

// A language file of a language the program does not know by name is
// listed under the name Qt gives it, in the language itself; a number that
// names no language stays a number.
TEST_F(LanguageWindowTest, ALanguageOutsideTheProgramsTableIsListedByItsOwnName) {
    std::ofstream(dir.file("es.lng")) << "[Header]\nLANGID=3082\n";
    std::ofstream(dir.file("xx.lng")) << "[Header]\nLANGID=4711\n";
    Open(1049);
    QStringList names;
    for (QAction* action : Child<QMenu>("miFileLanguage")->actions()) {
        names << action->text();
    }
    EXPECT_EQ(names.filter(QRegularExpression(QStringLiteral("^Español"))).size(), 1)
        << names.join(", ").toStdString();
    EXPECT_TRUE(names.contains(QStringLiteral("4711"))) << names.join(", ").toStdString();
}

}  // namespace
}  // namespace vantrel
