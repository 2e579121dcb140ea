#pragma once
// CMeasurementView: what the four measurement screens share. A paint that
// starts while one of the screen's paints runs is dropped; each paint draws
// off screen, on black, in the 8-point System font, and reaches the window in
// one copy. Pen down on the INC box counts a marker, after the screen's own
// touch actions; pen up releases the box.

#include "platform/ui/doc_view.h"
#include "screens/offscreen_paint.h"

namespace zarn {

// The start of every measurement screen's picture; the image reaches the
// screen when the paint ends.
class MeasurementPaint {
public:
    MeasurementPaint(CDC* screen, const CRect& client);
    CDC* dc() { return image_.dc(); }

private:
    OffscreenPaint image_;
    SelectedFont font_;
};

class CMeasurementView : public CFormView {
    DECLARE_DYNAMIC(CMeasurementView)
public:
    explicit CMeasurementView(UINT templateId) : CFormView(templateId) {}

    void OnDraw(CDC* dc) final;
    void OnLButtonDown(UINT flags, CPoint point) final;
    void OnLButtonUp(UINT flags, CPoint point) final;

protected:
    // Draws the screen onto the black off-screen image.
    virtual void paint(CDC* dc, const CRect& client) = 0;
    // The screen's own touch actions, tested before the INC box; true when one ran.
    virtual bool penDown(CPoint) { return false; }

private:
    bool painting_ = false;
};

}  // namespace zarn
