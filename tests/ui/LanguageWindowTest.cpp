// The real window in another language: its widgets, the toolkit's own
// dialog texts, and the about box.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>

#include "base/Texts.h"
#include "charts/ChartModel.h"
#include "lang/LanguageFile.h"
#include "run/Quantities.h"
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

// A classroom projector is often 1024 by 700 pixels. Maximised there the
// window shows all of itself in every language: the actuator panel, the
// value list with its numbers whole (also in a font much wider than the
// usual one, as a system's fallback font may be), the status bar with its
// clock; and the report's question shows its title whole.
class WindowFitTest : public LanguageWindowTest,
                      public ::testing::WithParamInterface<std::pair<int, const char*>> {
protected:
    ~WindowFitTest() override {
        window.reset();
        QApplication::setFont(usual);
    }
    QFont usual = QApplication::font();
};

TEST_P(WindowFitTest, FitsA1024PixelScreenMaximised) {
    const auto [languageId, family] = GetParam();
    if (*family != '\0') {
        QFont wide(QString::fromUtf8(family));
        wide.setPointSize(usual.pointSize() + 1);
        QApplication::setFont(wide);
    }
    Open(languageId);
    // Below a maximised window's title bar.
    constexpr int kWidth = 1024;
    constexpr int kHeight = 670;
    EXPECT_LE(window->minimumSizeHint().width(), kWidth);
    EXPECT_LE(window->minimumSizeHint().height(), kHeight);
    window->resize(kWidth, kHeight);
    window->SetActuatorPanelVisible(true);
    window->show();
    // Readings as wide as they come.
    tChartModel& model = window->Controller().Charts();
    model.EnterLiveMode();
    model.AddReadingSet(86399.8f, {-39.99f, 13.99f, 249.99f, -1.99f, -199.9999f, 123.4567f, 0.0f});
    model.EndBatch(86399.8f);
    QApplication::processEvents();
    ASSERT_EQ(window->size(), QSize(kWidth, kHeight));

    const QRect inside = window->rect();
    for (const char* name :
         {"pnActuators", "frActuator4", "vleData", "chSeries", "sbPanel0", "sbPanel3", "chAll"}) {
        auto* part = Child<QWidget>(name);
        ASSERT_NE(part, nullptr);
        EXPECT_TRUE(part->isVisible()) << name;
        EXPECT_TRUE(inside.contains(QRect(part->mapTo(window.get(), QPoint(0, 0)), part->size())))
            << name << " leaves the window";
    }
    auto* list = Child<QTableWidget>("vleData");
    const QFontMetrics metrics(list->font());
    const int right = list->columnViewportPosition(1) + list->columnWidth(1);
    EXPECT_LE(right, list->viewport()->width()) << "values behind the edge";
    const int last = list->rowCount() - 1;
    EXPECT_LE(list->rowViewportPosition(last) + list->rowHeight(last), list->viewport()->height())
        << "rows behind the edge";
    for (int r = 0; r < list->rowCount(); ++r) {
        const QString value = list->item(r, 1)->text();
        EXPECT_LE(metrics.horizontalAdvance(value) + 6, list->columnWidth(1))
            << value.toStdString() << " is cut";
    }

    int width = 0;
    QString title;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
            width = dialog->width();
            title = dialog->windowTitle();
            dialog->reject();
        }
    });
    std::string typed;
    window->InputText(constantText("DK_REPORT_TITLE"), constantText("DK_REPORT_ASK_STUDENT"),
                      typed);
    QFont bold = window->font();
    bold.setBold(true);
    // The title bar's icon and buttons beside it.
    EXPECT_GE(width, QFontMetrics(bold).horizontalAdvance(title) + 90) << title.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Languages, WindowFitTest,
                         ::testing::Values(std::pair{1049, ""}, std::pair{1087, ""},
                                           std::pair{1033, ""},
                                           std::pair{1087, "DejaVu Sans Mono"}));

}  // namespace
}  // namespace vantrel
