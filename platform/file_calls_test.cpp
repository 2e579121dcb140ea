#include "platform/file_calls.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/temp_device.h"

namespace zarn {
namespace {

using testing::TempDevice;

class FileCallsTest : public ::testing::Test {
protected:
    void SetUp() override { SetLastError(ERROR_SUCCESS); }
    TempDevice device;
};

TEST_F(FileCallsTest, AutoRunPathNamesTheCardsProgramWhileACardIsThere) {
    std::string path = "stale";
    ASSERT_TRUE(SHGetAutoRunPath(path));
    EXPECT_EQ(path, "\\Storage Card\\autorun.exe");
    std::filesystem::remove_all(device.card());
    // Without a card the call fails and leaves no path behind.
    EXPECT_FALSE(SHGetAutoRunPath(path));
    EXPECT_EQ(path, "");
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(FileCallsTest, CreateDirectoryMakesOneLevelAndReportsWhy) {
    struct Case {
        const char* path;
        bool ok;
        uint32_t error;
    } cases[] = {
        {"\\Program Files\\Zarn", true, ERROR_SUCCESS},
        {"\\Program Files\\Zarn", false, ERROR_ALREADY_EXISTS},
        {"\\No Such\\Zarn", false, ERROR_PATH_NOT_FOUND},
        {"\\..\\outside", false, ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(CreateDirectory(c.path, nullptr), c.ok) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
    }
    EXPECT_TRUE(std::filesystem::is_directory(device.root() + "/Program Files/Zarn"));
    EXPECT_FALSE(TempDevice::exists(device.root() + "/No Such"));
}

TEST_F(FileCallsTest, CopyOverwritesAndKeepsTheProgramRunnable) {
    TempDevice::write(device.card() + "/files/a.exe", "new program");
    chmod((device.card() + "/files/a.exe").c_str(), 0755);
    TempDevice::write(device.root() + "/Program Files/a.exe", "an older and longer program");
    ASSERT_TRUE(CopyFile("\\Storage Card\\\\files\\a.exe", "\\Program Files\\a.exe", false));
    EXPECT_EQ(TempDevice::read(device.root() + "/Program Files/a.exe"), "new program");
    struct stat st {};
    ASSERT_EQ(stat((device.root() + "/Program Files/a.exe").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
    // Asked not to overwrite, it leaves the target alone.
    TempDevice::write(device.card() + "/files/a.exe", "third");
    EXPECT_FALSE(CopyFile("\\Storage Card\\files\\a.exe", "\\Program Files\\a.exe", true));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(TempDevice::read(device.root() + "/Program Files/a.exe"), "new program");
}

TEST_F(FileCallsTest, CopyFailuresNameTheirCause) {
    TempDevice::write(device.card() + "/files/a.exe", "program");
    std::filesystem::create_directories(device.root() + "/Program Files/a folder");
    struct Case {
        const char* from;
        const char* to;
        uint32_t error;
    } cases[] = {
        {"\\Storage Card\\files\\b.exe", "\\Program Files\\b.exe", ERROR_FILE_NOT_FOUND},
        {"\\Storage Card\\files\\zarn\\zarn.exe", "\\Program Files\\zarn.exe", ERROR_PATH_NOT_FOUND},
        {"\\Storage Card\\files\\a.exe", "\\Program Files\\Missing\\a.exe", ERROR_PATH_NOT_FOUND},
        {"\\Storage Card\\files\\a.exe", "\\Program Files\\a folder", ERROR_ACCESS_DENIED},
        {"\\Storage Card\\files", "\\Program Files\\x", ERROR_ACCESS_DENIED},
        {"\\Storage Card\\files\\a.exe", "\\Storage Card\\files\\a.exe", ERROR_SHARING_VIOLATION},
        {"\\..\\etc\\passwd", "\\p", ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(CopyFile(c.from, c.to, false)) << c.from << " -> " << c.to;
        EXPECT_EQ(GetLastError(), c.error) << c.from << " -> " << c.to;
    }
    // A copy onto itself leaves the file whole; nothing half-made is left behind.
    EXPECT_EQ(TempDevice::read(device.card() + "/files/a.exe"), "program");
    EXPECT_FALSE(TempDevice::exists(device.root() + "/Program Files/b.exe"));
    EXPECT_FALSE(TempDevice::exists(device.root() + "/p"));
}

TEST_F(FileCallsTest, ShortcutHoldsTheTargetsLengthAndTheTarget) {
    ASSERT_TRUE(SHCreateShortcut("\\Windows\\Start Menu\\Z.lnk", "\"\\Program Files\\ZarnController\\zarn.exe\""));
    EXPECT_EQ(TempDevice::read(device.root() + "/Windows/Start Menu/Z.lnk"),
              "40#\"\\Program Files\\ZarnController\\zarn.exe\"");
    // A second one replaces the first; lengths count characters, not bytes.
    ASSERT_TRUE(SHCreateShortcut("\\Windows\\Start Menu\\Z.lnk", "\"\\Programme\\Zärn.exe\""));
    EXPECT_EQ(TempDevice::read(device.root() + "/Windows/Start Menu/Z.lnk"), "21#\"\\Programme\\Zärn.exe\"");
    EXPECT_FALSE(SHCreateShortcut("\\Windows\\Nowhere\\Z.lnk", "x"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(FileCallsTest, SystemTextsEndInALineBreakAndUnknownCodesGiveNone) {
    const uint32_t flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
    EXPECT_EQ(flags, 0x1300u);
    std::string text = "stale";
    uint32_t n = FormatMessage(flags, nullptr, ERROR_FILE_NOT_FOUND, 0, &text);
    EXPECT_EQ(text, "The system cannot find the file specified.\r\n");
    EXPECT_EQ(n, text.size());
    for (uint32_t code : {ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_DISK_FULL}) {
        ASSERT_GT(FormatMessage(flags, nullptr, code, 0, &text), 2u) << code;
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << code;
    }
    EXPECT_EQ(FormatMessage(flags, nullptr, 99999, 0, &text), 0u);
    EXPECT_EQ(text, "");
    EXPECT_EQ(GetLastError(), ERROR_MR_MID_NOT_FOUND);
    EXPECT_EQ(FormatMessage(0, nullptr, ERROR_FILE_NOT_FOUND, 0, &text), 0u);
    EXPECT_EQ(FormatMessage(flags, nullptr, ERROR_FILE_NOT_FOUND, 0, nullptr), 0u);
}

}  // namespace
}  // namespace zarn
