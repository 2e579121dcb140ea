// The programs' command lines, run as a user runs them, and `zarn --port` reaching a
// board that no registry key names.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "testing/sim_device.h"
#include "zarn_version.h"

namespace zarn {
namespace {

struct Ran {
    int status = -1;  // the exit status; -1 when killed
    std::string out, err;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs bin/PROGRAM with args and extra environment; a program still running after 20 s
// is killed and reported as such.
Ran run(const std::string& program, const std::vector<std::string>& args,
        const std::vector<std::pair<std::string, std::string>>& environment = {}) {
    const std::string dir = std::filesystem::temp_directory_path() / ("zarn-cl-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = std::string(ZARN_BIN_DIR) + "/" + program;
    const pid_t child = fork();
    if (child == 0) {
        const int out = open((dir + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open((dir + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        unsetenv("ZARN_UI");
        unsetenv("ZARN_PORT");
        setenv("SDL_VIDEODRIVER", "no-such-driver", 1);  // a program that opens a window fails
        setenv("ZARN_MUTE", "1", 1);
        setenv("ZARN_GPSD", "off", 1);  // a gpsd on this machine stays out of it
        for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(path.c_str())};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    Ran ran;
    int status = 0;
    pid_t done = 0;
    for (int tick = 0; tick < 400 && done == 0; ++tick) {
        done = waitpid(child, &status, WNOHANG);
        if (done == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (done == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    } else if (WIFEXITED(status)) {
        ran.status = WEXITSTATUS(status);
    }
    ran.out = readFile(dir + "/out");
    ran.err = readFile(dir + "/err");
    std::filesystem::remove_all(dir);
    return ran;
}

struct Case {
    const char* program;
    std::vector<std::string> args;
    int status;
    const char* out;  // expected within stdout; for a failure, within stderr
};

class ProgramCommandLines : public ::testing::TestWithParam<Case> {};

TEST_P(ProgramCommandLines, AnswerWithoutAWindowOrABoard) {
    const Case& c = GetParam();
    const Ran ran = run(c.program, c.args, {{"ZARN_ROOT", "/nonexistent/zarn-root"}});
    EXPECT_EQ(ran.status, c.status) << ran.err;
    const std::string& where = c.status == 0 ? ran.out : ran.err;
    EXPECT_NE(where.find(c.out), std::string::npos) << "stdout:\n" << ran.out << "stderr:\n" << ran.err;
    if (c.status == 2) {
        EXPECT_NE(ran.err.find(std::string("Usage: ") + c.program), std::string::npos);
    }
}

const std::string kVersionLine = std::string(" ") + kZarnVersion + "\n";

INSTANTIATE_TEST_SUITE_P(
    EveryProgram, ProgramCommandLines,
    ::testing::Values(
        Case{"zarn", {"--help"}, 0, "  -p, --port=PATH"}, Case{"zarn", {"--version"}, 0, kVersionLine.c_str()},
        Case{"zarn", {"--bogus"}, 2, "zarn: unknown option '--bogus'"},
        Case{"zarn", {"--port"}, 2, "zarn: option '--port' needs a value (PATH)"},
        Case{"zarn", {"--rotate", "45"}, 2, "zarn: --rotate: '45' is not 0, 90, 180 or 270"},
        Case{"zarn-board-sim", {"--help"}, 0, "Scene file:"},
        Case{"zarn-board-sim", {"-V"}, 0, kVersionLine.c_str()},
        Case{"zarn-board-sim", {"--seconds", "abc"}, 2, "zarn-board-sim: --seconds: 'abc' is not a number"},
        Case{"zarn-board-sim", {"--no-register", "--capture", "/no/dir/x"}, 1,
             "zarn-board-sim: cannot write /no/dir/x: No such file or directory"},
        Case{"zarn-board-sim", {"--no-register", "--unpaced", "--seconds", "0.2"}, 0, "frames sent: 0"},
        Case{"zarn-record", {"--help"}, 0, "--spectrum=LOW:HIGH"},
        Case{"zarn-record", {"-V"}, 0, kVersionLine.c_str()},
        Case{"zarn-record", {"--seconds", "abc"}, 2, "zarn-record: --seconds: 'abc' is not a number"},
        Case{"zarn-line-check", {"--help"}, 0, "--unpaced=N"},
        Case{"zarn-line-check", {"--idle", "-1"}, 2, "zarn-line-check: --idle: -1 is out of range"},
        Case{"zarn-line-check", {"--sim"}, 2, "option '--sim' needs a value (PATH)"},
        Case{"zarn-meter", {"--help"}, 0, "--screen=NAME"}, Case{"zarn-meter", {"-V"}, 0, kVersionLine.c_str()},
        Case{"zarn-meter", {"--screen", "table"}, 2, "zarn-meter: --screen: 'table' is not spectrum, menu or record"},
        Case{"zarn-meter", {"--repeat", "0"}, 2, "zarn-meter: --repeat: 0 is out of range"},
        Case{"ZarnSetup", {"--version"}, 0, kVersionLine.c_str()},
        Case{"ZarnSetup", {"install"}, 2, "ZarnSetup: unexpected argument 'install'"},
        Case{"ui_gallery", {"-h"}, 0, "Usage: ui_gallery [OPTION]..."},
        Case{"ui_gallery", {"-x"}, 2, "ui_gallery: unknown option '-x'"},
        Case{"zarnlog", {"--help"}, 0, "  report FILE... -o OUT.html"},
        Case{"zarnlog", {"--version"}, 0, kVersionLine.c_str()},
        Case{"zarnlog", {"csv", "a.zrn", "--bogus"}, 2, "zarnlog: unknown option '--bogus'"},
        Case{"zarnlog", {"db", "status", "--mhz"}, 2, "zarnlog: option '--mhz' needs a value (MHZ)"}),
    [](const ::testing::TestParamInfo<Case>& info) {
        std::string name = std::string(info.param.program) + "_" + std::to_string(info.index);
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

// A board on an adapter the registry knows nothing of: the simulator registers no key,
// and the program reaches it only through --port or ZARN_PORT (here a by-id style link).
TEST(ZarnPort, ReachesTheBoardWithNoRegistryKeyAtAll) {
    for (const bool byEnvironment : {false, true}) {
        SCOPED_TRACE(byEnvironment ? "ZARN_PORT" : "--port");
        SimDevice device;
        std::string error;
        ASSERT_TRUE(device.start(ZARN_BOARD_SIM_PATH, {"--no-register"}, error)) << error;
        ASSERT_FALSE(std::filesystem::exists(device.root + "/registry.reg"));
        const std::string link = device.root + "/usb-FTDI_FT232R_USB_UART_A10KZP4L-if00-port0";
        std::filesystem::create_symlink(device.sim.ptyPath(), link);
        const Ran ran = byEnvironment
                            ? run("zarn", {}, {{"ZARN_ROOT", device.root}, {"ZARN_UI", "headless"}, {"ZARN_PORT", link}})
                            : run("zarn", {"--port", device.sim.ptyPath()},
                                  {{"ZARN_ROOT", device.root}, {"ZARN_UI", "headless"}});
        EXPECT_EQ(ran.status, 0) << ran.err;
        ASSERT_TRUE(device.sim.stop());
        EXPECT_EQ(device.sim.framesSent(1), 1);  // the version request was answered
        EXPECT_NE(readFile(device.capturePath()).find("\x11\x12\x01\x11\x13"), std::string::npos);
    }
}

}  // namespace
}  // namespace zarn
