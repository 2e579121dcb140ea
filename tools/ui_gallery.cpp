// ui_gallery: shows a message box, a dialog with every kind of control and an
// open-file dialog, one after the other, and prints how each was answered.
// ZARN_UI=headless runs it without a window (each dialog is then cancelled).

#include <cstdio>

#include "platform/command_line.h"
#include "platform/gdi/resource.h"
#include "platform/ui/app.h"
#include "platform/ui/dialog.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/win_main.h"

namespace {

using namespace zarn;

constexpr int kGalleryDialog = 9100;
const DialogControl kControls[] = {
    {1000, ControlKind::RadioButton, "(869.01 - 893.97) MHz", 7, 7, 126, 10, CF_GROUP},
    {1001, ControlKind::RadioButton, "(1930.00 - 1990.00) MHz", 7, 22, 126, 10, 0},
    {-1, ControlKind::Static, "Center", 7, 44, 23, 8, 0},
    {1020, ControlKind::Edit, "", 7, 54, 54, 14, CF_BORDER | CF_AUTOHSCROLL | CF_TABSTOP},
    {1012, ControlKind::CheckBox, "Make Cellular Active", 7, 76, 80, 10, CF_TABSTOP},
    {1005, ControlKind::PushButton, "Push Me", 7, 94, 60, 14, CF_TABSTOP},
    {1022, ControlKind::RadioButton, "in MHz", 75, 54, 37, 10, CF_GROUP},
    {1023, ControlKind::RadioButton, "in Channels", 75, 68, 53, 10, 0},
};
const DialogTemplate kDialogs[] = {{kGalleryDialog, "Gallery", 140, 150, "System", 8, kControls, std::size(kControls)}};
ResourceTable galleryTable() {
    ResourceTable t;
    t.dialogs = kDialogs;
    t.dialogCount = 1;
    return t;
}
const ResourceTable kTable = galleryTable();
const bool kRegistered = registerResources(&kTable);

class GalleryDialog : public CDialog {
public:
    GalleryDialog() : CDialog(kGalleryDialog) {}
    int band = -1, units = -1, active = 0;
    double centre = 881.52;
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Radio(dx, 1000, band);
        DDX_Text(dx, 1020, centre);
        DDX_Check(dx, 1012, active);
        DDX_Radio(dx, 1022, units);
    }
    BOOL OnCommand(WPARAM w, LPARAM l) override {
        if (LOWORD(w) == 1005) {
            MessageBox("The push button was pressed.", "Gallery");
            return TRUE;
        }
        return CDialog::OnCommand(w, l);
    }
};

class GalleryApp : public CWinApp {
public:
    BOOL InitInstance() override {
        AfxMessageBox("This is a message box.\nEnter, Escape or ok closes it.");
        GalleryDialog dialog;
        int answer = dialog.DoModal();
        std::printf("dialog: %s band %d centre %g active %d units %d\n", answer == IDOK ? "OK" : "Cancel", dialog.band,
                    dialog.centre, dialog.active, dialog.units);
        CFileDialog files(TRUE, ".kct", "KCT", OFN_FILEMUSTEXIST, "Channel Tables (*.kct)|*.kct|All Files (*.*)|*.*||");
        if (files.DoModal() == IDOK) {
            std::printf("file: %s\n", files.GetPathName().c_str());
        } else {
            std::printf("file: cancelled\n");
        }
        return FALSE;
    }
};

GalleryApp theApp;

const CommandLine kCommandLine{"ui_gallery",
                               "Shows a message box, a dialog with every kind of control and an open-file\n"
                               "dialog, one after the other, and prints how each was answered.\n"
                               "ZARN_UI=headless runs it without a window (each dialog is then cancelled).",
                               {}};

}  // namespace

int main(int argc, char** argv) {
    if (const auto status = parseCommandLine(kCommandLine, argc, argv)) return *status;
    return kRegistered ? zarn::AfxWinMain(argc, argv) : 1;
}
