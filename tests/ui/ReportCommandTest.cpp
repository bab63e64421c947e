// The lab report written by the real program from the command line, read
// back as text the way a PDF viewer finds it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "journal/Journal.h"
#include "run/ExportReader.h"
#include "support/TempDir.h"

extern char** environ;

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::readBytes;

const std::string kExamples = std::string(VANTREL_SOURCE_DIR) + "/examples/";

// Exit status of `argv` (-1 when it ran over a minute), its output and
// messages in files.
int run(std::vector<std::string> argv, const std::vector<std::string>& env, const std::string& out,
        const std::string& messages) {
    std::vector<char*> args;
    for (std::string& a : argv) {
        args.push_back(a.data());
    }
    args.push_back(nullptr);
    std::vector<std::string> envCopy = env;
    std::vector<char*> envp;
    for (std::string& e : envCopy) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, messages.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = -1;
    const int started = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        ADD_FAILURE() << argv[0] << " could not be started";
        return -1;
    }
    for (const auto deadline = std::chrono::steady_clock::now() + 60s;
         std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(20ms)) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

class ReportCommandTest : public ::testing::Test {
protected:
    ReportCommandTest() {
        // No display and no platform named: the program needs neither.
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            if (!entry.starts_with("QT_QPA_PLATFORM=") && !entry.starts_with("DISPLAY=") &&
                !entry.starts_with("WAYLAND_DISPLAY=") && !entry.starts_with("LC_ALL=") &&
                !entry.starts_with("XDG_RUNTIME_DIR=")) {
                env.push_back(entry);
            }
        }
        env.push_back("LC_ALL=C.UTF-8");  // "." as the decimal separator
    }

    // The lesson's titration as the window journals it, two points marked.
    std::string Journal() const {
        const tExportedRun lesson = readExportFile(kExamples + "titration-lesson.csv");
        tJournalHeader header;
        header.version = "1";
        header.started = "2026-12-09 10:15:00";
        header.volumeCoefficient = 0.1;
        header.experiment = "Титрование HCl щёлочью";
        header.scenario = "titration.exp";
        std::string text = encodeHeader(header);
        for (const tExportRow& row : lesson.rows) {
            text += encodeReading(float(row.time), row.readings);
        }
        text += encodeTransition(10.0f, 1, "Дозирование щёлочи");
        text += encodeMark(61);   // 12.4 s
        text += encodeMark(329);  // 66.0 s
        text += encodeEnd(float(lesson.rows.back().time));
        const std::string name = dir.file("run.journal");
        test::writeBytes(name, text);
        return name;
    }

    // The program's exit status; its messages in `messages`.
    int Report(std::vector<std::string> args, int languageId, std::string& messages) {
        std::ofstream(dir.file("vantrel.cfg")) << "LanguageID=" << languageId << "\n";
        args.insert(args.begin(),
                    {(fs::read_symlink("/proc/self/exe").parent_path() / "vantrel").string(),
                     "--config", dir.file("vantrel.cfg")});
        const int status = run(args, env, dir.file("out.txt"), dir.file("messages.txt"));
        messages = readBytes(dir.file("messages.txt"));
        EXPECT_EQ(readBytes(dir.file("out.txt")), "");
        return status;
    }

    // As pdftotext lays it out: a label and its text on one line.
    std::string PdfText(const std::string& pdf) {
        EXPECT_EQ(run({"pdftotext", "-layout", pdf, dir.file("report.txt")}, env,
                      dir.file("pdftotext.out"), dir.file("pdftotext.err")),
                  0)
            << readBytes(dir.file("pdftotext.err"));
        return readBytes(dir.file("report.txt"));
    }

    test::tTempDir dir;
    std::vector<std::string> env;
};

