#pragma once
// SerialLink: owner of the board's serial port and of the send slot the link thread
// empties. Construction finds the port (registry), opens and configures it at the given
// speed; failures are shown to the user once and leave the link without a port, in
// which case requests are taken but go nowhere. Destruction drops RTS, pauses 1000 ms
// and closes the port.

#include <cstdint>

#include "board/byte_sender.h"
#include "board/port_discovery.h"
#include "board/send_slot.h"
#include "platform/comm_port.h"
#include "platform/event.h"

namespace zarn {

constexpr const char* kCannotOpenText = "Cannot Open Connection To Board.";
constexpr const char* kSetCommStateText = "Could not SetCommState";

// The port as the link thread uses it: reads that never wait, plain writes.
struct PortIo {
    virtual ~PortIo() = default;
    virtual bool valid() const = 0;
    virtual uint32_t readBytes(uint8_t* buffer, uint32_t capacity) = 0;  // 0 when nothing is there
    virtual void writeBytes(const uint8_t* bytes, uint32_t length) = 0;
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
    uint32_t readBytes(uint8_t* buffer, uint32_t capacity) override;
    void writeBytes(const uint8_t* bytes, uint32_t length) override;

    const char* portName() const { return portName_; }
    SendSlot& sendSlot() { return slot_; }

private:
    void open(uint32_t speed);

    SendSlot slot_;
    Event closeWait_;
    CommHandle port_ = INVALID_COMM_HANDLE;
    char portName_[kPortNameSize] = {};
};

}  // namespace zarn
