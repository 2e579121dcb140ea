#include "board/serial_link.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "board/link_thread.h"
#include "board/request_frame.h"
#include "board/test_support.h"
#include "platform/message_box.h"
#include "platform/registry.h"
#include "platform/registry_file.h"

using namespace zarn;

namespace {

struct BoxRecorder : MessageBoxSink {
    int showMessageBox(const char* text, uint32_t type) override {
        texts.emplace_back(text);
        types.push_back(type);
        return IDOK;
    }
    std::vector<std::string> texts;
    std::vector<uint32_t> types;
};

class SerialLinkTest : public ::testing::Test {
protected:
    void SetUp() override { setMessageBoxSink(&boxes); }
    void TearDown() override {
        setMessageBoxSink(nullptr);
        registry::clear();
    }
    void registerPort(const std::string& name) {
        registry::clear();
        registry::setValue("HKEY_LOCAL_MACHINE\\Drivers\\Active\\7", "PnpId", "CF-Serial_I-O");
        registry::setValue("HKEY_LOCAL_MACHINE\\Drivers\\Active\\7", "Name", name);
    }
    BoxRecorder boxes;
};

struct Pty {
    Pty() { openpty(&master, &slave, name, nullptr, nullptr); }
    ~Pty() {
        if (slave >= 0) close(slave);
        if (master >= 0) close(master);
    }
    int master = -1, slave = -1;
    char name[128] = {};
};

// Tests run as root, whom no permission stops: the open is then made as nobody.
void becomeNobody() {
    if (geteuid() != 0) return;
    if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) std::_Exit(3);
}

}  // namespace

TEST_F(SerialLinkTest, MissingPortShowsCannotOpenAndRunsWithoutPort) {
    registerPort("/dev/zarn-missing-port");
    SerialLink link(38400);
    EXPECT_FALSE(link.valid());
    EXPECT_STREQ(link.portName(), "/dev/zarn-missing-port");
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], "Cannot Open Connection To Board.");
    EXPECT_EQ(boxes.types[0], MB_OK);
    const uint8_t bytes[] = {1, 2};
    EXPECT_TRUE(link.sendBytes(bytes, 2));  // taken, goes nowhere
    uint8_t buf[4];
    EXPECT_EQ(link.readBytes(buf, 4), 0);
}

TEST_F(SerialLinkTest, PortThatIsNoTerminalShowsSetCommStateAndCloses) {
    registerPort("/dev/null");
    SerialLink link(38400);
    EXPECT_FALSE(link.valid());
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], "Could not SetCommState");
}

TEST_F(SerialLinkTest, OpensAPtyAndStoresAtMost128Bytes) {
    int master = -1, slave = -1;
    char name[128];
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    registerPort(name);
    {
        SerialLink link(38400);
        EXPECT_TRUE(link.valid());
        EXPECT_TRUE(boxes.texts.empty());
        std::vector<uint8_t> bytes(200, 0x5A);
        bytes[127] = 0x01;
        bytes[128] = 0x02;
        EXPECT_TRUE(link.sendBytes(bytes.data(), 200));
        uint8_t out[SendSlot::kCapacity];
        ASSERT_EQ(link.sendSlot().take(out), 128u);
        EXPECT_EQ(out[127], 0x01);
        link.writeBytes(out, 128);
        uint8_t back[256];
        EXPECT_EQ(read(master, back, sizeof back), 128);
    }
    close(slave);
    close(master);
}

