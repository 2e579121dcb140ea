#include "tools/board_sim/pty_port.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

namespace zarn::sim {

PtyPort::~PtyPort() {
    if (keeper_ >= 0) close(keeper_);
    if (master_ >= 0) close(master_);
}

bool PtyPort::open(std::string& error) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        error = std::string("cannot open a pseudo-terminal: ") + strerror(errno);
        return false;
    }
    char name[256];
    if (ptsname_r(master_, name, sizeof name) != 0) {
        error = "cannot name the pseudo-terminal";
        return false;
    }
    path_ = name;
    keeper_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t {};
    if (keeper_ < 0 || tcgetattr(keeper_, &t) != 0) {
        error = "cannot open " + path_;
        return false;
    }
    cfmakeraw(&t);
    cfsetispeed(&t, B38400);
    cfsetospeed(&t, B38400);
    tcsetattr(keeper_, TCSANOW, &t);
    return true;
}

size_t PtyPort::readSome(uint8_t* buffer, size_t capacity) {
    const ssize_t n = ::read(master_, buffer, capacity);
    return n > 0 ? static_cast<size_t>(n) : 0;
}

size_t PtyPort::writeSome(const uint8_t* bytes, size_t length) {
    const ssize_t n = ::write(master_, bytes, length);
    return n > 0 ? static_cast<size_t>(n) : 0;
}

}  // namespace zarn::sim
