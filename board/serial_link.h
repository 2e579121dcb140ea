#pragma once
// SerialLink: owner of the board's serial port and of the send slot the link thread
// empties. Construction finds the port (registry), opens and configures it at the given
// speed; failures are shown to the user once (and on stderr with the system's reason)
// and leave the link without a port, in which case requests are taken but go nowhere.
// When the link thread finds the board gone it closes the port and, every 2 s, reopens:
// the registry is read again and every port the board can be on tried in turn, without a
// word: one it was on, a given port, and a port listed since start-up; never another
// adapter start-up saw, nor the fallback COM1: (a console) unless the board was on it.
// Destruction drops RTS, pauses 1000 ms and closes the port.

#include <cstdint>
#include <string>
#include <vector>

#include "board/byte_sender.h"
#include "board/port_discovery.h"
#include "board/send_slot.h"
#include "platform/comm_port.h"
#include "platform/event.h"

namespace zarn {

constexpr const char* kCannotOpenText = "Cannot Open Connection To Board.";
constexpr const char* kSetCommStateText = "Could not SetCommState";

// The port as the link thread uses it: reads that never wait, plain writes, and, once
// its device has gone, the way back to the board.
struct PortIo {
    virtual ~PortIo() = default;
    virtual bool valid() const = 0;
    // Bytes read, 0 when nothing is there; -errno when the read failed.
    virtual int readBytes(uint8_t* buffer, uint32_t capacity) = 0;
    // 0, or -errno when the write failed.
    virtual int writeBytes(const uint8_t* bytes, uint32_t length) = 0;
    virtual void close() = 0;
    // Looks for the board's port again among those it can be on and opens the first that
    // opens. The port closed when the board was lost, and a port still open (opened by the
    // last call, the board silent on it, now closed), are tried after the others.
    virtual bool reopen() = 0;
    virtual std::string name() const = 0;
    // A descriptor poll() reports readable when a read would bring something (or fail);
    // -1 when there is none to watch.
    virtual int pollDescriptor() const { return -1; }
};

class SerialLink : public ByteSender, public PortIo {
public:
    explicit SerialLink(uint32_t speed);
    ~SerialLink() override;
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;

    // Stores the first min(length, 128) bytes for the link thread; always true.
    bool sendBytes(const uint8_t* bytes, uint32_t length) override;

    bool valid() const override { return port_ != INVALID_COMM_HANDLE; }
    int readBytes(uint8_t* buffer, uint32_t capacity) override;
    int writeBytes(const uint8_t* bytes, uint32_t length) override;
    void close() override;
    bool reopen() override;
    std::string name() const override { return portName_; }
    int pollDescriptor() const override { return commPortDescriptor(port_); }

    const char* portName() const { return portName_; }
    SendSlot& sendSlot() { return slot_; }

private:
    enum class Failed { Nothing, Open, Setup };
    Failed openPort(const char* name);

    SendSlot slot_;
    Event closeWait_;
    const uint32_t speed_;
    CommHandle port_ = INVALID_COMM_HANDLE;
    char portName_[kPortNameSize] = {};
    std::string failedPort_;  // closed when the board was lost
    std::vector<std::string> listedAtStart_;
    std::vector<std::string> boardWasOn_;  // every port closed when the board was lost
};

}  // namespace zarn
