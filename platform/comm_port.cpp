#include "platform/comm_port.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <set>

namespace zarn {

struct CommPort {
    int fd = -1;
    dev_t device = 0;
    ino_t inode = 0;
    termios original {};
    bool haveOriginal = false;
    COMMTIMEOUTS timeouts;
    uint32_t inQueue = 4096, outQueue = 1024;
};

namespace {

std::mutex openMutex;
std::set<std::pair<dev_t, ino_t>> openPorts;
thread_local int lastError = 0;

bool fail(int error) {
    lastError = error;
    return false;
}

CommHandle failOpen(int error) {
    lastError = error;
    return INVALID_COMM_HANDLE;
}

// A terminal whose other side has gone (a pty's master closed, an adapter pulled) reads as
// nothing for ever, as an idle line does; only poll tells them apart.
bool hungUp(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

struct SpeedEntry {
    uint32_t baud;
    speed_t speed;
};
constexpr SpeedEntry kSpeeds[] = {{1200, B1200},   {2400, B2400},   {4800, B4800},
                                  {9600, B9600},   {19200, B19200}, {38400, B38400},
                                  {57600, B57600}, {115200, B115200}};

bool toSpeed(uint32_t baud, speed_t& speed) {
    for (auto e : kSpeeds)
        if (e.baud == baud) return speed = e.speed, true;
    return false;
}

uint32_t toBaud(speed_t speed) {
    for (auto e : kSpeeds)
        if (e.speed == speed) return e.baud;
    return 0;
}

// Raw mode: no line editing, echo, signals, character translation or software flow
// control, so every byte (0x11 and 0x13 included) passes unchanged; reads never wait.
void makeRawMode(termios& t) {
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag |= CREAD | CLOCAL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
}

bool applyLineSettings(termios& t, const DCB& dcb) {
    speed_t speed;
    if (!toSpeed(dcb.BaudRate, speed)) return false;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    switch (dcb.ByteSize) {
        case 5: t.c_cflag |= CS5; break;
        case 6: t.c_cflag |= CS6; break;
        case 7: t.c_cflag |= CS7; break;
        case 8: t.c_cflag |= CS8; break;
        default: return false;
    }
    if (dcb.Parity == ODDPARITY) t.c_cflag |= PARENB | PARODD;
    if (dcb.Parity == EVENPARITY) t.c_cflag |= PARENB;
    if (dcb.StopBits == TWOSTOPBITS) t.c_cflag |= CSTOPB;
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == 2) t.c_cflag |= CRTSCTS;
    if (dcb.fOutX) t.c_iflag |= IXON;
    if (dcb.fInX) t.c_iflag |= IXOFF;
    return true;
}

// A pseudo-terminal has no modem lines and refuses these requests; that is no failure.
// Any other refusal is, with its reason kept for lastCommError().
bool modemLine(int fd, int line, bool on) {
    const int rc = ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line);
    return rc == 0 || errno == ENOTTY || errno == EINVAL || fail(errno);
}

bool valid(CommHandle port) { return port && port->fd >= 0; }

}  // namespace

std::string commPortPath(const std::string& name) {
    if (!name.empty() && name[0] == '/') return name;
    if (name.size() < 4 || (name.compare(0, 3, "COM") != 0 && name.compare(0, 3, "com") != 0)) return {};
    std::string digits = name.substr(3);
    if (!digits.empty() && digits.back() == ':') digits.pop_back();
    if (digits.empty() || digits.size() > 3 || digits.find_first_not_of("0123456789") != std::string::npos)
        return {};
    const int n = std::atoi(digits.c_str());
    return n >= 1 ? "/dev/ttyS" + std::to_string(n - 1) : std::string();
}

int lastCommError() { return lastError; }

CommHandle CreateCommPort(const std::string& name) {
    const std::string path = commPortPath(name);
    if (path.empty()) return failOpen(ENOENT);
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return failOpen(errno);
    // Another program's lock on a terminal means it is using the port.
    if (isatty(fd) && flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno == EWOULDBLOCK ? EBUSY : errno;
        close(fd);
        return failOpen(error);
    }
    struct stat st {};
    fstat(fd, &st);
    std::lock_guard lock(openMutex);
    if (!openPorts.insert({st.st_dev, st.st_ino}).second) {
        close(fd);
        return failOpen(EBUSY);
    }
    auto* port = new CommPort;
    port->fd = fd;
    port->device = st.st_dev;
    port->inode = st.st_ino;
    port->haveOriginal = tcgetattr(fd, &port->original) == 0;
    return port;
}

