#include "board/serial_link.h"

#include <errno.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/message_box.h"
#include "platform/registry_file.h"

namespace zarn {
namespace {

const char* openFailureHint(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return "your user may not use the port: add it to the dialout group (sudo adduser $USER dialout, "
               "then log in again), or install Zarn's udev rule, which gives the logged-in user the "
               "board's adapters (uaccess)";
    case EBUSY:
        return "another program holds the port, most often ModemManager probing a new adapter: stop it "
               "(sudo systemctl stop ModemManager) or install Zarn's udev rule, which keeps it off the "
               "board's adapters";
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return "is the board's adapter plugged in? ls -l /dev/serial/by-id/ lists the adapters present";
    default:
        return nullptr;
    }
}

// "NAME (process PID)" of another process with `device` open, found through /proc; empty when
// none is found (another user's processes are not ours to look into).
std::string processHolding(const std::string& device) {
    std::error_code error;
    const std::filesystem::path wanted = std::filesystem::canonical(device, error);
    if (error) return "";
    const std::string self = std::to_string(::getpid());
    for (const auto& process : std::filesystem::directory_iterator("/proc", error)) {
        const std::string pid = process.path().filename();
        if (pid == self || pid.find_first_not_of("0123456789") != std::string::npos) continue;
        std::error_code unreadable;
        for (const auto& fd : std::filesystem::directory_iterator(process.path() / "fd", unreadable)) {
            std::error_code gone;
            if (std::filesystem::read_symlink(fd.path(), gone) != wanted) continue;
            std::string name;
            std::getline(std::ifstream(process.path() / "comm"), name);
            return name + " (process " + pid + ")";
        }
    }
    return "";
}

// The port as the registry names it and, when that differs, as the host's device.
std::string describePort(const char* name) {
    const std::string path = commPortPath(name);
    if (path.empty() || path == name) return name;
    return std::string(name) + " (" + path + ")";
}

// The user sees the device's message box; the terminal also says which port and why.
void reportPortProblem(const char* what, const char* name, int error) {
    std::fprintf(stderr, "%s: %s %s: %s\n", program_invocation_short_name, what, describePort(name).c_str(),
                 std::strerror(error));
    const std::string holder = error == EBUSY ? processHolding(commPortPath(name)) : "";
    if (!holder.empty())
        std::fprintf(stderr, "%s: hint: another program holds the port: %s; end it, or give this one another port\n",
                     program_invocation_short_name, holder.c_str());
    else if (const char* hint = openFailureHint(error))
        std::fprintf(stderr, "%s: hint: %s\n", program_invocation_short_name, hint);
}

}  // namespace

SerialLink::SerialLink(uint32_t speed) : speed_(speed) {
    discoverPortName(portName_);
    listedAtStart_ = discoverPortNames();
    const Failed failed = openPort(portName_);
    if (failed == Failed::Nothing) return;
    const bool opening = failed == Failed::Open;
    reportPortProblem(opening ? "cannot open the board's port" : "cannot set up the board's port", portName_,
                      lastCommError());
    AfxMessageBox(opening ? kCannotOpenText : kSetCommStateText, MB_OK);
}

// Opens and configures `name` as the board's line; on failure the port stays closed.
SerialLink::Failed SerialLink::openPort(const char* name) {
    CommHandle port = CreateCommPort(name);
    if (port == INVALID_COMM_HANDLE) return Failed::Open;
    DCB dcb;
    GetCommState(port, &dcb);
    dcb.BaudRate = speed_;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = 0;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fNull = 0;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    if (!SetCommState(port, &dcb)) {
        CloseCommPort(port);  // lastCommError() still tells why SetCommState failed
        return Failed::Setup;
    }
    COMMTIMEOUTS timeouts;
    GetCommTimeouts(port, &timeouts);
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    SetCommTimeouts(port, &timeouts);
    SetupComm(port, 4096, 1024);
    PurgeComm(port, PURGE_TXCLEAR);
    PurgeComm(port, PURGE_RXCLEAR);
    port_ = port;
    return Failed::Nothing;
}

SerialLink::~SerialLink() {
    EscapeCommFunction(port_, CLRRTS);
    closeWait_.wait(1000);
    if (port_ != INVALID_COMM_HANDLE) CloseCommPort(port_);
}

bool SerialLink::sendBytes(const uint8_t* bytes, uint32_t length) {
    slot_.store(bytes, length);
    return true;
}

int SerialLink::readBytes(uint8_t* buffer, uint32_t capacity) {
    if (!valid()) return 0;  // no port, no bytes: the program runs on without a board
    uint32_t got = 0;
    return ReadFile(port_, buffer, capacity, &got) ? static_cast<int>(got) : -lastCommError();
}

int SerialLink::writeBytes(const uint8_t* bytes, uint32_t length) {
    if (!valid()) return 0;
    uint32_t written = 0;
    return WriteFile(port_, bytes, length, &written) ? 0 : -lastCommError();
}

void SerialLink::close() {
    if (port_ != INVALID_COMM_HANDLE) CloseCommPort(port_);
    port_ = INVALID_COMM_HANDLE;
    failedPort_ = portName_;
    if (std::find(boardWasOn_.begin(), boardWasOn_.end(), failedPort_) == boardWasOn_.end())
        boardWasOn_.push_back(failedPort_);
}

// The port that failed and one where the board stayed silent come last: the board is more
// likely behind a new name, and a dead simulator's terminal may have gone to another program.
bool SerialLink::reopen() {
    std::string silent;
    if (valid()) {
        silent = portName_;
        CloseCommPort(port_);
        port_ = INVALID_COMM_HANDLE;
    }
    reloadRegistry();
    std::vector<std::string> names =
        portsThatCanBeTheBoard(discoverPortNames(), listedAtStart_, boardWasOn_, firstActiveDriverName());
    std::stable_partition(names.begin(), names.end(),
                          [&](const std::string& n) { return n != silent && n != failedPort_; });
    for (const std::string& name : names) {
        if (name.size() >= kPortNameSize || openPort(name.c_str()) != Failed::Nothing) continue;
        std::memcpy(portName_, name.c_str(), name.size() + 1);
        return true;
    }
    return false;
}

}  // namespace zarn
