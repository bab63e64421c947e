#include "base/LogFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <map>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "base/CommandLine.h"
#include "base/Error.h"
#include "base/Locale.h"
#include "base/Texts.h"
#include "support/CaptureLog.h"
#include "support/TempDir.h"

namespace vantrel {
namespace {

using test::readBytes;
using test::writeBytes;

const std::regex kStampedLine(R"(\d\d\.\d\d\.\d{4} \d{1,2}:\d\d:\d\d\.\d{3} (.*))");

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override { setLocaleFacts(tLocaleFacts{}); }
    void TearDown() override {
        setLocaleFacts(tLocaleFacts{});
        setCommandLine(std::vector<std::string>{});
        setLogFile(nullptr);
    }

    // The file's lines, each of which must have ended in CR LF.
    static std::vector<std::string> crlfLines(const std::string& bytes) {
        std::vector<std::string> lines;
        std::size_t start = 0;
        for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos;
             start = end + 2) {
            lines.push_back(bytes.substr(start, end - start));
        }
        EXPECT_EQ(start, bytes.size()) << "text after the last CR LF";
        return lines;
    }

    test::tTempDir dir_;
};

TEST(CommandLineTest, SwitchNeedsDashOrSlashAndExactNameInAnyCase) {
    for (const char* on : {"-LOG", "/LOG", "-log", "/LoG"}) {
        EXPECT_TRUE(hasSwitch("LOG", {"x.cfg", on})) << on;
    }
    for (const char* off : {"LOG", "-LOGS", "--LOG", "-LO", "/LOG_MEASURE", "-", ""}) {
        EXPECT_FALSE(hasSwitch("LOG", {off})) << off;
    }
    EXPECT_TRUE(hasSwitch("LOG_MEASURE", {"-log_measure"}));

    const char* argv[] = {"vantrel", "/Log_Measure"};
    setCommandLine(2, const_cast<char**>(argv));
    EXPECT_EQ(commandLine(), std::vector<std::string>{"/Log_Measure"});
    EXPECT_TRUE(logMeasureEnabled());
    EXPECT_FALSE(hasSwitch("LOG"));
    setCommandLine(std::vector<std::string>{});
    EXPECT_FALSE(logMeasureEnabled());
}

TEST_F(LogFileTest, WithoutTheSwitchNothingIsCreatedOrTouched) {
    const std::string existing = dir_.file("old.log");
    writeBytes(existing, "kept\r\n");
    const std::vector<std::vector<std::string>> switchesOff = {
        {}, {"LOG"}, {"-LOG_MEASURE"}, {"-LOGS"}};
    for (const auto& params : switchesOff) {
        tLogFile missing(dir_.file("new.log"), params);
        tLogFile present(existing, params);
        EXPECT_FALSE(missing.IsEnabled());
        missing.WriteLine("dropped");
        present.WriteLine("dropped");
    }
    EXPECT_FALSE(std::filesystem::exists(dir_.file("new.log")));
    EXPECT_EQ(readBytes(existing), "kept\r\n");
    EXPECT_EQ(localeFacts().longTimeFormat, "H:mm:ss");
}

TEST_F(LogFileTest, AppendsStampedLinesAfterOldContent) {
    const std::string name = dir_.file("vantrel.log");
    writeBytes(name, "previous run\r\n");
    {
        tLogFile log(name, {"/log"});
        ASSERT_TRUE(log.IsEnabled());
        EXPECT_EQ(localeFacts().longTimeFormat, "H:mm:ss.zzz");
        log.WriteLine("Запуск программы.");
        log.WriteLine("");
        log.WriteLine("two\r\nparts");
    }
    {
        // A second run extends the same file; the format is not extended twice.
        tLogFile log(name, {"-LOG"});
        EXPECT_EQ(localeFacts().longTimeFormat, "H:mm:ss.zzz");
        log.WriteLine("second run");
    }
    const std::vector<std::string> lines = crlfLines(readBytes(name));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "previous run");
    const char* messages[] = {"Запуск программы.", "", "two", nullptr, "second run"};
    for (std::size_t i = 0; i < 5; ++i) {
        std::smatch match;
        if (messages[i] == nullptr) {
            EXPECT_EQ(lines[i + 1], "parts");  // continuation carries no stamp
            continue;
        }
        ASSERT_TRUE(std::regex_match(lines[i + 1], match, kStampedLine)) << lines[i + 1];
        EXPECT_EQ(match[1], messages[i]);
    }
}

