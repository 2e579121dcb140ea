#include "platform/registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/utf16.h"

using namespace zarn;

namespace {

std::u16string narrowRead(const uint8_t* data, DWORD bytes) {
    std::u16string out;
    for (DWORD i = 0; i + 1 < bytes; i += 2) out += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    return out;
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        registry::clear();
        registry::setValue("HKEY_LOCAL_MACHINE\\Drivers\\Active\\22", "PnpId", "CF-Serial_I-O");
        registry::setValue("HKEY_LOCAL_MACHINE\\Drivers\\Active\\22", "Name", "COM3:");
        registry::addKey("HKEY_LOCAL_MACHINE\\Drivers\\Active\\05");
    }
    void TearDown() override { registry::clear(); }
};

}  // namespace

TEST_F(Registry, OpensNestedKeysWithoutRegardToCase) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"drivers\\ACTIVE", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Drivers\\Passive", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, EnumeratesSubkeysInOrderUntilNoMoreItems) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Drivers\\Active", 0, KEY_READ, &key), ERROR_SUCCESS);
    char16_t name[512];
    DWORD chars = 512;
    ASSERT_EQ(RegEnumKeyEx(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(name), u"22");
    EXPECT_EQ(chars, 2u);
    chars = 512;
    ASSERT_EQ(RegEnumKeyEx(key, 1, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(name), u"05");
    chars = 512;
    EXPECT_EQ(RegEnumKeyEx(key, 2, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    chars = 2;
    EXPECT_EQ(RegEnumKeyEx(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    RegCloseKey(key);
}

TEST_F(Registry, QueryReturnsUtf16WithItsTerminator) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Drivers\\Active\\22", 0, KEY_READ, &key), ERROR_SUCCESS);
    uint8_t data[64];
    DWORD bytes = sizeof data, type = 0;
    ASSERT_EQ(RegQueryValueEx(key, u"name", nullptr, &type, data, &bytes), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(bytes, 12u);
    EXPECT_EQ(narrowRead(data, bytes), std::u16string(u"COM3:\0", 6));
    DWORD needed = 0;
    ASSERT_EQ(RegQueryValueEx(key, u"PnpId", nullptr, nullptr, nullptr, &needed), ERROR_SUCCESS);
    EXPECT_EQ(needed, 28u);
    EXPECT_EQ(RegQueryValueEx(key, u"Missing", nullptr, nullptr, data, &bytes), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST_F(Registry, LongValueIsCutAndTerminatedWithinTheBuffer) {
    const std::string longText(300, 'q');
    registry::setValue("HKEY_LOCAL_MACHINE\\Drivers\\Active\\05", "PnpId", longText);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Drivers\\Active\\05", 0, KEY_READ, &key), ERROR_SUCCESS);
    struct Case { DWORD offered; DWORD written; };
    for (Case c : {Case{511, 510}, Case{512, 512}, Case{7, 6}, Case{2, 2}}) {
        uint8_t data[600];
        std::memset(data, 0xAB, sizeof data);
        DWORD bytes = c.offered;
        ASSERT_EQ(RegQueryValueEx(key, u"PnpId", nullptr, nullptr, data, &bytes), ERROR_SUCCESS);
        EXPECT_EQ(bytes, c.written) << c.offered;
        EXPECT_EQ(data[c.written - 1], 0);
        EXPECT_EQ(data[c.written - 2], 0);
        EXPECT_EQ(data[c.offered], 0xAB) << "wrote past the buffer";
        if (c.written > 2) {
            EXPECT_EQ(data[c.written - 4], 'q');
        }
    }
    uint8_t one[1];
    DWORD bytes = 1;
    EXPECT_EQ(RegQueryValueEx(key, u"PnpId", nullptr, nullptr, one, &bytes), ERROR_MORE_DATA);
    RegCloseKey(key);
}

TEST_F(Registry, HandleToRemovedKeyFailsInsteadOfCrashing) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Drivers\\Active\\22", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_TRUE(registry::removeKey("HKEY_LOCAL_MACHINE\\Drivers\\Active\\22"));
    uint8_t data[16];
    DWORD bytes = sizeof data;
    EXPECT_EQ(RegQueryValueEx(key, u"Name", nullptr, nullptr, data, &bytes), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

// The simulator removes its key at the end and a new one adds it again, under any case.
TEST_F(Registry, ARemovedKeyComesBackLastUnderAnyCase) {
    EXPECT_TRUE(registry::removeKey("hkey_local_machine\\DRIVERS\\active\\22"));
    EXPECT_FALSE(registry::removeKey("HKEY_LOCAL_MACHINE\\Drivers\\Active\\22"));
    registry::setValue("HKEY_LOCAL_MACHINE\\Drivers\\Active\\22", "Name", "COM4:");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Drivers\\Active", 0, KEY_READ, &key), ERROR_SUCCESS);
    char16_t name[16];
    std::u16string names;
    for (DWORD i = 0;; ++i) {
        DWORD chars = 16;
        if (RegEnumKeyEx(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names += std::u16string(name) + u",";
    }
    RegCloseKey(key);
    EXPECT_EQ(names, u"05,22,");
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"DRIVERS\\ACTIVE\\22", 0, KEY_READ, &key), ERROR_SUCCESS);
    uint8_t data[16];
    DWORD bytes = sizeof data;
    ASSERT_EQ(RegQueryValueEx(key, u"name", nullptr, nullptr, data, &bytes), ERROR_SUCCESS);
    EXPECT_EQ(narrowRead(data, bytes), std::u16string(u"COM4:") + u'\0');
    EXPECT_EQ(RegQueryValueEx(key, u"PnpId", nullptr, nullptr, data, &bytes), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST(Utf16, RoundTripsNonAscii) {
    const std::string text = "Gr\xC3\xBC\xC3\x9F \xF0\x9F\x93\xBB";
    EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(text)), text);
    EXPECT_EQ(utf8ToUtf16(text).size(), 7u);
    EXPECT_EQ(utf8ToUtf16("\xC3"), u"\xFFFD");
}
