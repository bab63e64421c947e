#include "base/Texts.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

class TextsTest : public ::testing::Test {
protected:
    void TearDown() override {
        setMessageLanguage(kLangRussian);
        clearConstantTranslations();
    }
};

// Constants are found by their exact name; an unknown one is empty text.
TEST_F(TextsTest, ConstantsAreFoundByTheirExactName) {
    EXPECT_EQ(constantText("DK_SENS_1"), "pH");
    EXPECT_EQ(constantText("dk_sens_1"), "");
    EXPECT_EQ(constantText("DK_UNKNOWN"), "");
}

TEST_F(TextsTest, TranslationsOverrideConstantsUntilCleared) {
    setConstantTranslation("DK_STATE_ON", "Қосу");
    EXPECT_EQ(constantText("DK_STATE_ON"), "Қосу");
    EXPECT_EQ(constantText("DK_STATE_OFF"), "Выкл");
    clearConstantTranslations();
    EXPECT_EQ(constantText("DK_STATE_ON"), "Вкл");
}

TEST_F(TextsTest, MessagesFollowTheMessageLanguage) {
    EXPECT_EQ(messageLanguage(), kLangRussian);
    EXPECT_EQ(formatMessage(1004, {"C:\\vantrel.cfg"}),
              "Невозможно прочитать настройки из 'C:\\vantrel.cfg'.\r\nПричина: Файл не найден.");
    setMessageLanguage(kLangKazakh);
    EXPECT_EQ(formatMessage(1004, {"a.cfg"}),
              "...ден баптауларды оқу мүмкін емес 'a.cfg'.\r\nСебебі: Файл табылмады.");
    EXPECT_EQ(messageText(1007), "Құрылғыны ашу мүмкін емес '%s'.\r\n Жүйе хабарлайды: %s");
    EXPECT_EQ(messageText(20001), "Назар аударыңыз");
    setMessageLanguage(1033);  // no English table: Russian
    EXPECT_EQ(messageText(20001), "Внимание");
    EXPECT_EQ(messageText(1013, kLangRussian),
              "Значение должно лежать в интервале from %s to %s!.");
    EXPECT_EQ(messageText(1013, kLangKazakh), "Мән from %s to %s интервалында болуы тиіс!");
    EXPECT_EQ(messageText(4242), "");
}

TEST_F(TextsTest, FormatReplacesPlaceholdersInOrder) {
    EXPECT_EQ(formatText("from %s to %s!", {"1", "10"}), "from 1 to 10!");
    EXPECT_EQ(formatText("%s%s", {"%s", "x"}), "%sx");  // arguments are not re-scanned
    EXPECT_EQ(formatText("a %s b %s", {"1"}), "a 1 b %s");
    EXPECT_EQ(formatText("100%", {"x"}), "100%");
}

// A count takes the form its language gives it: Russian one, few and many
// (by the last two digits), English one and other, Kazakh one form.
TEST_F(TextsTest, CountTextTakesTheFormOfTheCount) {
    const std::string russian = constantText("DK_EXPORT_READINGS");
    const std::string english = "%s reading written|%s readings written";
    struct tCase {
        unsigned long long count;
        const char* russian;
        const char* english;
    };
    for (const tCase& c : {tCase{1, "Записано 1 показание", "1 reading written"},
                           tCase{3, "Записано 3 показания", "3 readings written"},
                           tCase{5, "Записано 5 показаний", "5 readings written"},
                           tCase{0, "Записано 0 показаний", "0 readings written"},
                           tCase{11, "Записано 11 показаний", "11 readings written"},
                           tCase{14, "Записано 14 показаний", "14 readings written"},
                           tCase{22, "Записано 22 показания", "22 readings written"},
                           tCase{321, "Записано 321 показание", "321 readings written"},
                           tCase{112, "Записано 112 показаний", "112 readings written"}}) {
        EXPECT_EQ(countText(russian, c.count), c.russian);
        EXPECT_EQ(countText(english, c.count), c.english);
    }
    EXPECT_EQ(countText("%s көрсеткіш жазылды", 21), "21 көрсеткіш жазылды");
}

}  // namespace
}  // namespace vantrel
