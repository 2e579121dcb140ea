#include "platform/registry_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/registry.h"

using namespace zarn;

namespace {

std::string value(const char16_t* key, const char16_t* name) {
    HKEY h = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return "<no key>";
    uint8_t data[512];
    DWORD bytes = sizeof data;
    const LONG rc = RegQueryValueEx(h, name, nullptr, nullptr, data, &bytes);
    RegCloseKey(h);
    if (rc != ERROR_SUCCESS) return "<no value>";
    std::string out;
    for (DWORD i = 0; i + 1 < bytes && data[i]; i += 2) out += static_cast<char>(data[i]);
    return out;
}

std::string subkey(const char16_t* key, DWORD index) {
    HKEY h = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return "<no key>";
    char16_t name[512];
    DWORD chars = 512;
    const LONG rc = RegEnumKeyEx(h, index, name, &chars, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(h);
    if (rc != ERROR_SUCCESS) return "<none>";
    std::string out;
    for (DWORD i = 0; i < chars; ++i) out += static_cast<char>(name[i]);
    return out;
}

std::string utf16WithBom(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

const std::string kSample =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Drivers\\Active\\22]\r\n"
    "\"PnpId\"=\"CF-Serial_I-O \\\"rev 2\\\"\"\r\n"
    "\"Name\"=\"C:\\\\dev\\\\COM3:\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Drivers\\Active\\23]\r\n"
    "\"Name\"=\"COM4:\"\r\n";

class RegistryFile : public ::testing::Test {
protected:
    void SetUp() override {
        registry::clear();
        char tmpl[] = "/tmp/zarn-reg-XXXXXX";
        dir_ = mkdtemp(tmpl);
    }
    void TearDown() override {
        registry::clear();
        ASSERT_EQ(system(("rm -rf '" + dir_ + "'").c_str()), 0);
    }
    std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string dir_;
};

}  // namespace

TEST_F(RegistryFile, ReadsUtf8WithCrLfAndEscapes) {
    EXPECT_EQ(parseRegistryText(kSample), 3);
    EXPECT_EQ(value(u"Drivers\\Active\\22", u"PnpId"), "CF-Serial_I-O \"rev 2\"");
    EXPECT_EQ(value(u"Drivers\\Active\\22", u"Name"), "C:\\dev\\COM3:");
    EXPECT_EQ(subkey(u"Drivers\\Active", 1), "23");
}

TEST_F(RegistryFile, ReadsUtf16WithByteOrderMark) {
    EXPECT_EQ(parseRegistryText(utf16WithBom(kSample)), 3);
    EXPECT_EQ(value(u"Drivers\\Active\\23", u"Name"), "COM4:");
}

TEST_F(RegistryFile, SkipsMalformedLinesAndKeepsTheRest) {
    const std::string text =
        "Windows Registry Editor Version 5.00\n"
        "[HKEY_LOCAL_MACHINE\\Drivers\\Active\\1]\n"
        "\"PnpId\"=\"unterminated\n"
        "\"Bad\"=\"escape \\q\"\n"
        "\"Number\"=dword:00000001\n"
        "garbage line\n"
        "\"Name\"=\"COM2:\"\n"
        "[HKEY_LOCAL_MACHINE\\Broken\n"
        "\"Lost\"=\"value under a broken key\"\n"
        "[HKEY_LOCAL_MACHINE\\Drivers\\Active\\2]\n"
        "\"Name\"=\"COM5:\"   \n";
    EXPECT_EQ(parseRegistryText(text), 2);
    EXPECT_EQ(value(u"Drivers\\Active\\1", u"PnpId"), "<no value>");
    EXPECT_EQ(value(u"Drivers\\Active\\1", u"Name"), "COM2:");
    EXPECT_EQ(value(u"Drivers\\Active\\2", u"Name"), "COM5:");
    EXPECT_EQ(value(u"Broken", u"Lost"), "<no key>");
}

TEST_F(RegistryFile, ListsSerialAdaptersAfterTheFileKeys) {
    const std::string file = dir_ + "/registry.reg";
    std::ofstream(file) << kSample;
    const std::string byId = dir_ + "/by-id";
    mkdir(byId.c_str(), 0755);
    ASSERT_EQ(symlink("../../ttyUSB0", (byId + "/usb-FTDI_FT232R_A1-if00-port0").c_str()), 0);
    EXPECT_EQ(loadRegistry(file, byId), 3);
    EXPECT_EQ(subkey(u"Drivers\\Active", 0), "22");
    EXPECT_EQ(subkey(u"Drivers\\Active", 1), "23");
    const std::string third = subkey(u"Drivers\\Active", 2);
    ASSERT_NE(third, "<none>");
    const std::u16string key = u"Drivers\\Active\\" + std::u16string(third.begin(), third.end());
    EXPECT_EQ(value(key.c_str(), u"PnpId"), "FTDI_FT232R_A1-if00-port0");
    EXPECT_EQ(value(key.c_str(), u"Name"), byId + "/usb-FTDI_FT232R_A1-if00-port0");
}

TEST_F(RegistryFile, MissingFileGivesAnEmptyRegistry) {
    registry::setValue("HKEY_LOCAL_MACHINE\\Old", "x", "y");
    EXPECT_EQ(loadRegistry(dir_ + "/none.reg", dir_ + "/no-by-id"), 0);
    EXPECT_EQ(value(u"Old", u"x"), "<no key>");
}

TEST_F(RegistryFile, SetAndRemoveKeyKeepOtherKeys) {
    const std::string file = dir_ + "/registry.reg";
    std::ofstream(file) << kSample;
    const std::string key = "HKEY_LOCAL_MACHINE\\Drivers\\Active\\Sim1";
    ASSERT_TRUE(setRegistryKey(file, key, {{"PnpId", "CF-Serial_I-O sim"}, {"Name", "/dev/pts/9"}}));
    ASSERT_TRUE(setRegistryKey(file, key, {{"PnpId", "CF-Serial_I-O sim"}, {"Name", "/dev/pts/7"}}));
    registry::clear();
    EXPECT_EQ(parseRegistryText(read(file)), 5);
    EXPECT_EQ(value(u"Drivers\\Active\\Sim1", u"Name"), "/dev/pts/7");
    EXPECT_EQ(value(u"Drivers\\Active\\22", u"PnpId"), "CF-Serial_I-O \"rev 2\"");
    EXPECT_EQ(subkey(u"Drivers\\Active", 3), "<none>");
    ASSERT_TRUE(removeRegistryKey(file, key));
    registry::clear();
    EXPECT_EQ(parseRegistryText(read(file)), 3);
    EXPECT_EQ(value(u"Drivers\\Active\\Sim1", u"Name"), "<no key>");
    EXPECT_EQ(value(u"Drivers\\Active\\23", u"Name"), "COM4:");
}

TEST_F(RegistryFile, SetKeyCreatesAMissingFile) {
    const std::string file = dir_ + "/fresh.reg";
    ASSERT_TRUE(setRegistryKey(file, "HKEY_LOCAL_MACHINE\\A", {{"v", "1"}}));
    EXPECT_EQ(read(file).rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
    EXPECT_EQ(parseRegistryText(read(file)), 1);
}

TEST_F(RegistryFile, AGivenDriverComesFirstOnEveryReadWhateverTheFileSays) {
    const std::string file = dir_ + "/registry.reg";
    std::ofstream(file) << kSample
                        << "\r\n[HKEY_LOCAL_MACHINE\\Drivers\\Active\\ZarnGiven]\r\n\"PnpId\"=\"Other\"\r\n";
    setFirstActiveDriver("CF-Serial_I-O given", "/dev/serial/by-id/usb-FTDI_A1-if00-port0");
    for (int read = 0; read < 2; ++read) {  // start-up, then a reload after a lost board
        loadRegistry(file, dir_ + "/no-by-id");
        EXPECT_EQ(subkey(u"Drivers\\Active", 0), "ZarnGiven");
        EXPECT_EQ(subkey(u"Drivers\\Active", 1), "22");
        EXPECT_EQ(subkey(u"Drivers\\Active", 3), "<none>");
        EXPECT_EQ(value(u"Drivers\\Active\\ZarnGiven", u"PnpId"), "CF-Serial_I-O given");
        EXPECT_EQ(value(u"Drivers\\Active\\ZarnGiven", u"Name"), "/dev/serial/by-id/usb-FTDI_A1-if00-port0");
    }
    setFirstActiveDriver("", "");
    loadRegistry(file, dir_ + "/no-by-id");
    EXPECT_EQ(subkey(u"Drivers\\Active", 0), "22");
    EXPECT_EQ(value(u"Drivers\\Active\\ZarnGiven", u"PnpId"), "Other");
}
