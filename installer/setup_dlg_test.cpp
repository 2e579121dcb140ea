#include "installer/setup_dlg.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>

#include "installer/setup_app.h"
#include "platform/file_calls.h"
#include "platform/gdi/golden.h"
#include "platform/headless/headless_backend.h"
#include "platform/temp_device.h"

namespace zarn {
namespace {

using testing::TempDevice;

// Screen points of the two buttons (dialog units to pixels, client at row 26).
constexpr CPoint kZarnButton{119, 82};
constexpr CPoint kBraxmoorButton{119, 136};
const std::string kShortcutLine = "40#\"\\Program Files\\ZarnController\\zarn.exe\"";

class SetupTest : public ::testing::Test {
protected:
    void SetUp() override { backend.install(); }

    std::string root(const std::string& below) const { return device.root() + "/" + below; }
    std::string card(const std::string& below) const { return device.card() + "/" + below; }
    std::string lastMessage() const { return backend.modals().empty() ? "" : backend.modals().back().text; }
    size_t messageCount() const {
        size_t n = 0;
        for (const auto& m : backend.modals()) n += m.kind != "dialog";
        return n;
    }
    // Runs the installer's dialog and presses one of its buttons.
    int press(CPoint button) {
        CZarnSetupDlg dlg;
        backend.whenIdle([&] { backend.tap(button.x, button.y); });
        return dlg.DoModal();
    }

