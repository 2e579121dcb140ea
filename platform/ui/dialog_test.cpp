#include "platform/ui/dialog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/gdi/golden.h"
#include "platform/headless/headless_backend.h"
#include "platform/ui/file_dialog.h"

namespace zarn {
namespace {

constexpr int kTemplate = 9001;
const DialogControl kControls[] = {
    {100, ControlKind::CheckBox, "Check me", 7, 7, 80, 10, CF_TABSTOP},
    {101, ControlKind::Edit, "", 7, 22, 86, 14, CF_BORDER | CF_AUTOHSCROLL | CF_TABSTOP},
    {102, ControlKind::RadioButton, "One", 7, 42, 50, 10, CF_GROUP},
    {103, ControlKind::RadioButton, "Two", 63, 42, 50, 10, 0},
    {-1, ControlKind::Static, "A static text over two lines of the dialog", 7, 60, 100, 17, 0},
    {105, ControlKind::PushButton, "Push", 7, 82, 50, 14, CF_TABSTOP},
    {106, ControlKind::CheckBox, "Hidden", 7, 100, 50, 10, CF_HIDDEN},
};
const DialogTemplate kDialogs[] = {{kTemplate, "Every Control", 140, 150, "System", 8, kControls, std::size(kControls)}};
ResourceTable table() {
    ResourceTable t;
    t.dialogs = kDialogs;
    t.dialogCount = 1;
    return t;
}
const ResourceTable kTable = table();
const bool kRegistered = registerResources(&kTable);

class EveryControl : public CDialog {
public:
    EveryControl() : CDialog(kTemplate) {}
    int check = 0;
    int hidden = 1;
    int choice = -1;
    double value = 0.0;
    int pushes = 0;
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Check(dx, 100, check);
        DDX_Check(dx, 106, hidden);
        DDX_Text(dx, 101, value);
        DDX_Radio(dx, 102, choice);
    }
    BOOL OnCommand(WPARAM w, LPARAM l) override {
        if (LOWORD(w) == 105) {
            ++pushes;
            return TRUE;
        }
        return CDialog::OnCommand(w, l);
    }
};

// Screen points of the controls (dialog units to pixels, client at row 26).
CPoint at(int xUnits, int yUnits) { return {CDialog::unitsToPixelsX(xUnits) + 4, 26 + CDialog::unitsToPixelsY(yUnits) + 8}; }
// Screen point of a numeric-panel key.
CPoint panelKey(int row, int column) { return {column * 60 + 30, 294 - NumericPanel::kHeight + 2 + row * 22 + 11}; }

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kRegistered);
        backend.install();
    }
    void golden(const char* name) {
        auto result = compareWithGolden(backend.framebuffer(), name);
        EXPECT_TRUE(result.ok) << result.message;
    }
    HeadlessBackend backend;
};

