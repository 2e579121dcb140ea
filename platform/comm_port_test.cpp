#include "platform/comm_port.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <string>
#include <thread>

using namespace zarn;

namespace {

class Pty : public ::testing::Test {
protected:
    void SetUp() override {
        char name[128];
        ASSERT_EQ(openpty(&master_, &slave_, name, nullptr, nullptr), 0);
        path_ = name;
    }
    void TearDown() override {
        close(slave_);
        close(master_);
    }
    CommHandle openConfigured() {
        CommHandle port = CreateCommPort(path_);
        if (port == INVALID_COMM_HANDLE) return port;
        DCB dcb;
        GetCommState(port, &dcb);
        dcb.BaudRate = 38400;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        dcb.fDtrControl = DTR_CONTROL_DISABLE;
        dcb.fOutX = 0;
        dcb.fInX = 0;
        EXPECT_TRUE(SetCommState(port, &dcb));
        return port;
    }
    int master_ = -1, slave_ = -1;
    std::string path_;
};

}  // namespace

TEST(CommPortPath, MapsComNamesAndHostPaths) {
    struct Case { const char* name; const char* path; };
    for (Case c : {Case{"COM1:", "/dev/ttyS0"}, Case{"COM3:", "/dev/ttyS2"}, Case{"COM12", "/dev/ttyS11"},
                   Case{"/dev/pts/4", "/dev/pts/4"}, Case{"COM0:", ""}, Case{"COMX:", ""},
                   Case{"LPT1:", ""}, Case{"", ""}})
        EXPECT_EQ(commPortPath(c.name), c.path) << c.name;
}

TEST(CommPort, MissingDeviceFailsToOpen) {
    EXPECT_EQ(CreateCommPort("/dev/zarn-no-such-port"), INVALID_COMM_HANDLE);
    EXPECT_EQ(CreateCommPort("LPT1:"), INVALID_COMM_HANDLE);
}

TEST(CommPort, SetCommStateFailsOnAFileThatIsNoTerminal) {
    CommHandle port = CreateCommPort("/dev/null");
    ASSERT_NE(port, INVALID_COMM_HANDLE);
    DCB dcb;
    dcb.BaudRate = 38400;
    EXPECT_FALSE(SetCommState(port, &dcb));
    EXPECT_TRUE(CloseCommPort(port));
}

TEST_F(Pty, RawSettingsAtSpeedAndModemCallsSucceedOnAPty) {
    CommHandle port = openConfigured();
    ASSERT_NE(port, INVALID_COMM_HANDLE);
    termios t {};
    ASSERT_EQ(tcgetattr(slave_, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), B38400);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(t.c_cflag & (PARENB | CSTOPB | CRTSCTS));
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF | ICRNL));
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_TRUE(EscapeCommFunction(port, CLRRTS));
    EXPECT_TRUE(SetupComm(port, 4096, 1024));
    EXPECT_TRUE(PurgeComm(port, PURGE_TXCLEAR));
    EXPECT_TRUE(PurgeComm(port, PURGE_RXCLEAR));
    EXPECT_EQ(CreateCommPort(path_), INVALID_COMM_HANDLE) << "no sharing";
    EXPECT_TRUE(CloseCommPort(port));
}

TEST_F(Pty, ReadsReturnAtOnceAndPassFlowControlBytes) {
    CommHandle port = openConfigured();
    ASSERT_NE(port, INVALID_COMM_HANDLE);
    uint8_t buf[16];
    uint32_t got = 99;
    EXPECT_TRUE(ReadFile(port, buf, sizeof buf, &got));
    EXPECT_EQ(got, 0u);
    const uint8_t frame[] = {0x11, 0x12, 0x08, 0x0D, 0x11, 0x13};
    ASSERT_EQ(write(master_, frame, sizeof frame), static_cast<ssize_t>(sizeof frame));
    uint32_t total = 0;
    for (int i = 0; i < 200 && total < sizeof frame; ++i) {
        ASSERT_TRUE(ReadFile(port, buf + total, sizeof buf - total, &got));
        total += got;
        if (!got) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(total, sizeof frame);
    EXPECT_EQ(std::string(buf, buf + total), std::string(frame, frame + sizeof frame));
    uint32_t written = 0;
    EXPECT_TRUE(WriteFile(port, frame, sizeof frame, &written));
    EXPECT_EQ(written, sizeof frame);
    uint8_t back[16];
    EXPECT_EQ(read(master_, back, sizeof back), static_cast<ssize_t>(sizeof frame));
    EXPECT_TRUE(CloseCommPort(port));
}

TEST_F(Pty, CloseRestoresTheOriginalSettings) {
    termios before {};
    ASSERT_EQ(tcgetattr(slave_, &before), 0);
    ASSERT_TRUE(before.c_lflag & ICANON);
    CommHandle port = openConfigured();
    ASSERT_NE(port, INVALID_COMM_HANDLE);
    EXPECT_TRUE(CloseCommPort(port));
    termios after {};
    ASSERT_EQ(tcgetattr(slave_, &after), 0);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
}

// An adapter can refuse the modem lines for a reason of its own (pulled out between the
// line settings and the lines: EIO). This program's ioctl stands in for the driver's.
namespace {
std::atomic<int> refuseModemLines{0};
}  // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
    va_list args;
    va_start(args, request);
    void* argument = va_arg(args, void*);
    va_end(args);
    if (refuseModemLines && (request == TIOCMBIS || request == TIOCMBIC)) {
        errno = refuseModemLines.load();
        return -1;
    }
    using Ioctl = int (*)(int, unsigned long, ...);
    static const auto next = reinterpret_cast<Ioctl>(dlsym(RTLD_NEXT, "ioctl"));
    return next(fd, request, argument);
}

TEST_F(Pty, APortSetUpFailureNamesTheSystemsReasonForTheCallThatFailed) {
    EXPECT_EQ(CreateCommPort("/dev/zarn-no-such-port"), INVALID_COMM_HANDLE);
    ASSERT_EQ(lastCommError(), ENOENT) << "an older failure";
    CommHandle port = CreateCommPort(path_);
    ASSERT_NE(port, INVALID_COMM_HANDLE);
    DCB dcb;
    GetCommState(port, &dcb);
    dcb.BaudRate = 38400;
    refuseModemLines = EIO;
    EXPECT_FALSE(SetCommState(port, &dcb));
    EXPECT_EQ(lastCommError(), EIO);
    EXPECT_FALSE(EscapeCommFunction(port, CLRRTS));
    refuseModemLines = 0;
    EXPECT_TRUE(SetCommState(port, &dcb)) << "a pty has no modem lines: no failure";
    EXPECT_TRUE(CloseCommPort(port));
}