    TempDevice device;
    HeadlessBackend backend;
};

TEST_F(SetupTest, FirstInstallationMakesFolderCopyStoreCopyAndShortcut) {
    TempDevice::write(card("files/zarn/zarn.exe"), "receiver v1");
    CZarnSetupDlg dlg;
    dlg.installProduct(kZarnController);
    EXPECT_EQ(lastMessage(), "Installation is Complete.");
    EXPECT_EQ(TempDevice::read(root("Program Files/ZarnController/zarn.exe")), "receiver v1");
    EXPECT_EQ(TempDevice::read(root("iPAQ File Store/ZarnController/zarn.exe")), "receiver v1");
    EXPECT_EQ(TempDevice::read(root("Windows/Start Menu/ZarnController.lnk")), kShortcutLine);
    // The card folder's own backslash and the one before files both stay in the source path.
    EXPECT_EQ(dlg.m_source, "\\Storage Card\\\\files\\zarn\\zarn.exe");
    EXPECT_EQ(dlg.m_target, "\\iPAQ File Store\\ZarnController\\zarn.exe");
}

TEST_F(SetupTest, SecondInstallationRefreshesCopyAndShortcutButNotTheStoreCopy) {
    TempDevice::write(card("files/zarn/zarn.exe"), "receiver v1");
    CZarnSetupDlg first;
    first.installProduct(kZarnController);
    TempDevice::write(card("files/zarn/zarn.exe"), "receiver v2");
    TempDevice::write(root("Windows/Start Menu/ZarnController.lnk"), "12#\"\\elsewhere\"");
    CZarnSetupDlg second;
    second.installProduct(kZarnController);
    EXPECT_EQ(lastMessage(), "Installation is Complete.");
    EXPECT_EQ(TempDevice::read(root("Program Files/ZarnController/zarn.exe")), "receiver v2");
    EXPECT_EQ(TempDevice::read(root("iPAQ File Store/ZarnController/zarn.exe")), "receiver v1");
    EXPECT_EQ(TempDevice::read(root("Windows/Start Menu/ZarnController.lnk")), kShortcutLine);
}

TEST_F(SetupTest, CardWithoutTheProductsFolderNamesBothPathsAndInstallsNothingMore) {
    TempDevice::write(card("files/braxmoor/brxm.exe"), "other");
    CZarnSetupDlg dlg;
    dlg.installProduct(kZarnController);
    EXPECT_EQ(lastMessage(),
              "FROM:\\Storage Card\\\\files\\zarn\\zarn.exe\nTO:\\Program Files\\ZarnController\\zarn.exe\n"
              "ERROR:The system cannot find the path specified.\r\n");
    EXPECT_EQ(messageCount(), 1u);
    // The program folder made before the copy stays; nothing else is made.
    EXPECT_TRUE(std::filesystem::is_directory(root("Program Files/ZarnController")));
    EXPECT_FALSE(TempDevice::exists(root("Program Files/ZarnController/zarn.exe")));
    EXPECT_FALSE(TempDevice::exists(root("iPAQ File Store/ZarnController")));
    EXPECT_FALSE(TempDevice::exists(root("Windows/Start Menu/ZarnController.lnk")));
}

TEST_F(SetupTest, WithoutACardNothingIsInstalledAndTheUserIsTold) {
    std::filesystem::remove_all(device.card());
    CZarnSetupDlg dlg;
    dlg.installProduct(kZarnController);
    EXPECT_EQ(messageCount(), 1u);
    EXPECT_NE(lastMessage().find("Nothing was installed."), std::string::npos) << lastMessage();
    EXPECT_FALSE(TempDevice::exists(root("Program Files/ZarnController")));
    EXPECT_EQ(dlg.m_source, "");
}

TEST_F(SetupTest, AnErrorWithoutASystemTextLeavesTheReasonEmpty) {
    CZarnSetupDlg dlg;
    dlg.m_source = "\\a";
    dlg.m_target = "\\b";
    SetLastError(99999);
    dlg.reportCopyError();
    EXPECT_EQ(lastMessage(), "FROM:\\a\nTO:\\b\nERROR:");
}

TEST_F(SetupTest, SecondButtonInstallsBraxmoorAndEndsTheProgram) {
    TempDevice::write(card("files/braxmoor/brxm.exe"), "second application");
    bool waitCursorDuringMessage = false;
    backend.whenIdle([&] { backend.tap(kBraxmoorButton.x, kBraxmoorButton.y); });
    backend.whenIdle([&] {
        waitCursorDuringMessage = backend.waitCursorShown();
        backend.key(VK_RETURN);
    });
    CZarnSetupApp app;
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(lastMessage(), "Installation is Complete.");
    EXPECT_TRUE(waitCursorDuringMessage);
    EXPECT_FALSE(backend.waitCursorShown());
    EXPECT_EQ(TempDevice::read(root("Program Files/Braxmoor/brxm.exe")), "second application");
    EXPECT_EQ(TempDevice::read(root("Windows/Start Menu/Braxmoor.lnk")), "34#\"\\Program Files\\Braxmoor\\brxm.exe\"");
    EXPECT_FALSE(TempDevice::exists(root("Program Files/ZarnController")));
    // The program ends after the one installation: the dialog's loop has nothing left to answer.
    EXPECT_EQ(backend.unansweredModals(), 0);
}

TEST_F(SetupTest, DialogShowsTwoButtonsUnderItsCaption) {
    std::string title;
    backend.whenIdle([&] {
        title = backend.title();
        GoldenResult r = compareWithGolden(backend.framebuffer(), "installer_dialog");
        EXPECT_TRUE(r.ok) << r.message;
        backend.key(VK_ESCAPE);
    });
    CZarnSetupApp app;
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(title, kSetupWindowTitle);
    EXPECT_TRUE(backend.mapped());
    EXPECT_EQ(messageCount(), 0u);
}

TEST_F(SetupTest, ClosingOrMinimisingEndsWithoutInstalling) {
    TempDevice::write(card("files/zarn/zarn.exe"), "receiver");
    struct Case {
        const char* how;
        std::function<void()> step;
    } cases[] = {
        {"minimise", [&] { backend.minimiseWindow(); }},
        {"ok box", [&] { backend.key(VK_RETURN); }},
        {"close", [&] { backend.closeWindow(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        backend.install();
        backend.whenIdle(c.step);
        CZarnSetupApp app;
        EXPECT_FALSE(app.InitInstance());
        EXPECT_EQ(backend.unansweredModals(), 0);
        EXPECT_EQ(messageCount(), 0u);
        EXPECT_FALSE(TempDevice::exists(root("Program Files/ZarnController")));
    }
}

// The card image the build lays out, with ZARN_CARD pointing at it.
class CardImageTest : public SetupTest {
protected:
    void SetUp() override {
        if (!TempDevice::exists(std::string(ZARN_CARD_IMAGE) + "/files/zarn/zarn.exe"))
            GTEST_SKIP() << "no card image (the receiver program is not built here)";
        setenv("ZARN_CARD", ZARN_CARD_IMAGE, 1);
        SetupTest::SetUp();
    }
};

TEST_F(CardImageTest, HoldsTheInstallerAsAutoRunAndNoSecondApplication) {
    EXPECT_TRUE(TempDevice::exists(std::string(ZARN_CARD_IMAGE) + "/autorun.exe"));
    press(kBraxmoorButton);
    EXPECT_EQ(lastMessage().rfind("FROM:\\Storage Card\\\\files\\braxmoor\\brxm.exe\nTO:", 0), 0u) << lastMessage();
    EXPECT_FALSE(TempDevice::exists(root("Windows/Start Menu/Braxmoor.lnk")));
}

TEST_F(CardImageTest, InstalledReceiverIsTheCardsCopyAndStartsOnItsOwn) {
    press(kZarnButton);
    ASSERT_EQ(lastMessage(), "Installation is Complete.");
    const std::string installed = root("Program Files/ZarnController/zarn.exe");
    EXPECT_EQ(TempDevice::read(installed), TempDevice::read(std::string(ZARN_CARD_IMAGE) + "/files/zarn/zarn.exe"));
    ASSERT_EQ(access(installed.c_str(), X_OK), 0);
    // Run the installed copy alone: no card, no source tree, a window nobody answers.
    unsetenv("ZARN_CARD");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("ZARN_UI", "headless", 1);
        setenv("ZARN_MUTE", "1", 1);
        unsetenv("ZARN_SOURCE_DIR");
        if (chdir(device.root().c_str()) != 0) _exit(126);
        execl(installed.c_str(), "zarn.exe", static_cast<char*>(nullptr));
        _exit(127);
    }
    // A generous bound only keeps a hung program from hanging the test.
    int status = 0;
    pid_t done = 0;
    for (int tick = 0; tick < 1200 && done == 0; ++tick) {
        done = waitpid(child, &status, WNOHANG);
        if (done == 0) usleep(100 * 1000);
    }
    if (done == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        FAIL() << "the installed copy did not end";
    }
    ASSERT_EQ(done, child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace zarn
