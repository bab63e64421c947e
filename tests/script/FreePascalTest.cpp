// The interpreter against Free Pascal: each unit under differential/ runs
// through both, and every function its interface lists must give the same
// value or fail the same way. Free Pascal compiles in Delphi mode with
// overflow and range checks on; a line whose comment says what Delphi gives
// ("// Delphi: ...") expects that instead, where Free Pascal on a 64-bit
// target computes differently. Skipped when no fpc is on the PATH (or named
// by VANTREL_FPC).

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "base/Error.h"
#include "script/ScriptProgram.h"
#include "support/TempDir.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

struct tProbe {
    std::string name;
    std::string type;      // the declared result type, lower case
    std::string expected;  // Delphi's result where it differs from Free Pascal's
};

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The functions the unit's interface lists, in order.
std::vector<tProbe> probesOf(const std::string& source) {
    static const std::regex heading(
        R"(^\s*function\s+(\w+)\s*:\s*(\w+)\s*;\s*(?://\s*Delphi:\s*(.*\S))?\s*$)",
        std::regex::icase);
    std::vector<tProbe> probes;
    std::istringstream lines(source);
    std::string line;
    bool inInterface = false;
    while (std::getline(lines, line)) {
        const std::string word = lower(line.substr(0, line.find_first_of(" \r")));
        if (word == "interface" || word == "implementation") {
            inInterface = word == "interface";
            continue;
        }
        std::smatch m;
        if (inInterface && std::regex_match(line, m, heading)) {
            probes.push_back({m[1].str(), lower(m[2].str()), m[3].str()});
        }
    }
    return probes;
}

std::string fpcPath() {
    if (const char* named = std::getenv("VANTREL_FPC"); named != nullptr && *named != '\0') {
        return named;
    }
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path != nullptr ? path : "");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const fs::path candidate = fs::path(dir.empty() ? "." : dir) / "fpc";
        std::error_code error;
        if (fs::is_regular_file(candidate, error)) {
            return candidate.string();
        }
    }
    return {};
}

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

struct tUnit {
    std::string name;
    std::string source;
    std::vector<tProbe> probes;
};

// One program for all units (Free Pascal compiles and links once): it calls
// each probe and prints "Unit.Name: value" or "Unit.Name: error: category",
// in the words the interpreter's reasons map to below.
std::string fpcProgram(const std::vector<tUnit>& units) {
    std::string uses;
    for (const tUnit& unit : units) {
        uses += ", " + unit.name;
    }
    std::string text = "program Probe;\n{$mode delphi}{$Q+}{$R+}\nuses SysUtils, Math" + uses +
                       ";\nvar Shown: String;\n"
                       "function Category(E: Exception): String;\nbegin\n"
                       "  if E is EIntOverflow then Result := 'integer overflow'\n"
                       "  else if (E is EDivByZero) or (E is EZeroDivide) then\n"
                       "    Result := 'division by zero'\n"
                       "  else if E is ERangeError then Result := 'range check'\n"
                       "  else if E is EOverflow then Result := 'floating point overflow'\n"
                       "  else if E is EInvalidOp then Result := 'invalid floating point "
                       "operation'\n"
                       "  else if E is EConvertError then Result := 'conversion'\n"
                       "  else Result := E.ClassName + ' ' + E.Message;\nend;\nbegin\n";
    for (const tUnit& unit : units) {
        for (const tProbe& p : unit.probes) {
            const std::string call = unit.name + "." + p.name;
            std::string shown = call;
            if (p.type == "real" || p.type == "double") {
                shown = "FloatToStr(" + call + ")";
            } else if (p.type == "boolean") {
                shown = "BoolToStr(" + call + ", True)";
            } else if (p.type != "string") {
                shown = "IntToStr(" + call + ")";
            }
            // Flags an earlier probe left would decide which exception the
            // next floating point trap raises.
            text += "  ClearExceptions(False);\n  try Shown := " + shown + "; WriteLn('" + call +
                    ": ', Shown);\n  except on E: Exception do WriteLn('" + call +
                    ": error: ', Category(E)); end;\n";
        }
    }
    return text + "end.\n";
}

