#pragma once
// CDialog: a modal dialog over the client area (screen rows 26..293), built
// from a dialog template (dialog units: x pixels = units * 12 / 7, y pixels =
// units * 7 / 4, so 140 x 150 units fill 240 x 262 pixels), or from items
// added in code.
//
//  - DoModal returns IDOK or IDCANCEL, or -1 when the template is missing.
//    It returns IDCANCEL when the program quits meanwhile. Posted messages,
//    paints and timers keep flowing while it is up.
//  - OnInitDialog loads the members into the controls (UpdateData(FALSE))
//    and gives the focus to the first control that can take it.
//  - OnOK reads the controls back (UpdateData(TRUE)); when a value does not
//    convert, a message box says so, that control takes the focus and the
//    dialog stays open. OnCancel closes without reading anything.
//  - The caption's "ok" box is OnOK, its "x" box OnCancel; so are Enter and
//    Escape. Tab / Shift+Tab move the focus in template order (a radio group
//    is one stop: its chosen button, else its first); Space toggles a check
//    box, chooses a radio button or presses a push button; the arrow keys
//    move the choice within a radio group; typed text goes to the focused
//    edit box, which selects its text when Tab brings the focus to it.
//  - A tap on an edit box focuses it (selecting its text when the focus was
//    elsewhere) and opens the numeric panel; the panel
//    closes when the focus moves to another kind of control or on its Hide key.
//  - A push button's id reaches OnCommand when it is pressed; IDOK and
//    IDCANCEL map to OnOK and OnCancel.
//  - Hidden controls still exchange data.
//  - WM_CLOSE cancels the dialog (OnCancel), as the device's dialogs do.

#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/resource.h"
#include "platform/ui/dialog_item.h"
#include "platform/ui/numeric_panel.h"
#include "platform/ui/window_system.h"

namespace zarn {

class CDialog;
using HICON = const BitmapResource*;

class CDataExchange {
public:
    CDataExchange(CDialog* dialog, BOOL save) : m_pDlgWnd(dialog), m_bSaveAndValidate(save) {}
    void Fail(DialogItem* item, const std::string& message);
    bool failed() const { return failed_; }

    CDialog* m_pDlgWnd;
    BOOL m_bSaveAndValidate;

private:
    bool failed_ = false;
};

void DDX_Radio(CDataExchange* dx, int firstId, int& value);
void DDX_Check(CDataExchange* dx, int id, int& value);
void DDX_Text(CDataExchange* dx, int id, double& value);
void DDX_Text(CDataExchange* dx, int id, int& value);
void DDX_Text(CDataExchange* dx, int id, std::string& value);

class CDialog : public CWnd, public ModalWindow, public ItemOwner {
    DECLARE_DYNAMIC(CDialog)
public:
    static int unitsToPixelsX(int units) { return (units * 12 + 3) / 7; }
    static int unitsToPixelsY(int units) { return (units * 7 + 2) / 4; }

    explicit CDialog(UINT templateId = 0, CWnd* parent = nullptr);
    ~CDialog() override;

    virtual int DoModal();
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange*) {}
    void EndDialog(int result);
    BOOL UpdateData(BOOL save = TRUE);

    DialogItem* item(int id) const;
    DialogItem* focusedItem() const;
    void setFocus(DialogItem* item, bool selectText);
    bool panelShown() const;
    const std::vector<std::unique_ptr<DialogItem>>& items() const { return items_; }
    // Radio groups: the buttons of the group that id belongs to, in order.
    std::vector<DialogItem*> radioGroup(int id) const;

    void CenterWindow(CWnd* = nullptr) {}
    HICON SetIcon(HICON icon, BOOL big);
    void setCaption(const std::string& caption) { caption_ = caption; }

    // ModalWindow.
    std::string modalCaption() const override { return caption_; }
    bool modalHasCancelBox() const override { return true; }
    void modalCaptionButton(int command) override;

    void itemPen(DialogItem* item, bool down, CPoint point) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
    void OnChar(UINT ch, UINT repeat, UINT flags) override;
    void OnPaint() override;
    void OnClose() override { OnCancel(); }

protected:
    // Builds the window and its controls; false when there is no template.
    virtual bool build();
    virtual CRect dialogRect() const;
    virtual const char* modalKind() const { return "dialog"; }
    virtual std::string modalText() const { return ""; }
    DialogItem* addItem(ControlKind kind, int id, const std::string& text, const CRect& pixels, unsigned flags);
    std::vector<DialogItem*> tabStops() const;
    void moveFocus(int step);
    void act(DialogItem* item);
    void choose(DialogItem* radio);
    void panelKey(char ch);

    UINT templateId_;
    std::string caption_;
    std::vector<std::unique_ptr<DialogItem>> items_;
    std::unique_ptr<NumericPanel> panel_;
    HICON icon_ = nullptr;
};

// Message boxes: an OK button, centred over the client area; Enter, Escape
// and the caption's "ok" box press OK. They return IDOK.
int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type);

}  // namespace zarn
