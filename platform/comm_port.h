#pragma once
// Serial port: the device's COM port calls over a POSIX terminal.
//
//  - commPortPath(name): `COMn:` (also without the colon) is /dev/ttyS(n-1); a name that
//    begins with `/` is a host device path used as it stands; anything else maps to "".
//  - CreateCommPort(name): opens read/write, O_NOCTTY (never becomes the controlling
//    terminal), non-blocking, and keeps the terminal's settings to restore at close.
//    INVALID_COMM_HANDLE on failure. No sharing: a second open of a port that is open in
//    this process fails, and a terminal is locked (flock) so that another program that
//    locks it, or holds a lock on it, is kept apart; both fail with EBUSY.
//  - GetCommState / SetCommState: the line settings. SetCommState applies raw mode
//    (makeRawMode, the one place that names the terminal flags) plus the DCB's speed,
//    data bits, parity, stop bits and flow control, then drives RTS and DTR as the DCB
//    says. It fails when the handle is no terminal or the speed has no termios value. A
//    modem-control request that the terminal refuses (a pseudo-terminal) is not a failure;
//    any other refusal is, and lastCommError() gives its reason.
//  - SetCommTimeouts: ReadIntervalTimeout = MAXDWORD with the other read timeouts 0 is the
//    one setting supported: ReadFile returns at once with what has arrived, maybe nothing.
//    Other values are kept and reported back but reads stay non-blocking.
//  - SetupComm: the host's queues have fixed sizes; the sizes are kept, nothing changes.
//  - PurgeComm: PURGE_TXCLEAR drops unsent output, PURGE_RXCLEAR unread input (tcflush).
//  - EscapeCommFunction: SETRTS/CLRRTS/SETDTR/CLRDTR; refused by a pty = success.
//  - ReadFile: at most `length` bytes, never waits; count 0 when nothing is there. False on
//    an error other than "nothing yet"; a terminal that has hung up (a pty whose other side
//    is gone, an adapter pulled out) fails with EIO.
//  - WriteFile: writes all bytes, waiting up to 1 s at a time for room in the output queue;
//    false on error (ETIMEDOUT when the room never came).
//  - lastCommError(): the errno of the last call of this thread that failed, as the
//    device's GetLastError: why a port did not open, or why a read or write failed.
//  - CloseCommPort: restores the saved settings and closes; the handle is then invalid.
//  - commPortDescriptor(port): the terminal's descriptor, for poll() to wait for input
//    beside other things; -1 for an invalid handle. Reads and writes stay the calls above.

#include <cstdint>
#include <string>

namespace zarn {

struct CommPort;
using CommHandle = CommPort*;
inline CommHandle const INVALID_COMM_HANDLE = nullptr;

constexpr uint8_t NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2;
constexpr uint8_t ONESTOPBIT = 0, TWOSTOPBITS = 2;
constexpr uint32_t DTR_CONTROL_DISABLE = 0, DTR_CONTROL_ENABLE = 1;
constexpr uint32_t RTS_CONTROL_DISABLE = 0, RTS_CONTROL_ENABLE = 1;
constexpr uint32_t SETRTS = 3, CLRRTS = 4, SETDTR = 5, CLRDTR = 6;
constexpr uint32_t PURGE_TXCLEAR = 4, PURGE_RXCLEAR = 8;
constexpr uint32_t MAXDWORD = 0xFFFFFFFFu;

struct DCB {
    uint32_t BaudRate = 0;
    uint8_t ByteSize = 8;
    uint8_t Parity = NOPARITY;
    uint8_t StopBits = ONESTOPBIT;
    uint32_t fBinary = 1;
    uint32_t fParity = 0;
    uint32_t fOutxCtsFlow = 0;
    uint32_t fOutxDsrFlow = 0;
    uint32_t fDtrControl = DTR_CONTROL_ENABLE;
    uint32_t fDsrSensitivity = 0;
    uint32_t fTXContinueOnXoff = 0;
    uint32_t fOutX = 0;
    uint32_t fInX = 0;
    uint32_t fErrorChar = 0;
    uint32_t fNull = 0;
    uint32_t fRtsControl = RTS_CONTROL_ENABLE;
    uint32_t fAbortOnError = 0;
};

struct COMMTIMEOUTS {
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;
};

std::string commPortPath(const std::string& name);
CommHandle CreateCommPort(const std::string& name);
bool GetCommState(CommHandle port, DCB* dcb);
bool SetCommState(CommHandle port, const DCB* dcb);
bool GetCommTimeouts(CommHandle port, COMMTIMEOUTS* timeouts);
bool SetCommTimeouts(CommHandle port, const COMMTIMEOUTS* timeouts);
bool SetupComm(CommHandle port, uint32_t inQueue, uint32_t outQueue);
bool PurgeComm(CommHandle port, uint32_t flags);
bool EscapeCommFunction(CommHandle port, uint32_t function);
bool ReadFile(CommHandle port, void* buffer, uint32_t length, uint32_t* read);
bool WriteFile(CommHandle port, const void* buffer, uint32_t length, uint32_t* written);
bool CloseCommPort(CommHandle port);
int commPortDescriptor(CommHandle port);
int lastCommError();

}  // namespace zarn
