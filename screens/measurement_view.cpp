#include "screens/measurement_view.h"

#include "platform/gdi/colours.h"
#include "screens/marker_button.h"

namespace zarn {

IMPLEMENT_DYNAMIC(CMeasurementView, CFormView)

MeasurementPaint::MeasurementPaint(CDC* screen, const CRect& client) : image_(screen, client), font_(image_.dc(), 80) {
    image_.dc()->FillSolidRect(client, kBlack);
}

void CMeasurementView::OnDraw(CDC* dc) {
    if (painting_) return;
    painting_ = true;
    CRect client;
    GetClientRect(&client);
    {
        MeasurementPaint image(dc, client);
        paint(image.dc(), client);
    }
    painting_ = false;
}

void CMeasurementView::OnLButtonDown(UINT flags, CPoint point) {
    if (!penDown(point)) markerPenDown(this, point);
    CFormView::OnLButtonDown(flags, point);
}

// Every screen releases INC on pen up, the single-channel screen too, so the box never stays drawn pressed.
void CMeasurementView::OnLButtonUp(UINT flags, CPoint point) {
    markerPenUp(this);
    CFormView::OnLButtonUp(flags, point);
}

}  // namespace zarn