// The box stays the device's; stderr names the port, the system's reason and what helps.
TEST_F(SerialLinkTest, APortThatDoesNotOpenIsNamedOnStderrWithTheReasonAndAHint) {
    Pty locked, forbidden;
    ASSERT_GE(locked.master, 0);
    ASSERT_GE(forbidden.master, 0);
    const int holder = open(locked.name, O_RDWR | O_NOCTTY);  // another program using the port
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    ASSERT_EQ(fchmod(forbidden.slave, 0), 0);
    struct Case {
        const char* what;
        std::string port;
        bool asNobody;
        std::string says;
    } cases[] = {
        {"missing", "/dev/zarn-missing-port", false,
         "/dev/zarn-missing-port: No such file or directory.*hint: .*ls -l /dev/serial/by-id/"},
        {"without permission", forbidden.name, true,
         std::string(forbidden.name) + ": Permission denied.*hint: .*dialout.*uaccess"},
        {"held by another program", locked.name, false,
         std::string(locked.name) + ": Device or resource busy.*hint: another program holds the port: .* \\(process " +
             std::to_string(getpid()) + "\\)"},
    };
    for (const auto& c : cases) {
        registerPort(c.port);
        EXPECT_EXIT(
            {
                if (c.asNobody) becomeNobody();
                SerialLink link(38400);
                const bool boxShown = boxes.texts == std::vector<std::string>{kCannotOpenText};
                std::_Exit(!link.valid() && boxShown ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "cannot open the board's port " + c.says)
            << c.what;
    }
    close(holder);
}

// Reopening reads the registry file again, as a new simulator's key is written to it, and
// tries every card in turn: a key left behind by a killed simulator does not block the next.
TEST_F(SerialLinkTest, ReopenReadsTheRegistryAgainAndTriesEveryCardInTurn) {
    char tmpl[] = "/tmp/zarn-reopen-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string file = std::string(tmpl) + "/registry.reg";
    const std::string active = "HKEY_LOCAL_MACHINE\\Drivers\\Active\\";
    auto addCard = [&](const std::string& key, const std::string& name) {
        ASSERT_TRUE(setRegistryKey(file, active + key, {{"PnpId", "CF-Serial_I-O"}, {"Name", name}}));
    };
    addCard("ZarnSim1", "/dev/zarn-killed-terminal");
    loadRegistry(file, std::string(tmpl) + "/no-adapters");
    SerialLink link(38400);
    ASSERT_FALSE(link.valid());
    EXPECT_FALSE(link.reopen());

    Pty first, second;
    addCard("ZarnSim2", first.name);
    ASSERT_TRUE(link.reopen());
    EXPECT_STREQ(link.portName(), first.name);
    addCard("ZarnSim3", second.name);
    ASSERT_TRUE(link.reopen()) << "the board was silent on the first: the second comes first now";
    EXPECT_STREQ(link.portName(), second.name);
    link.close();
    ASSERT_TRUE(link.reopen());
    EXPECT_STREQ(link.portName(), first.name);
    link.close();
    ASSERT_TRUE(link.reopen()) << "the port that failed is tried after the others";
    EXPECT_STREQ(link.portName(), second.name);

    close(second.master);  // the board's side goes away
    second.master = -1;
    uint8_t buf[8];
    EXPECT_EQ(link.readBytes(buf, sizeof buf), -EIO);
    EXPECT_EQ(link.writeBytes(buf, 1), -EIO);
    link.close();
    EXPECT_FALSE(link.valid());
    std::filesystem::remove_all(tmpl);
}

// The board's key gone with the board (its simulator ended, its adapter pulled): another
// adapter that start-up saw is not the board and is left alone, while a port listed since,
// in the registry or among the adapters, is tried.
TEST_F(SerialLinkTest, WhileTheBoardIsLostAPortStartUpSawIsNotOpened) {
    char tmpl[] = "/tmp/zarn-lost-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string file = std::string(tmpl) + "/registry.reg", adapters = std::string(tmpl) + "/by-id";
    const std::string active = "HKEY_LOCAL_MACHINE\\Drivers\\Active\\";
    std::filesystem::create_directories(adapters);
    Pty board, other, seen, next;
    ASSERT_TRUE(setRegistryKey(file, active + "Board", {{"PnpId", "CF-Serial_I-O"}, {"Name", board.name}}));
    ASSERT_TRUE(setRegistryKey(file, active + "Other", {{"PnpId", "CF-Serial_I-O"}, {"Name", other.name}}));
    std::filesystem::create_symlink(seen.name, adapters + "/usb-Quatech_SSP-100_A1-if00");
    loadRegistry(file, adapters);
    SerialLink link(38400);
    ASSERT_TRUE(link.valid());
    ASSERT_STREQ(link.portName(), board.name);

    ASSERT_TRUE(removeRegistryKey(file, active + "Board"));
    link.close();  // as the link thread closes it when the board is lost
    EXPECT_FALSE(link.reopen()) << "opened " << link.portName();
    EXPECT_FALSE(link.reopen());

    std::filesystem::create_symlink(next.name, adapters + "/usb-Quatech_SSP-100_B2-if00");
    ASSERT_TRUE(link.reopen());
    EXPECT_EQ(link.name(), adapters + "/usb-Quatech_SSP-100_B2-if00");
    std::filesystem::remove_all(tmpl);
}

// The link sleeps on the port between frames: a frame the board sends wakes it at once,
// a request from the program too, and so does the end of the program.
TEST_F(SerialLinkTest, ASleepingLinkWakesForTheBoardsFrameARequestAndItsEnd) {
    Pty board;
    registerPort(board.name);
    SerialLink link(38400);
    ASSERT_TRUE(link.valid());
    zarn::testing::WiredBoard wired;
    SystemSecondsClock clock;
    LinkThread thread(wired.board, link.sendSlot(), link, clock);
    thread.start();
    const auto within = [](const std::function<bool()>& done) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return done();
    };
    std::vector<uint8_t> line;  // what the link wrote
    const auto lineHolds = [&](size_t bytes) {
        return within([&] {
            uint8_t chunk[64];
            const ssize_t n = read(board.master, chunk, sizeof chunk);
            if (n > 0) line.insert(line.end(), chunk, chunk + n);
            return line.size() >= bytes;
        });
    };
    ASSERT_EQ(fcntl(board.master, F_SETFL, O_NONBLOCK), 0);
    ASSERT_TRUE(lineHolds(2)) << "the keep-alive at start";
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::vector<uint8_t> frame;
    appendFrame(frame, 2, reinterpret_cast<const uint8_t*>("ZS1\0"), 4);
    ASSERT_EQ(write(board.master, frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
    EXPECT_TRUE(within([&] { return thread.framesDecoded() == 1; })) << "the frame waited for the keep-alive";
    EXPECT_STREQ(wired.board.serialNumber, "ZS1");

    const uint8_t request[] = {0x11, 0x12, 0x08, 0x00, 0x11, 0x13};
    link.sendBytes(request, sizeof request);
    ASSERT_TRUE(lineHolds(2 + sizeof request)) << "the request waited for the keep-alive";
    EXPECT_EQ(std::vector<uint8_t>(line.begin() + 2, line.end()), std::vector<uint8_t>(request, request + sizeof request));

    const auto stopping = std::chrono::steady_clock::now();
    thread.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(5)) << "the stop waited for the keep-alive";
}
