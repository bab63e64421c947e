// The analysis of a finished run in the controller: the equivalence point on
// the dosed volume, and a reference run that is replaced only by a good one.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "base/Error.h"
#include "base/Functions.h"
#include "base/Locale.h"
#include "base/Texts.h"
#include "charts/ChartModel.h"
#include "journal/JournalWriter.h"
#include "run/Quantities.h"
#include "session/Analysis.h"
#include "session/ReportContent.h"
#include "session/RunSummary.h"
#include "session/StationFixture.h"
#include "support/TempDir.h"

namespace vantrel::test {
namespace {

using AnalysisTest = StationFixture;

// A titration of 10 ml with its jump at 5.0 ml, opened as a finished run.
void openTitration(TfmMain& fm, tTestView& view, const tTempDir& runs) {
    std::string journal;
    {
        tJournalHeader header;
        header.names = {"LT", "pH", "LC", "LE", "V1", "V2", "V3"};
        tJournalWriter writer(runs.path(), header);
        journal = writer.FileName();
        for (int k = 0; k <= 400; ++k) {
            const float volume = 0.025f * static_cast<float>(k);
            const float pH = 7.0f + 4.0f * std::tanh(6.0f * (volume - 5.0f));
            writer.Reading(0.2f * static_cast<float>(k), {21.f, pH, 1.f, 0.1f, volume, 0.f, 0.f});
        }
        writer.End(80.0f);
    }
    fm.SetJournalFolder(runs.path());
    view.openFileAnswers = {journal};
    ASSERT_TRUE(fm.ExecuteAction("acFileOpenRun"));
    ASSERT_EQ(fm.Charts().PointCount(), 401u);
}

TEST_F(AnalysisTest, TheEquivalencePointIsFoundOnAVolumeAxisAndForgottenWithIt) {
    Make("", true);
    tTempDir runs;
    openTitration(*fm, view, runs);
    fm->UpdateActions();
    EXPECT_FALSE(fm->FindAction("acAnalysisEquivalence")->Enabled()) << "time is no volume";

    fm->rbAbscissClick(qV1);
    ASSERT_TRUE(fm->ExecuteAction("acAnalysisEquivalence"));
    const auto& found = fm->Analysis().Equivalence();
    ASSERT_TRUE(found.has_value());
    EXPECT_NEAR(found->volume, 5.0, 0.05);
    EXPECT_NEAR(found->pH, 7.0, 0.3);
    fm->UpdateActions();
    EXPECT_TRUE(fm->FindAction("acAnalysisDerivative")->Enabled());

    fm->rbAbscissClick(qLP);
    EXPECT_FALSE(fm->Analysis().Equivalence().has_value()) << "it belonged to the volume axis";
    EXPECT_THROW(fm->Analysis().FindEquivalence(), tError);
}

TEST_F(AnalysisTest, AReferenceThatCannotBeReadLeavesTheOneShown) {
    tTempDir dir;
    const std::string good = dir.file("last-year.csv");
    const std::string bad = dir.file("notes.csv");
    writeBytes(good, "t\tТемпература\r\n0.200\t21.50\r\n0.400\t22.00\r\n");
    writeBytes(bad, "t\tТемпература\r\n0.200\tтепло\r\n");

    view.openFileAnswers = {good};
    ASSERT_TRUE(fm->ExecuteAction("acFileOpenReference"));
    ASSERT_NE(fm->Analysis().Reference(), nullptr);

    view.openFileAnswers = {bad};
    try {
        fm->ExecuteAction("acFileOpenReference");
        ADD_FAILURE() << "a malformed run was taken";
    } catch (const tError& e) {
        const std::string said = e.what();
        EXPECT_NE(said.find("Опорный опыт не открыт"), std::string::npos) << said;
        EXPECT_NE(said.find("notes.csv"), std::string::npos) << said;
    }
    ASSERT_NE(fm->Analysis().Reference(), nullptr);
    EXPECT_EQ(fm->Analysis().Reference()->fileName, good);

    ASSERT_TRUE(fm->ExecuteAction("acFileCloseReference"));
    EXPECT_EQ(fm->Analysis().Reference(), nullptr);
}

// Over the stretch to the inspected point, for each visible curve: a fit
// in the chart's coordinates with its caption, the tangent, the area told;
// all forgotten with the next run shown.
TEST_F(AnalysisTest, FitsTangentsAndAreasTakeTheInspectedStretch) {
    Make("", true);
    tTempDir runs;
    openTitration(*fm, view, runs);
    for (int q = 0; q < kQuantityCount; ++q) {
        fm->chSeriesClickCheck(q, q == qV1);  // only the dosed volume: 0.125 ml/s
    }
    fm->chAccGyroClick(40.0);
    fm->UpdateActions();
    ASSERT_TRUE(fm->ExecuteAction("acAnalysisFitLinear"));
    ASSERT_TRUE(fm->ExecuteAction("acAnalysisTangent"));
    const auto& fits = fm->Analysis().Fits();
    ASSERT_EQ(fits.size(), 2u);
    EXPECT_EQ(fits[0].quantity, qV1);
    EXPECT_DOUBLE_EQ(fits[0].x.front(), 0.0);
    EXPECT_DOUBLE_EQ(fits[0].x.back(), 40.0);
    EXPECT_NEAR(fits[0].y.back(), toPercent(qV1, 5.0), 1e-3);
    EXPECT_NE(fits[0].caption.find("R² = 1"), std::string::npos) << fits[0].caption;
    EXPECT_TRUE(fits[1].tangent);
    const std::string rate = std::string("7") + localeFacts().decimalSeparator + "5 мл/мин";
    EXPECT_NE(fits[1].caption.find(rate), std::string::npos) << fits[1].caption;

    ASSERT_TRUE(fm->ExecuteAction("acAnalysisArea"));
    ASSERT_EQ(view.informations.size(), 1u);
    EXPECT_NE(view.informations[0].text.find("100 мл·с"), std::string::npos)
        << view.informations[0].text;

    // The report names what each was made over, and the run's length as a
    // person writes it.
    const tReportContent report =
        reportContent(runSummary(fm->Charts().Data(), fm->Charts().Selection(), fm->Analysis()),
                      fm->Charts().Data(), fm->Charts().Abscissa(), "");
    ASSERT_EQ(report.fits.size(), 2u);
    const auto endsWith = [](const std::string& text, const std::string& end) {
        return text.size() >= end.size() &&
               text.compare(text.size() - end.size(), end.size(), end) == 0;
    };
    EXPECT_TRUE(endsWith(report.fits[0], "\nОт " + formatFixed(0, 3) + " до " + formatFixed(40, 3) +
                                             " с, точек: 201"))
        << report.fits[0];
    EXPECT_TRUE(endsWith(report.fits[1], "\nt = " + formatFixed(40, 3) + " с")) << report.fits[1];
    EXPECT_EQ(report.facts.at(3).second, "1 мин 20 с");

    openTitration(*fm, view, runs);
    EXPECT_TRUE(fm->Analysis().Fits().empty());
}

// Rounded to what is shown before it is split, so no "60.0 с" or "1 ч 60 мин".
TEST(RunSummaryTest, DurationsReadAsAPersonWritesThem) {
    struct tCase {
        double seconds;
        const char* russian;
        const char* english;
    };
    for (const tCase& c :
         {tCase{12.46, "12.5 с", "12.5 s"}, tCase{59.96, "1 мин 0 с", "1 min 0 s"},
          tCase{64.2, "1 мин 4 с", "1 min 4 s"}, tCase{3599.6, "1 ч 00 мин", "1 h 00 min"},
          tCase{7500, "2 ч 05 мин", "2 h 05 min"},
          tCase{86400 + 59, "24 ч 01 мин", "24 h 01 min"}}) {
        EXPECT_EQ(durationText(c.seconds), c.russian) << c.seconds;
        setConstantTranslation("DK_DURATION_SECONDS", "%s s");
        setConstantTranslation("DK_DURATION_MINUTES", "%s min %s s");
        setConstantTranslation("DK_DURATION_HOURS", "%s h %s min");
        EXPECT_EQ(durationText(c.seconds), c.english) << c.seconds;
        clearConstantTranslations();
    }
}

// A click on the dependence chart inspects the record whose point lies
// nearest on screen, so that the tangent can be drawn from there too.
TEST_F(AnalysisTest, AClickOnTheDependenceChartInspectsTheNearestPoint) {
    Make("", true);
    tTempDir runs;
    openTitration(*fm, view, runs);
    // Against the temperature, which never moved, every record lies on one
    // vertical: only the height tells the pH on its way up the jump.
    fm->rbAbscissClick(qLT);
    const double pH = fm->Charts().Data().Shown(qLP, 196);
    fm->chDependClick(21.0, toPercent(qLP, pH) + 0.1, 70.0, 4.5);
    EXPECT_EQ(fm->Charts().CursorIndex(), 196);
    fm->UpdateActions();
    EXPECT_TRUE(fm->FindAction("acAnalysisTangent")->Enabled());
}

// With every curve ticked, a fit is made for the curve chosen in the list
// (the first ticked one while none is), over the whole run until a point
// is inspected; the submenu makes it for every ticked curve.
TEST_F(AnalysisTest, FitsAreMadeForTheChosenCurveOverTheWholeRun) {
    Make("", true);
    tTempDir runs;
    openTitration(*fm, view, runs);
    fm->UpdateActions();
    EXPECT_TRUE(fm->FindAction("acAnalysisFitLinear")->Enabled()) << "no point needed";
    EXPECT_FALSE(fm->FindAction("acAnalysisTangent")->Enabled()) << "the tangent needs one";

    ASSERT_TRUE(fm->ExecuteAction("acAnalysisFitLinear"));
    ASSERT_EQ(fm->Analysis().Fits().size(), 1u);
    EXPECT_EQ(fm->Analysis().Fits()[0].quantity, qLT);
    EXPECT_EQ(fm->Analysis().Fits()[0].fit.status, tFitStatus::NoChange) << "21 °C throughout";

    fm->Analysis().ChooseCurve(qV1);
    ASSERT_TRUE(fm->ExecuteAction("acAnalysisFitLinear"));
    ASSERT_TRUE(fm->ExecuteAction("acAnalysisFitLinear"));
    const auto& fits = fm->Analysis().Fits();
    ASSERT_EQ(fits.size(), 2u) << "the same fit again replaces the first";
    EXPECT_EQ(fits[1].quantity, qV1);
    EXPECT_DOUBLE_EQ(fits[1].x.front(), 0.0);
    EXPECT_DOUBLE_EQ(fits[1].x.back(), 80.0);

    ASSERT_TRUE(fm->ExecuteAction("acAnalysisFitAllQuadratic"));
    EXPECT_EQ(fm->Analysis().Fits().size(), 2u + kQuantityCount);
}

}  // namespace
}  // namespace vantrel::test