TEST_F(ReportCommandTest, WritesTheReportInTheConfiguredLanguage) {
    struct tCase {
        int languageId;
        bool journal;  // else the lesson's export with its scenario
        std::vector<std::string> options;
        std::vector<std::string> found;
        int equivalences;  // lines telling the point
    };
    const std::string pdf = dir.file("Отчёт.pdf");
    const tCase cases[] = {
        {1049,
         true,
         {"--fit", "LP,linear", "--equivalence", "V1", "--student", "Иванов Пётр, 9 «Б»"},
         {"Отчёт об опыте", "Опыт:", "Титрование HCl щёлочью", "Ученик, класс:",
          "Иванов Пётр, 9 «Б»", "Показания по времени", "Зависимость от Реагент 1", "R² = 0.",
          "Отмеченные точки", "12.400", "66.000", "Страница 1 из ",
          // Charts to be read on paper: axis titles, the curves' scales.
          "t, с", "V1, мл", "pH — шкала слева", "Температура, °C: -40 … 180"},
         2},
        // Nothing names an abscissa: the dependence chart takes the volume dosed.
        {1087,
         false,
         {"--scenario", kExamples + "titration.exp", "--fit", "LT,linear"},
         {"Тәжірибе туралы есеп", "Титрование HCl щёлочью", "titration.exp",
          "Оқушы, сынып:", "Реагент 1 бойынша тәуелділік", "Белгіленген нүктелер\nжоқ", "R² = 0.",
          "1-бет, барлығы ", "pH — сол жақ шкала", "Электр өткізгіштік, мСм/см: 0 … 250"},
         0},
    };
    for (const tCase& c : cases) {
        SCOPED_TRACE(c.languageId);
        std::vector<std::string> args = {
            "--report", pdf, c.journal ? Journal() : kExamples + "titration-lesson.csv"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        std::string messages;
        ASSERT_EQ(Report(args, c.languageId, messages), 0) << messages;
        EXPECT_EQ(messages, "") << "nothing is said when the report is written";
        const std::string text = PdfText(pdf);
        for (const std::string& found : c.found) {
            EXPECT_NE(text.find(found), std::string::npos) << found << " in\n" << text;
        }
        // The time chart over the whole run (76.8 s), not the window's 30 s,
        // its scale in numbers.
        EXPECT_TRUE(std::regex_search(text, std::regex("\\b15 +30 +45 +60 +75\\b"))) << text;
        EXPECT_TRUE(std::regex_search(text, std::regex("\\n *12\\.5\\n"))) << "pH ticks";
        // The point the lesson's pH jumps at, found on V1 and told in the
        // title block and the results.
        const std::regex equivalence("\\(V1\\):\\s+V = 5\\.[0-9]{3} (мл), pH = [5-9]\\.[0-9]{3}");
        EXPECT_EQ(std::distance(std::sregex_iterator(text.begin(), text.end(), equivalence),
                                std::sregex_iterator()),
                  c.equivalences)
            << text;
        // Every page numbered, out of the count of them.
        const std::regex footer(c.languageId == 1049 ? "Страница ([0-9]+) из ([0-9]+)"
                                                     : "([0-9]+)-бет, барлығы ([0-9]+)");
        std::vector<std::pair<std::string, std::string>> footers;
        for (auto it = std::sregex_iterator(text.begin(), text.end(), footer);
             it != std::sregex_iterator(); ++it) {
            footers.emplace_back((*it)[1].str(), (*it)[2].str());
        }
        ASSERT_GE(footers.size(), 2u);
        for (std::size_t i = 0; i < footers.size(); ++i) {
            EXPECT_EQ(footers[i].first, std::to_string(i + 1));
            EXPECT_EQ(footers[i].second, std::to_string(footers.size()));
        }
        fs::remove(pdf);
    }
}

TEST_F(ReportCommandTest, AFailureWritesNothingAndSaysWhyInOneLine) {
    const std::string pdf = dir.file("report.pdf");
    const std::string journal = Journal();
    const struct {
        std::vector<std::string> args;
        std::string why;
    } cases[] = {
        {{"--report", pdf, dir.file("missing.csv")}, "missing.csv"},
        {{"--report", pdf}, "needs the run"},
        {{"--report", pdf, journal, "--fit", "LP,cubic"}, "--fit"},
        {{"--report", pdf, journal, "--fit", "LP,linear,V2", "--equivalence", "V1"},
         "one abscissa"},
        {{"--report", pdf, journal, "--equivalence", "LP"}, "--equivalence"},
        {{"--report", dir.file("no/folder/report.pdf"), journal}, "Отчёт не сохранён."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::string messages;
        EXPECT_EQ(Report(c.args, 1049, messages), 1);
        EXPECT_TRUE(messages.starts_with("vantrel: ")) << messages;
        EXPECT_NE(messages.find(c.why), std::string::npos) << messages;
        EXPECT_EQ(messages.find('\n'), messages.size() - 1) << messages;
        EXPECT_FALSE(fs::exists(pdf));
    }
}

}  // namespace
}  // namespace vantrel
