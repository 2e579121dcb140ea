#include "board/serial_link.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/message_box.h"
#include "platform/registry.h"

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
    EXPECT_EQ(link.readBytes(buf, 4), 0u);
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
