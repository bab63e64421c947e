// The language of a run as the controller applies it, and the menu that
// stores the next one.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "base/Settings.h"
#include "base/Texts.h"
#include "charts/ChartModel.h"
#include "charts/Export.h"
#include "run/Quantities.h"
#include "session/MainFM.h"
#include "session/SessionTestSupport.h"
#include "support/TempDir.h"
#include "support/TestView.h"

namespace vantrel::test {
namespace {

const std::string kLanguages = std::string(VANTREL_SOURCE_DIR) + "/languages/";

class LanguageSessionTest : public ::testing::Test {
protected:
    ~LanguageSessionTest() override {
        fm.reset();
        clearConstantTranslations();
        resetQuantityNames();
        setMessageLanguage(kLangRussian);
    }
    // A controller whose configuration names `languageId`; `withKazakh`
    // puts the shipped Kazakh file into its language folder.
    void Start(int languageId, bool withKazakh, const std::string& kazakhText = {}) {
        const std::string folder = dir.file("program" + std::to_string(++starts));
        std::filesystem::create_directories(folder);
        if (withKazakh) {
            if (kazakhText.empty()) {
                std::filesystem::copy_file(kLanguages + "kk.lng", folder + "/kk.lng");
            } else {
                writeBytes(folder + "/kk.lng", kazakhText);
            }
        }
        config.Write("", "LanguageID=" + std::to_string(languageId) + "\n");
        fm = std::make_unique<TfmMain>(view, config.Path());
        fm->FormCreate({folder});
    }

    tMemoryLog log;
    tTempDir dir;
    tTempConfig config;
    tTestView view;
    std::unique_ptr<TfmMain> fm;
    int starts = 0;
};

TEST_F(LanguageSessionTest, KazakhWithItsFileAndRussianWithout) {
    Start(1087, true);
    ASSERT_EQ(view.languageMenu.size(), 2u);
    EXPECT_EQ(view.languageChecked, 1);
    EXPECT_EQ(view.appliedLanguage, 1087);
    EXPECT_EQ(view.scenarioLabel, "<СЦЕНАРИЙ ЖҮКТЕЛМЕГЕН>");
    EXPECT_EQ(view.status[kPanelConnection], "<ЖОҚ>");
    EXPECT_EQ(messageText(5003), "Сіз бағдарламадан шынымен шыққыңыз келе ме?");
    EXPECT_EQ(quantityNames[2], "Электр өткізгіштік");
    // The frames are rebuilt with the new names (no leading blanks) and
    // keep their identifiers.
    EXPECT_EQ(view.frames[0].name, "Қыздырғыш");
    EXPECT_EQ(view.frames[1].id, "M0");
    EXPECT_EQ(view.frames[1].stateText, "Қос/Өшір");
    EXPECT_EQ(fm->FindAction("acFileExit")->Caption(), "&Шығу...");
    EXPECT_EQ(fm->FindAction("acFileExit")->Shortcuts(),
              (std::vector<std::string>{"Alt+X", "Alt+Ш"}));
    EXPECT_EQ(fm->Charts().ValueRows()[2].key, "Электр өткізгіштік, мСм/см");
    // Every letter of a Kazakh name reaches the export (UTF-8 then, as
    // Windows-1251 has no "ө").
    EXPECT_NE(EncodeExportText(ExportText(fm->Charts().Data(), fm->Charts().Selection()))
                  .find("Электр өткізгіштік"),
              std::string::npos);

    fm.reset();
    clearConstantTranslations();
    resetQuantityNames();
    setMessageLanguage(kLangRussian);
    Start(1087, false);
    EXPECT_EQ(view.languageMenu.size(), 1u);
    EXPECT_EQ(view.languageChecked, 0);
    EXPECT_EQ(view.scenarioLabel, "<СЦЕНАРИЙ НЕ ЗАГРУЖЕН>");
    EXPECT_EQ(messageText(5003), "Вы действительно хотите выйти из программы?");
    EXPECT_EQ(fm->Settings().GetSettingByName("LanguageID"), "1087") << "kept for when it returns";
}

TEST_F(LanguageSessionTest, AConstantTheFileLacksKeepsItsBuiltInText) {
    Start(1087, true, "[Header]\nLANGID=1087\n[Constants]\nDK_STATE_OFF=Өшір\n");
    EXPECT_EQ(constantText("DK_STATE_OFF"), "Өшір");
    EXPECT_EQ(constantText("DK_STATE_ON"), "Вкл");
    EXPECT_EQ(view.frames[0].name, "Нагреватель") << "no name in the file: the built-in one";
}

TEST_F(LanguageSessionTest, ChoosingALanguageStoresItAtOnceOnlyWhenItChanges) {
    Start(1049, true);
    const auto written = std::filesystem::last_write_time(config.Path());
    fm->miChangeLanguage(0);  // the checked one
    EXPECT_TRUE(view.informations.empty());
    EXPECT_EQ(std::filesystem::last_write_time(config.Path()), written);

    fm->miChangeLanguage(1);
    EXPECT_EQ(view.languageChecked, 1);
    ASSERT_EQ(view.informations.size(), 1u);
    EXPECT_EQ(view.informations[0].text, "Restart application to apply changes.");
    EXPECT_EQ(view.informations[0].caption, messageText(20001));
    tSettings stored(false);
    stored.Load(config.Path());
    EXPECT_EQ(stored.GetSettingByName("LanguageID"), "1087");
    EXPECT_EQ(constantText("DK_NO_SCENARIO"), "<СЦЕНАРИЙ НЕ ЗАГРУЖЕН>")
        << "nothing is translated before the next start";
}

}  // namespace
}  // namespace vantrel::test
