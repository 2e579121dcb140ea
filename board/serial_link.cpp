#include "board/serial_link.h"

#include "platform/message_box.h"

namespace zarn {

SerialLink::SerialLink(uint32_t speed) { open(speed); }

void SerialLink::open(uint32_t speed) {
    discoverPortName(portName_);
    port_ = CreateCommPort(portName_);
    if (port_ == INVALID_COMM_HANDLE) {
        AfxMessageBox(kCannotOpenText, MB_OK);
        return;
    }
    DCB dcb;
    GetCommState(port_, &dcb);
    dcb.BaudRate = speed;
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
    if (!SetCommState(port_, &dcb)) {
        AfxMessageBox(kSetCommStateText, MB_OK);
        CloseCommPort(port_);
        port_ = INVALID_COMM_HANDLE;
        return;
    }
    COMMTIMEOUTS timeouts;
    GetCommTimeouts(port_, &timeouts);
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    SetCommTimeouts(port_, &timeouts);
    SetupComm(port_, 4096, 1024);
    PurgeComm(port_, PURGE_TXCLEAR);
    PurgeComm(port_, PURGE_RXCLEAR);
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

uint32_t SerialLink::readBytes(uint8_t* buffer, uint32_t capacity) {
    uint32_t got = 0;
    return ReadFile(port_, buffer, capacity, &got) ? got : 0;
}

void SerialLink::writeBytes(const uint8_t* bytes, uint32_t length) {
    uint32_t written = 0;
    WriteFile(port_, bytes, length, &written);
}

}  // namespace zarn
