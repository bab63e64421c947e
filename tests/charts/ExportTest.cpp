#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/Encoding.h"
#include "base/Error.h"
#include "base/Locale.h"
#include "base/Texts.h"
#include "charts/ChartModel.h"
#include "charts/ChartTestSupport.h"
#include "charts/Export.h"
#include "lang/LanguageFile.h"
#include "run/ExportReader.h"
#include "support/FileSizeLimit.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using test::readings;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Only temperature and V1 shown, to keep the expected lines short.
        for (int i : {qLP, qLC, qLE, qV2, qV3}) {
            model.SetCurveChecked(i, false);
        }
        model.EnterLiveMode();
        // Five points at 10.0 .. 12.0 s on the station's clock.
        for (int k = 0; k < 5; ++k) {
            const float t = 10.0f + 0.5f * static_cast<float>(k);
            model.AddReadingSet(
                t, readings(20.0f + static_cast<float>(k), 0.5f * static_cast<float>(k)));
        }
        model.EnterAnalysisMode();
    }

    void TearDown() override {
        resetQuantityNames();
        setLocaleFacts({});
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    fs::path Dir() {
        if (dir.empty()) {
            dir = fs::temp_directory_path() /
                  ("vantrel_export_" +
                   std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
            fs::create_directories(dir);
        }
        return dir;
    }

    tChartModel model;
    fs::path dir;
};

constexpr const char* kHeader = "t\tТемпература\tРеагент 1\r\n";

TEST_F(ExportTest, WithoutMarksOrMarkersEveryPointIsWrittenOnTheStationsClock) {
    EXPECT_EQ(ExportText(model.Data(), model.Selection()), std::string(kHeader) +
                                                               "10.000\t20.00\t0.00\r\n"
                                                               "10.500\t21.00\t0.50\r\n"
                                                               "11.000\t22.00\t1.00\r\n"
                                                               "11.500\t23.00\t1.50\r\n"
                                                               "12.000\t24.00\t2.00\r\n");
}

TEST_F(ExportTest, TimeOriginAloneRunsFromTheMarkerToTheEnd) {
    model.InspectAt(11.0, true);
    EXPECT_EQ(ExportText(model.Data(), model.Selection()), std::string(kHeader) +
                                                               "0.000\t22.00\t1.00\r\n"
                                                               "0.500\t23.00\t1.50\r\n"
                                                               "1.000\t24.00\t2.00\r\n");
}

TEST_F(ExportTest, CursorLeftOfTheOriginGivesNegativeTimesInAscendingOrder) {
    model.InspectAt(11.5, true);
    model.InspectAt(10.5, false);
    EXPECT_EQ(ExportText(model.Data(), model.Selection()), std::string(kHeader) +
                                                               "-1.000\t21.00\t0.50\r\n"
                                                               "-0.500\t22.00\t1.00\r\n"
                                                               "0.000\t23.00\t1.50\r\n");
}

TEST_F(ExportTest, MarkedPointsOfTheWholeRunAreWrittenFromTheOrigin) {
    model.InspectAt(12.0, false);
    model.ToggleMarkAtCursor();
    model.InspectAt(10.5, false);
    model.ToggleMarkAtCursor();
    // Origin and cursor now span 11.0 .. 10.5; marks outside count as well.
    model.InspectAt(11.0, true);
    EXPECT_EQ(ExportText(model.Data(), model.Selection()), std::string(kHeader) +
                                                               "-0.500\t21.00\t0.50\r\n"
                                                               "1.000\t24.00\t2.00\r\n");

    // Unmarking both falls back to the range between the markers.
    model.ToggleMarkAtCursor();
    model.InspectAt(12.0, false);
    model.ToggleMarkAtCursor();
    EXPECT_FALSE(model.Selection().HasMarks());
    EXPECT_EQ(ExportText(model.Data(), model.Selection()), std::string(kHeader) +
                                                               "0.000\t22.00\t1.00\r\n"
                                                               "0.500\t23.00\t1.50\r\n"
                                                               "1.000\t24.00\t2.00\r\n");
}

TEST_F(ExportTest, HiddenCurveIsMissingFromHeaderAndLines) {
    model.SetCurveChecked(qV1, false);
    model.InspectAt(10.5, false);
    model.ToggleMarkAtCursor();
    EXPECT_EQ(ExportText(model.Data(), model.Selection()), "t\tТемпература\r\n10.500\t21.00\r\n");
}

TEST_F(ExportTest, CommaSettingsAndRelativeValuesAsTheChartShowsThem) {
    setLocaleFacts({',', "dd.MM.yyyy", "H:mm:ss"});
    model.SetRelative(qLT, true);
    model.EnterLiveMode();
    model.AddReadingSet(1.5f, readings(20.0f, 1.23456f));
    model.AddReadingSet(2.0f, readings(18.5f, -0.75f));
    model.EnterAnalysisMode();
    EXPECT_EQ(ExportText(model.Data(), model.Selection()), std::string(kHeader) +
                                                               "1,500\t0,00\t1,23\r\n"
                                                               "2,000\t-1,50\t-0,75\r\n");
}

TEST_F(ExportTest, ARunWithoutPointsGivesTheHeaderOnly) {
    model.EnterLiveMode();
    model.EnterAnalysisMode();
    EXPECT_EQ(ExportText(model.Data(), model.Selection()), kHeader);
    tChartModel fresh;
    EXPECT_EQ(ExportText(fresh.Data(), fresh.Selection()),
              "t\tТемпература\tpH\tЭлектропроводность\tРедокс-потенциал\tРеагент 1\tРеагент "
              "2\tРеагент 3\r\n");
}

TEST_F(ExportTest, FileIsWindows1251WhileEveryNameFitsElseUtf8WithBom) {
    const fs::path file = Dir() / "run.csv";
    ExportReadings(model.Data(), model.Selection(), file.string());
    const std::string bytes = readFile(file);
    const std::string header =
        "t\t\xD2\xE5\xEC\xEF\xE5\xF0\xE0\xF2\xF3\xF0\xE0\t\xD0\xE5\xE0\xE3\xE5\xED\xF2 1\r\n";
    ASSERT_GE(bytes.size(), header.size());
    EXPECT_EQ(bytes.substr(0, header.size()), header);
    EXPECT_EQ(bytes.substr(header.size(), 20), "10.000\t20.00\t0.00\r\n1");

    quantityNames[qLT] = "Температура";
    quantityNames[qV1] = "Қышқыл көлемі";  // Kazakh: no Windows-1251 form
    ExportReadings(model.Data(), model.Selection(), file.string());
    const std::string utf8 = readFile(file);
    EXPECT_EQ(utf8.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(utf8.substr(3), ExportText(model.Data(), model.Selection()));
    EXPECT_NE(utf8.find("Қышқыл көлемі"), std::string::npos);
}

// The recorder's export: every record whatever is marked or inspected, the
// marks in a last column, and it reads back with them.
TEST_F(ExportTest, TheRecordersExportHoldsEveryRecordWithItsMarks) {
    EXPECT_EQ(RunExportText(model.Data(), model.Selection()),
              ExportText(model.Data(), model.Selection()))
        << "no marks: no mark column";
    model.InspectAt(10.5, false);
    model.ToggleMarkAtCursor();
    model.InspectAt(12.0, false);
    model.ToggleMarkAtCursor();
    model.InspectAt(11.0, true);
    model.InspectAt(11.5, false);
    const std::string text = RunExportText(model.Data(), model.Selection());
    EXPECT_EQ(text,
              "t\tТемпература\tРеагент 1\tМетка\r\n"
              "-1.000\t20.00\t0.00\t\r\n"
              "-0.500\t21.00\t0.50\t*\r\n"
              "0.000\t22.00\t1.00\t\r\n"
              "0.500\t23.00\t1.50\t\r\n"
              "1.000\t24.00\t2.00\t*\r\n");
    const tExportedRun run = readExportText(text);
    ASSERT_EQ(run.rows.size(), 5u);
    EXPECT_EQ(run.quantities, (std::vector<int>{qLT, qV1}));
    for (std::size_t k = 0; k < run.rows.size(); ++k) {
        EXPECT_EQ(run.rows[k].marked, k == 1 || k == 4) << k;
    }
}

// One language, one encoding, whatever columns a file shows: Russian and
// English in Windows-1251, Kazakh (whose conductivity has an "ө") in UTF-8
// even with that column hidden.
TEST_F(ExportTest, TheLanguageDecidesTheEncodingNotTheColumnsShown) {
    struct tCase {
        const char* file;  // empty: the built-in Russian
        bool utf8;
    };
    for (const tCase& c : {tCase{"", false}, tCase{"kk.lng", true}, tCase{"en.lng", false}}) {
        SCOPED_TRACE(*c.file != 0 ? c.file : "built-in");
        clearConstantTranslations();
        if (*c.file != 0) {
            const tLanguageFile file =
                tLanguageFile::FromFile(std::string(VANTREL_SOURCE_DIR) + "/languages/" + c.file);
            for (const auto& [name, text] : file.Constants()) {
                setConstantTranslation(name, text);
            }
        }
        for (int q = 0; q < kQuantityCount; ++q) {
            quantityNames[q] = constantText(quantityInfo[q].nameConstant);
        }
        for (const bool conductivityShown : {true, false}) {
            model.SetCurveChecked(qLC, conductivityShown);
            const std::string bytes = EncodeExportText(ExportText(model.Data(), model.Selection()));
            EXPECT_EQ(bytes.starts_with("\xEF\xBB\xBF"), c.utf8) << conductivityShown;
            std::string decoded;
            decodeWindowsText(bytes, decoded);
            EXPECT_EQ(decoded, ExportText(model.Data(), model.Selection())) << conductivityShown;
        }
    }
    clearConstantTranslations();
}

TEST_F(ExportTest, FailedWriteReportsAnErrorAndKeepsTheOldFile) {
    const fs::path missing = Dir() / "no such folder" / "run.csv";
    try {
        ExportReadings(model.Data(), model.Selection(), missing.string());
        FAIL() << "no error for a missing folder";
    } catch (const tError& error) {
        EXPECT_NE(std::string(error.what()).find("run.csv"), std::string::npos) << error.what();
    }

#ifndef _WIN32
    // A write that stops half-way (file size limit) must not touch the old file.
    const fs::path file = Dir() / "old.csv";
    { std::ofstream(file, std::ios::binary) << "old contents\r\n"; }
    model.EnterLiveMode();
    for (int k = 0; k < 2000; ++k) {
        model.AddReadingSet(static_cast<float>(k), readings(20.0f));
    }
    model.EnterAnalysisMode();
    bool thrown = false;
    try {
        test::tFileSizeLimit full(4096);
        ExportReadings(model.Data(), model.Selection(), file.string());
    } catch (const tError&) {
        thrown = true;
    }
    EXPECT_TRUE(thrown);
    EXPECT_EQ(readFile(file), "old contents\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir()), fs::directory_iterator()), 1)
        << "a temporary file was left behind";
#endif
}

TEST(Encoding, Utf8ToWindows1251) {
    std::string out;
    EXPECT_TRUE(utf8ToCp1251("pH 7, Ёё °C №5 — «І»", out));
    EXPECT_EQ(out,
              "pH 7, \xA8\xB8 \xB0"
              "C \xB9"
              "5 \x97 \xAB\xB2\xBB");
    EXPECT_TRUE(utf8ToCp1251("АЯая", out));
    EXPECT_EQ(out, "\xC0\xDF\xE0\xFF");

    EXPECT_FALSE(utf8ToCp1251("Ә", out));             // Kazakh letter
    EXPECT_FALSE(utf8ToCp1251("€ ok but 😀", out));    // outside the code page
    EXPECT_FALSE(utf8ToCp1251("\xD0", out));          // cut sequence
    EXPECT_FALSE(utf8ToCp1251("\xC0\xAF", out));      // overlong "/"
    EXPECT_FALSE(utf8ToCp1251("\xED\xA0\x80", out));  // surrogate
}

}  // namespace
}  // namespace vantrel