std::string category(const std::string& reason) {
    if (reason.rfind("value ", 0) == 0 && reason.find(" out of range for ") != std::string::npos) {
        return "range check";
    }
    if (reason.rfind("invalid argument to ", 0) == 0 ||
        reason.find(" does not fit an integer") != std::string::npos) {
        return "invalid floating point operation";
    }
    if (reason.find(" is not a valid ") != std::string::npos) {
        return "conversion";
    }
    return reason;
}

std::vector<std::string> interpreterLines(const tUnit& unit) {
    std::vector<std::string> lines;
    tScriptProgram program;
    program.SetSource(unit.source);
    try {
        program.Compile();
    } catch (const tError& e) {
        return {std::string("does not compile: ") + e.what()};
    }
    for (const tProbe& p : unit.probes) {
        const std::string call = unit.name + "." + p.name;
        try {
            lines.push_back(call + ": " + program.CallValue(p.name, {}).ToString());
        } catch (const tError& e) {
            const std::string message = e.what();
            const std::size_t at = message.find("): ");
            lines.push_back(call + ": error: " +
                            category(at == std::string::npos ? message : message.substr(at + 3)));
        }
    }
    return lines;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

TEST(FreePascalTest, UnitsComputeAsFreePascalAndDelphiDo) {
#ifdef _WIN32
    GTEST_SKIP() << "the comparison with Free Pascal runs on Linux only";
#endif
    const std::string fpc = fpcPath();
    if (fpc.empty()) {
        GTEST_SKIP() << "Free Pascal (fpc) not found on the PATH: the comparison with it is "
                        "skipped (Debian: apt-get install fp-compiler)";
    }
    const fs::path corpus = fs::path(VANTREL_SOURCE_DIR) / "tests/script/differential";
    std::vector<tUnit> units;
    for (const fs::directory_entry& entry : fs::directory_iterator(corpus)) {
        if (entry.path().extension() == ".pas") {
            tUnit unit{entry.path().stem().string(), test::readBytes(entry.path().string()), {}};
            unit.probes = probesOf(unit.source);
            ASSERT_FALSE(unit.probes.empty()) << "no functions in the interface of " << unit.name;
            units.push_back(std::move(unit));
        }
    }
    std::sort(units.begin(), units.end(),
              [](const tUnit& a, const tUnit& b) { return a.name < b.name; });
    ASSERT_FALSE(units.empty()) << corpus;

    test::tTempDir scratch;
    const std::string program = scratch.file("Probe.pas");
    const std::string exe = scratch.file("probe");
    const std::string log = scratch.file("fpc.log");
    const std::string out = scratch.file("probe.out");
    test::writeBytes(program, fpcProgram(units));
    const std::string build = quoted(fpc) + " -Mdelphi -Co -Cr -v0 -Fu" + quoted(corpus.string()) +
                              " -FU" + quoted(scratch.path()) + " -o" + quoted(exe) + " " +
                              quoted(program) + " >" + quoted(log) + " 2>&1";
    ASSERT_EQ(std::system(build.c_str()), 0) << test::readBytes(log);
    ASSERT_EQ(std::system((quoted(exe) + " >" + quoted(out) + " 2>&1").c_str()), 0)
        << test::readBytes(out);
    const std::vector<std::string> reference = splitLines(test::readBytes(out));

    std::size_t compared = 0;
    for (const tUnit& unit : units) {
        SCOPED_TRACE(unit.name);
        std::vector<std::string> expected(
            reference.begin() + static_cast<std::ptrdiff_t>(std::min(compared, reference.size())),
            reference.end());
        expected.resize(std::min(expected.size(), unit.probes.size()));
        for (std::size_t k = 0; k < expected.size(); ++k) {
            if (!unit.probes[k].expected.empty()) {
                expected[k] =
                    unit.name + "." + unit.probes[k].name + ": " + unit.probes[k].expected;
            }
        }
        const std::vector<std::string> got = interpreterLines(unit);
        ASSERT_EQ(got.size(), expected.size()) << got.front() << "\n" << test::readBytes(out);
        for (std::size_t k = 0; k < got.size(); ++k) {
            EXPECT_EQ(got[k], expected[k]);
        }
        compared += got.size();
    }
    RecordProperty("compared", static_cast<int>(compared));
}

}  // namespace
}  // namespace vantrel
