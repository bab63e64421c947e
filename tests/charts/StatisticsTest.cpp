#include "charts/Statistics.h"

#include <gtest/gtest.h>

#include "base/Locale.h"
#include "charts/ChartTestSupport.h"
#include "run/Quantities.h"

namespace vantrel::test {
namespace {

// A heating curve: 20 °C rising by 0.5 °C per second, a point every second,
// V1 dosed at 0.1 ml per second.
class StatisticsTest : public ::testing::Test {
protected:
    void SetUp() override {
        model.EnterLiveMode();
        for (int k = 0; k <= 60; ++k) {
            model.AddReadingSet(static_cast<float>(k), readings(20.0f + 0.5f * k, 0.1f * k));
        }
        model.EnterAnalysisMode();
    }
    ~StatisticsTest() override { setLocaleFacts(tLocaleFacts{}); }

    const tQuantityStatistics* Find(const tStretchStatistics& s, int quantity) {
        for (const auto& q : s.quantities) {
            if (q.quantity == quantity) {
                return &q;
            }
        }
        return nullptr;
    }

    tChartModel model;
};

TEST_F(StatisticsTest, FromTheOriginToTheInspectedPointInEitherOrder) {
    EXPECT_TRUE(stretchStatistics(model.Data(), model.Selection()).quantities.empty())
        << "nothing inspected yet";

    struct tCase {
        double origin;  // -1: none
        double cursor;
        double from, to, minimum, maximum, mean;
    };
    for (const tCase& c : {tCase{-1, 40, 0, 40, 20, 40, 30},  // from the run's start
                           tCase{10, 30, 10, 30, 25, 35, 30},
                           tCase{50, 20, 20, 50, 30, 45, 37.5}}) {  // the cursor left of it
        SCOPED_TRACE(c.cursor);
        if (c.origin >= 0) {
            model.InspectAt(c.origin, true);
        }
        model.InspectAt(c.cursor, false);
        const tStretchStatistics s = stretchStatistics(model.Data(), model.Selection());
        EXPECT_DOUBLE_EQ(s.from, c.from);
        EXPECT_DOUBLE_EQ(s.to, c.to);
        EXPECT_EQ(s.points, static_cast<std::size_t>(c.to - c.from + 1));
        const tQuantityStatistics* lt = Find(s, qLT);
        ASSERT_NE(lt, nullptr);
        EXPECT_NEAR(lt->minimum, c.minimum, 0.01);
        EXPECT_NEAR(lt->maximum, c.maximum, 0.01);
        EXPECT_NEAR(lt->mean, c.mean, 0.01);
        EXPECT_NEAR(lt->change, c.maximum - c.minimum, 0.01);
        EXPECT_NEAR(lt->ratePerMinute, 30.0, 0.02) << "0.5 °C/s";
        const tQuantityStatistics* v1 = Find(s, qV1);
        ASSERT_NE(v1, nullptr);
        EXPECT_NEAR(v1->ratePerMinute, 6.0, 0.001);
    }
}

TEST_F(StatisticsTest, HiddenCurvesAreLeftOutAndTheTextPastesIntoASpreadsheet) {
    model.SetCurveChecked(qLP, false);
    model.InspectAt(10, true);
    model.InspectAt(30, false);
    const tStretchStatistics s = stretchStatistics(model.Data(), model.Selection());
    EXPECT_EQ(Find(s, qLP), nullptr);
    ASSERT_NE(Find(s, qLT), nullptr);

    tLocaleFacts comma;
    comma.decimalSeparator = ',';
    setLocaleFacts(comma);
    const std::string text =
        statisticsText(s, {"Величина", "Мин", "Макс", "Среднее", "Изменение", "В минуту"});
    EXPECT_EQ(text.substr(0, text.find("\r\n")),
              "Величина\tМин\tМакс\tСреднее\tИзменение\tВ минуту");
    EXPECT_NE(text.find("\r\n" + quantityNames[qLT] + "\t25,00\t35,00\t30,00\t10,00\t30,00\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\r\n" + quantityNames[qV1] + "\t1,0000\t3,0000\t2,0000\t2,0000\t6,0000"),
              std::string::npos)
        << text;
}

}  // namespace
}  // namespace vantrel::test
