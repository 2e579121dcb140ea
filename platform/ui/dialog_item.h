#pragma once
// DialogItem: one control of a dialog: static text, edit box, push button,
// auto radio button, auto check box or icon, drawn in the device's style on a
// white dialog.
//
//  - A radio button or check box holds a checked state (0/1); an edit box
//    holds its text, and either the whole text is selected or the caret is at
//    its end. Typing replaces a selection; Backspace removes the selection or
//    the last character.
//  - Items never handle the pen or keys themselves: the dialog does, so that
//    focus, groups and the input panel stay in one place.

#include <string>

#include "platform/gdi/resource.h"
#include "platform/ui/cwnd.h"

namespace zarn {

class DialogItem;

// Who an item tells about the pen.
class ItemOwner {
public:
    virtual ~ItemOwner() = default;
    virtual void itemPen(DialogItem* item, bool down, CPoint point) = 0;
};

class DialogItem : public CWnd {
public:
    DialogItem(ControlKind kind, unsigned style) : kind_(kind), flags_(style) {}

    ControlKind kind() const { return kind_; }
    unsigned flags() const { return flags_; }
    bool startsGroup() const { return (flags_ & CF_GROUP) != 0; }
    bool takesFocus() const;

    int checked() const { return checked_; }
    void setChecked(int on);
    bool focused() const { return focused_; }
    void setFocused(bool on);
    bool pressed() const { return pressed_; }
    void setPressed(bool on);
    bool selected() const { return selected_; }
    void setSelected(bool on);

    // Edit boxes.
    void typeChar(char c);
    void backspace();

    void OnPaint() override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void setOwner(ItemOwner* owner) { owner_ = owner; }

private:
    ItemOwner* owner_ = nullptr;
    void paintRadio(class CDC& dc, const CRect& r);
    void paintCheck(class CDC& dc, const CRect& r);
    void paintMarkLabel(class CDC& dc, const CRect& r);
    void paintEdit(class CDC& dc, const CRect& r);
    void paintButton(class CDC& dc, const CRect& r);
    void paintIcon(class CDC& dc, const CRect& r);
    void paintFocus(class CDC& dc, const CRect& r);

    ControlKind kind_;
    unsigned flags_;
    int checked_ = 0;
    bool focused_ = false;
    bool pressed_ = false;
    bool selected_ = false;
};

}  // namespace zarn
