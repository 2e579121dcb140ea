#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "zarn_version.h"

namespace zarn {
namespace {

struct Values {
    bool unpaced = false;
    std::string scene;
    double seconds = 0;
    int count = 7;
};

CommandLine demoLine(Values& v) {
    return {"demo",
            "Does what a demo does.",
            {flagOption("unpaced", 0, "send as fast as the line takes it", v.unpaced),
             textOption("scene", 0, "FILE", "radio scene to measure\n(default: built in)", v.scene),
             numberOption("seconds", 's', "N", "end after N seconds", v.seconds, 0, 1e6),
             integerOption("count", 0, "K", "how many", v.count, 1, 1000)},
            "Scene file: one item a line.\n"};
}

struct Case {
    std::vector<const char*> args;
    std::optional<int> status;
    const char* out;  // expected within stdout (errors: within stderr)
};

// The case's name in test listings: its arguments.
void PrintTo(const Case& c, std::ostream* out) {
    std::string name;
    for (const char* a : c.args) name += std::string(name.empty() ? "" : "_") + a;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    *out << name;
}

class CommandLineCases : public ::testing::TestWithParam<Case> {};

// Every program parses through this, one case after another in the same process, so
// each case also checks that a parse starts afresh.
TEST_P(CommandLineCases, EndsWithTheRightStatusAndWords) {
    const Case& c = GetParam();
    std::vector<char*> argv{const_cast<char*>("demo")};
    for (const char* a : c.args) argv.push_back(const_cast<char*>(a));
    argv.push_back(nullptr);
    Values v;
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const auto status = parseCommandLine(demoLine(v), static_cast<int>(argv.size() - 1), argv.data());
    const std::string out = ::testing::internal::GetCapturedStdout();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, c.status);
    if (status == 2) {
        EXPECT_EQ(out, "");
        EXPECT_NE(err.find(std::string("demo: ") + c.out + "\n"), std::string::npos) << err;
        EXPECT_NE(err.find("Usage: demo [OPTION]...\nOptions:\n"), std::string::npos) << err;
    } else {
        EXPECT_EQ(err, "");
        EXPECT_NE(out.find(c.out), std::string::npos) << out;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Refused, CommandLineCases,
    ::testing::Values(Case{{"--seconds", "abc"}, 2, "--seconds: 'abc' is not a number"},
                      Case{{"--seconds=5x"}, 2, "--seconds: '5x' is not a number"},
                      Case{{"-s", "inf"}, 2, "--seconds: 'inf' is not a number"},
                      Case{{"--seconds", "-1"}, 2, "--seconds: -1 is out of range (0 to 1e+06)"},
                      Case{{"--count", "2147483648"}, 2, "--count: 2147483648 is out of range (1 to 1000)"},
                      Case{{"--count", "2.5"}, 2, "--count: '2.5' is not a number"},
                      Case{{"--unpaced", "--seconds"}, 2, "option '--seconds' needs a value (N)"},
                      Case{{"-s"}, 2, "option '--seconds' needs a value (N)"},
                      Case{{"--scene="}, 2, "--scene: the value is empty"},
                      Case{{"--bogus=3"}, 2, "unknown option '--bogus'"},
                      Case{{"-x"}, 2, "unknown option '-x'"},
                      Case{{"--unpaced=yes"}, 2, "option '--unpaced' takes no value"},
                      Case{{"--unpaced", "stray"}, 2, "unexpected argument 'stray'"}),
    ::testing::PrintToStringParamName());

INSTANTIATE_TEST_SUITE_P(
    Answered, CommandLineCases,
    ::testing::Values(Case{{"--help", "--bogus"}, 0,
                           "Usage: demo [OPTION]...\nDoes what a demo does.\n\nOptions:\n"
                           "      --unpaced     send as fast as the line takes it\n"
                           "      --scene=FILE  radio scene to measure\n"
                           "                    (default: built in)\n"},
                      Case{{"-h"}, 0, "  -V, --version     show the version and exit\n\nScene file: one item a line.\n"},
                      Case{{"--version"}, 0, "demo "}),
    ::testing::PrintToStringParamName());

TEST(CommandLine, VersionIsTheProjectsOne) {
    Values v;
    char* argv[] = {const_cast<char*>("demo"), const_cast<char*>("-V"), nullptr};
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(parseCommandLine(demoLine(v), 2, argv), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), std::string("demo ") + kZarnVersion + "\n");
}

TEST(CommandLine, TakesEveryKindOfValue) {
    Values v;
    char* argv[] = {const_cast<char*>("demo"), const_cast<char*>("--scene=a b.txt"), const_cast<char*>("-s"),
                    const_cast<char*>("2.5"), const_cast<char*>("--unpaced"), const_cast<char*>("--count"),
                    const_cast<char*>("12"), nullptr};
    EXPECT_EQ(parseCommandLine(demoLine(v), 7, argv), std::nullopt);
    EXPECT_TRUE(v.unpaced);
    EXPECT_EQ(v.scene, "a b.txt");
    EXPECT_EQ(v.seconds, 2.5);
    EXPECT_EQ(v.count, 12);
}

// A program of commands: operands anywhere among the options, its own help and usage,
// a reason that names its option in its own words, all on the streams given.
TEST(CommandLine, GathersOperandsAndSpeaksAsTheProgramDoes) {
    Values v;
    std::vector<std::string> operands;
    CommandLine line = demoLine(v);
    line.options.push_back({"level", 0, "DBM", "", [](const char* value) {
                                return std::string("--level ") + value + ": not a level in dBm";
                            }});
    line.operands = &operands;
    line.help = "Usage: demo COMMAND FILE\n";
    line.usage = "Usage: demo COMMAND FILE\nTry 'demo --help'.\n";
    std::ostringstream out, err;
    EXPECT_EQ(parseCommandLine(line, {"show", "-s", "3", "a.log", "--unpaced"}, out, err), std::nullopt);
    EXPECT_EQ(operands, (std::vector<std::string>{"show", "a.log"}));
    EXPECT_EQ(v.seconds, 3);
    EXPECT_TRUE(v.unpaced);
    EXPECT_EQ(parseCommandLine(line, {"show", "--level", "loud"}, out, err), 2);
    EXPECT_EQ(err.str(), "demo: --level loud: not a level in dBm\nUsage: demo COMMAND FILE\nTry 'demo --help'.\n");
    EXPECT_EQ(parseCommandLine(line, {"show", "-h"}, out, err), 0);
    EXPECT_EQ(out.str(), "Usage: demo COMMAND FILE\n");
}

}  // namespace
}  // namespace zarn