TEST_F(LogFileTest, FileThatCannotBeOpenedRaisesTheSystemMessage) {
    const std::string name = dir_.file("missing-dir/vantrel.log");
    try {
        tLogFile log(name, {"-LOG"});
        FAIL() << "no error";
    } catch (const tError& error) {
        EXPECT_NE(std::string(error.what()).find(systemErrorText(ENOENT)), std::string::npos)
            << error.what();
        EXPECT_NE(std::string(error.what()).find(name), std::string::npos);
    }
}

TEST_F(LogFileTest, SecondWriterOfTheSameFileIsRefused) {
    const std::string name = dir_.file("vantrel.log");
    tLogFile first(name, {"-LOG"});
    EXPECT_THROW({ tLogFile second(name, {"-LOG"}); }, tError);
    first.WriteLine("still writing");
    EXPECT_NE(readBytes(name).find("still writing\r\n"), std::string::npos);
}

TEST_F(LogFileTest, ProcessWideLogIsNeverEmpty) {
    ASSERT_NE(logFile, nullptr);
    EXPECT_FALSE(logFile->IsEnabled());
    logFile->WriteLine("dropped");
    tLogFile log(dir_.file("vantrel.log"), {"-LOG"});
    setLogFile(&log);
    logFile->WriteLine("kept");
    setLogFile(nullptr);
    ASSERT_NE(logFile, nullptr);
    EXPECT_NE(logFile, &log);
    EXPECT_EQ(crlfLines(readBytes(dir_.file("vantrel.log"))).size(), 1u);
}

TEST_F(LogFileTest, ConcurrentWritersNeverSplitALine) {
    const std::string name = dir_.file("vantrel.log");
    constexpr int kThreads = 6;
    constexpr int kLines = 300;
    {
        tLogFile log(name, {"-LOG"});
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&log, t] {
                // Long lines make a torn write likely if the lock were missing.
                const std::string payload(500, static_cast<char>('a' + t));
                for (int i = 0; i < kLines; ++i) {
                    log.WriteLine(std::to_string(t) + ":" + std::to_string(i) + ":" + payload);
                }
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
    }
    std::map<int, int> nextIndex;
    for (const std::string& line : crlfLines(readBytes(name))) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, kStampedLine)) << line.substr(0, 80);
        std::istringstream fields(match[1].str());
        int thread = -1;
        int index = -1;
        char colon = 0;
        std::string payload;
        fields >> thread >> colon >> index >> colon >> payload;
        ASSERT_GE(thread, 0);
        EXPECT_EQ(payload, std::string(500, static_cast<char>('a' + thread)));
        EXPECT_EQ(index, nextIndex[thread]++) << "lines of one thread keep their order";
    }
    ASSERT_EQ(nextIndex.size(), static_cast<std::size_t>(kThreads));
    for (const auto& [thread, count] : nextIndex) {
        EXPECT_EQ(count, kLines) << "thread " << thread;
    }
}

// The run between the two log lines: an escaping error is logged once and
// told as its kind is told, and the closing line is then left out.
TEST(RunLogged, EscapingErrorsAreToldOnceAndEndTheRunWithoutItsClosingLine) {
    const std::string start = messageText(5000);
    const std::string end = messageText(5001) + "\r\n";
    struct tCase {
        std::function<void()> body;
        std::string told;                // empty: the run ended normally
        std::vector<std::string> lines;  // the log after the opening line
    };
    const tCase cases[] = {
        {[] {}, "", {end}},
        {[] { throw tError("Файл не найден"); }, "Файл не найден", {"Файл не найден\r\n"}},
        {[] {
             logFile->WriteLine("scenario failed");  // where the error arose
             throw tLoggedError("scenario failed");
         },
         "scenario failed",
         {"scenario failed"}},
        {[] { throw std::out_of_range("vector"); }, "Non-VCL Exception", {"vector\r\n"}},
        {[] { throw 42; }, "Non-VCL Exception", {"Non-VCL Exception\r\n"}},
    };
    for (const tCase& c : cases) {
        SCOPED_TRACE(c.told);
        test::tCaptureLog log;
        std::string told;
        EXPECT_EQ(runLogged(c.body, [&](const std::string& text) { told = text; }), c.told.empty());
        EXPECT_EQ(told, c.told);
        std::vector<std::string> expected = {start};
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        EXPECT_EQ(log.Lines(), expected);
    }
}

}  // namespace
}  // namespace vantrel