TEST_F(DialogTest, KeyboardAlone) {
    EveryControl dlg;
    dlg.value = 2.5;
    backend.whenIdle([&] {
        EXPECT_EQ(dlg.focusedItem()->GetDlgCtrlID(), 100);
        backend.key(VK_SPACE);          // tick the check box
        backend.key(VK_TAB);            // edit, text selected
        backend.type("-12.75");         // replaces the selection
        backend.key(VK_BACK);
        backend.type("5");
        backend.key(VK_TAB);            // radio group: its first button
        backend.key(VK_DOWN);           // choose "Two"
        backend.key(VK_TAB);            // push button
        backend.type(" ");
        backend.key(VK_TAB, true);      // back to the radio group, on the chosen button
    });
    backend.whenIdle([&] {
        EXPECT_EQ(dlg.focusedItem()->GetDlgCtrlID(), 103);
        EXPECT_EQ(dlg.pushes, 1);
        backend.key(VK_RETURN);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.check, 1);
    EXPECT_EQ(dlg.hidden, 1);  // hidden, still exchanged
    EXPECT_DOUBLE_EQ(dlg.value, -12.75);
    EXPECT_EQ(dlg.choice, 1);
    EXPECT_EQ(backend.unansweredModals(), 0);
}

TEST_F(DialogTest, TapsAlone) {
    EveryControl dlg;
    backend.whenIdle([&] {
        CPoint check = at(7, 7);
        backend.tap(check.x, check.y);
        CPoint two = at(63, 42);
        backend.tap(two.x, two.y);
        CPoint edit = at(7, 22);
        backend.tap(edit.x, edit.y);
    });
    backend.whenIdle([&] {
        EXPECT_TRUE(dlg.panelShown());
        golden("ui_numeric_panel");
        for (CPoint k : {panelKey(1, 3), panelKey(0, 2), panelKey(2, 3), panelKey(1, 1), panelKey(0, 3), panelKey(3, 0)}) {
            backend.tap(k.x, k.y);  // "-", "9", ".", "5", backspace, "0"
        }
        CPoint push = at(7, 82);
        backend.tap(push.x, push.y);
    });
    backend.whenIdle([&] {
        EXPECT_FALSE(dlg.panelShown());  // the push button took the focus
        EXPECT_EQ(dlg.pushes, 1);
        backend.tap(220, 12);  // the caption's ok box
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.check, 1);
    EXPECT_EQ(dlg.choice, 1);
    EXPECT_DOUBLE_EQ(dlg.value, -9.0);
}

TEST_F(DialogTest, TextThatIsNoNumberRefusesOkAndKeepsTheDialog) {
    EveryControl dlg;
    backend.whenIdle([&] {
        backend.key(VK_TAB);
        backend.type("12a");
        backend.key(VK_RETURN);
    });
    backend.whenIdle([&] {  // inside the message box
        ASSERT_EQ(backend.modals().size(), 2u);
        EXPECT_EQ(backend.modals()[1].kind, "messagebox");
        EXPECT_EQ(backend.modals()[1].text, "Please enter a number.");
        golden("ui_message_box");
        backend.key(VK_ESCAPE);  // presses OK
    });
    backend.whenIdle([&] {
        EXPECT_EQ(dlg.focusedItem()->GetDlgCtrlID(), 101);
        EXPECT_TRUE(dlg.focusedItem()->selected());
        backend.type("7");
        backend.key(VK_RETURN);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_DOUBLE_EQ(dlg.value, 7.0);
    EXPECT_EQ(backend.unansweredModals(), 0);
}

TEST_F(DialogTest, EscapeAndTheCancelBoxKeepTheMembers) {
    for (bool byKey : {true, false}) {
        EveryControl dlg;
        dlg.choice = 0;
        backend.whenIdle([&] {
            backend.key(VK_SPACE);
            if (byKey) {
                backend.key(VK_ESCAPE);
            } else {
                backend.tap(190, 12);
            }
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        EXPECT_EQ(dlg.check, 0);
        EXPECT_EQ(dlg.choice, 0);
    }
}

TEST_F(DialogTest, NoChoiceGivesMinusOneAndAnOutOfRangeChoiceChoosesNothing) {
    EveryControl dlg;
    dlg.choice = 7;
    backend.whenIdle([&] {
        EXPECT_EQ(dlg.item(102)->checked() + dlg.item(103)->checked(), 0);
        golden("ui_dialog_controls");
        backend.key(VK_RETURN);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.choice, -1);
}

TEST_F(DialogTest, MissingTemplateGivesMinusOne) {
    CDialog dlg(4242);
    EXPECT_EQ(dlg.DoModal(), -1);
}

TEST_F(DialogTest, MessageBoxReturnsOkWhicheverWayItIsAnswered) {
    for (UINT k : {VK_RETURN, VK_ESCAPE}) {
        backend.whenIdle([&] { backend.key(k); });
        EXPECT_EQ(AfxMessageBox("Invalid Channel Table."), IDOK);
    }
    backend.whenIdle([&] { backend.tap(190, 12); });  // no cancel box: nothing happens
    backend.whenIdle([&] { backend.tap(220, 12); });
    EXPECT_EQ(AfxMessageBox("x"), IDOK);
    EXPECT_EQ(backend.unansweredModals(), 0);
}

class FileDialogTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        root = std::filesystem::temp_directory_path() / ("zarn_ui_files_" + std::to_string(::getpid()));
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root / "My Documents" / "Tables");
        std::ofstream(root / "My Documents" / "a.kct") << "2\n";
        std::ofstream(root / "My Documents" / "b.txt") << "x";
        std::ofstream(root / "My Documents" / "Tables" / "c.kct") << "2\n";
        setenv("ZARN_ROOT", root.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("ZARN_ROOT");
        std::filesystem::remove_all(root);
    }
    std::filesystem::path root;
    const char* filter = "KMT Channel Table Files (*.kct)|*.kct|All Files (*.*)|*.*||";
};

TEST_F(FileDialogTest, OpenByKeyboardAddsTheExtensionAndChecksTheFile) {
    CFileDialog dlg(TRUE, ".KCT", "KCT", OFN_FILEMUSTEXIST, filter);
    backend.whenIdle([&] {
        ASSERT_EQ(dlg.entries().size(), 3u);  // "..", Tables, a.kct
        EXPECT_EQ(dlg.entries()[1].name, "Tables");
        EXPECT_EQ(dlg.entries()[2].name, "a.kct");
        EXPECT_TRUE(dlg.focusedItem()->selected());
        golden("ui_file_dialog");
        backend.type("missing");
        backend.key(VK_RETURN);
    });
    backend.whenIdle([&] {
        EXPECT_EQ(backend.modals().back().kind, "messagebox");
        backend.key(VK_RETURN);
    });
    backend.whenIdle([&] {
        backend.type("Tables");
        backend.key(VK_RETURN);  // a folder: opens it
    });
    backend.whenIdle([&] {
        EXPECT_EQ(dlg.folder(), "\\My Documents\\Tables");
        backend.type("c");
        backend.key(VK_RETURN);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.GetPathName(), "\\My Documents\\Tables\\c.KCT");
    EXPECT_EQ(dlg.GetFileExt(), "KCT");
}

TEST_F(FileDialogTest, OpenByTaps) {
    CFileDialog dlg(TRUE, ".KCT", "KCT", OFN_FILEMUSTEXIST, filter);
    auto row = [](int i) { return 26 + CFileDialog::kListTop + i * CFileDialog::kRowHeight + 8; };
    backend.whenIdle([&] {
        backend.tap(60, row(2));  // a.kct
        backend.tap(220, 12);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.GetPathName(), "\\My Documents\\a.kct");

    CFileDialog types(TRUE, nullptr, "", 0, filter);
    backend.whenIdle([&] {
        backend.tap(100, 26 + 38);  // the Type button: all files
    });
    backend.whenIdle([&] {
        EXPECT_EQ(types.entries().size(), 4u);
        backend.tap(60, row(0));  // ".." to the root
    });
    backend.whenIdle([&] {
        EXPECT_EQ(types.folder(), "\\");
        backend.tap(190, 12);
    });
    EXPECT_EQ(types.DoModal(), IDCANCEL);
}

TEST_F(FileDialogTest, SaveTakesAProposedNameAndRefusesAMissingFolder) {
    CFileDialog dlg(FALSE, ".zrn", "zarnlog.zrn", OFN_PATHMUSTEXIST, "Zarn Log Files (*.zrn)|*.zrn|All Files (*.*)|*.*||");
    backend.whenIdle([&] {
        backend.type("\\Nowhere\\x");
        backend.key(VK_RETURN);
    });
    backend.whenIdle([&] {
        EXPECT_EQ(backend.modals().back().kind, "messagebox");
        backend.key(VK_RETURN);
    });
    backend.whenIdle([&] {
        backend.type("..\\log");
        backend.key(VK_RETURN);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.GetPathName(), "\\log.zrn");
}

TEST(FileDialogFilter, Globs) {
    struct Case {
        const char* name;
        const char* patterns;
        bool match;
    };
    const Case cases[] = {{"a.kct", "*.kct", true}, {"A.KCT", "*.kct", true}, {"a.kct.bak", "*.kct", false},
                          {"noext", "*.*", true},   {"x.jpg", "*.zrn;*.jpg", true}, {"x.jpeg", "*.jpg", false}};
    for (const auto& c : cases) EXPECT_EQ(CFileDialog::matches(c.name, c.patterns), c.match) << c.name << " " << c.patterns;
}

TEST(DevicePaths, Normalise) {
    EXPECT_EQ(normalDevicePath("\\\\My Documents//a.kct"), "\\My Documents\\a.kct");
    EXPECT_EQ(normalDevicePath(""), "\\");
    EXPECT_EQ(parentDevicePath("\\a"), "\\");
    EXPECT_EQ(joinDevicePath("\\", "x"), "\\x");
    const auto root = std::filesystem::temp_directory_path() / ("zarn_ui_paths_" + std::to_string(::getpid()));
    setenv("ZARN_ROOT", root.c_str(), 1);
    EXPECT_FALSE(deviceFiles().isFolder("\\..\\etc"));
    EXPECT_TRUE(deviceFiles().isFolder("\\my documents"));  // a standard folder, any case
    EXPECT_FALSE(deviceFiles().isFile("\\My Documents\\a"));
    unsetenv("ZARN_ROOT");
    std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace zarn