bool GetCommState(CommHandle port, DCB* dcb) {
    termios t {};
    if (!valid(port) || !dcb || tcgetattr(port->fd, &t) != 0) return false;
    dcb->BaudRate = toBaud(cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
        case CS5: dcb->ByteSize = 5; break;
        case CS6: dcb->ByteSize = 6; break;
        case CS7: dcb->ByteSize = 7; break;
        default: dcb->ByteSize = 8; break;
    }
    dcb->Parity = !(t.c_cflag & PARENB) ? NOPARITY : (t.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
    dcb->StopBits = (t.c_cflag & CSTOPB) ? TWOSTOPBITS : ONESTOPBIT;
    dcb->fOutxCtsFlow = (t.c_cflag & CRTSCTS) ? 1 : 0;
    dcb->fOutX = (t.c_iflag & IXON) ? 1 : 0;
    dcb->fInX = (t.c_iflag & IXOFF) ? 1 : 0;
    return true;
}

bool SetCommState(CommHandle port, const DCB* dcb) {
    termios t {};
    if (!valid(port) || !dcb) return fail(EINVAL);
    if (tcgetattr(port->fd, &t) != 0) return fail(errno);
    makeRawMode(t);
    if (!applyLineSettings(t, *dcb)) return fail(EINVAL);
    if (tcsetattr(port->fd, TCSANOW, &t) != 0) return fail(errno);
    return modemLine(port->fd, TIOCM_RTS, dcb->fRtsControl == RTS_CONTROL_ENABLE) &&
           modemLine(port->fd, TIOCM_DTR, dcb->fDtrControl == DTR_CONTROL_ENABLE);
}

bool GetCommTimeouts(CommHandle port, COMMTIMEOUTS* timeouts) {
    if (!valid(port) || !timeouts) return false;
    *timeouts = port->timeouts;
    return true;
}

bool SetCommTimeouts(CommHandle port, const COMMTIMEOUTS* timeouts) {
    if (!valid(port) || !timeouts) return false;
    port->timeouts = *timeouts;
    return true;
}

bool SetupComm(CommHandle port, uint32_t inQueue, uint32_t outQueue) {
    if (!valid(port)) return false;
    port->inQueue = inQueue;
    port->outQueue = outQueue;
    return true;
}

bool PurgeComm(CommHandle port, uint32_t flags) {
    if (!valid(port)) return false;
    bool ok = true;
    if (flags & PURGE_TXCLEAR) ok = tcflush(port->fd, TCOFLUSH) == 0 && ok;
    if (flags & PURGE_RXCLEAR) ok = tcflush(port->fd, TCIFLUSH) == 0 && ok;
    return ok;
}

bool EscapeCommFunction(CommHandle port, uint32_t function) {
    if (!valid(port)) return false;
    switch (function) {
        case SETRTS: return modemLine(port->fd, TIOCM_RTS, true);
        case CLRRTS: return modemLine(port->fd, TIOCM_RTS, false);
        case SETDTR: return modemLine(port->fd, TIOCM_DTR, true);
        case CLRDTR: return modemLine(port->fd, TIOCM_DTR, false);
        default: return false;
    }
}

bool ReadFile(CommHandle port, void* buffer, uint32_t length, uint32_t* read) {
    if (read) *read = 0;
    if (!valid(port) || !buffer) return fail(EINVAL);
    const ssize_t n = ::read(port->fd, buffer, length);
    if (n > 0) {
        if (read) *read = static_cast<uint32_t>(n);
        return true;
    }
    if (n == 0) return length == 0 || !hungUp(port->fd) || fail(EIO);
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || fail(errno);
}

bool WriteFile(CommHandle port, const void* buffer, uint32_t length, uint32_t* written) {
    if (written) *written = 0;
    if (!valid(port) || (!buffer && length)) return fail(EINVAL);
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    uint32_t done = 0;
    int error = 0;
    while (done < length && !error) {
        const ssize_t n = ::write(port->fd, bytes + done, length - done);
        if (n > 0) {
            done += static_cast<uint32_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{port->fd, POLLOUT, 0};
            if (poll(&p, 1, 1000) <= 0) error = ETIMEDOUT;
        } else {
            error = n < 0 ? errno : EIO;
        }
    }
    if (written) *written = done;
    return !error || fail(error);
}

int commPortDescriptor(CommHandle port) { return valid(port) ? port->fd : -1; }

bool CloseCommPort(CommHandle port) {
    if (!valid(port)) return false;
    if (port->haveOriginal) tcsetattr(port->fd, TCSANOW, &port->original);
    close(port->fd);
    {
        std::lock_guard lock(openMutex);
        openPorts.erase({port->device, port->inode});
    }
    delete port;
    return true;
}

}  // namespace zarn
