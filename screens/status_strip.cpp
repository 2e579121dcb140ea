#include "screens/status_strip.h"

#include <cstdio>
#include <memory>

#include "board/board_state.h"
#include "platform/gdi/colours.h"
#include "recording/log_recorder.h"
#include "screens/offscreen_paint.h"

namespace zarn {
namespace {

constexpr unsigned kLineFormat = DT_CENTER | DT_VCENTER;
constexpr unsigned kClockFormat = DT_VCENTER;

constexpr CRect kIdentityRect{0, 209, 240, 224};
constexpr CRect kLogRect{0, 224, 240, 239};
constexpr CRect kBandRect{0, 239, 240, 254};
constexpr CRect kClockRect{0, 255, 240, 270};
constexpr CRect kIncTextRect{212, 256, 236, 269};

std::unique_ptr<StatusStrip> gStrip;
int gBannerFrame = 1;

}  // namespace

StatusStrip::StatusStrip(LocalTimeSource clock) : clock_(std::move(clock)) {}

void StatusStrip::drawLine(CDC* dc, const CRect& rect, COLORREF colour, const char* text) {
    SelectedFont font(dc, 80);
    dc->SetTextColor(kWhite);
    dc->SetBkColor(colour);
    dc->FillSolidRect(rect, colour);
    dc->DrawText(text, rect, kLineFormat);
}

void StatusStrip::drawIdentityLine(CDC* dc) {
    const BoardState& board = boardState();
    char text[128];
    std::snprintf(text, sizeof text, "(Firmware Version %s)(Serial Number %s)", board.firmwareVersion,
                  board.serialNumber);
    drawLine(dc, kIdentityRect, RGB(64, 0, 0), text);
}

void StatusStrip::drawLogLine(CDC* dc) {
    char text[80];
    const int n = std::snprintf(text, sizeof text, "Log File Is Now %u Kb",
                                static_cast<unsigned>(logRecorder().fileLength() / 1000));
    // Records the log could not take are said where its size is.
    if (const size_t dropped = logRecorder().droppedRecords())
        std::snprintf(text + n, sizeof text - n, ", %zu lost", dropped);
    drawLine(dc, kLogRect, RGB(0, 0, 196), text);
}

void StatusStrip::drawBandLine(CDC* dc) {
    char text[80];
    std::snprintf(text, sizeof text, "(869.01-893.97MHz/30kHz) (1930.00-1990.00/%dkHz)",
                  static_cast<int>(boardState().pcsPlan.pcsRaster() / 1000));
    drawLine(dc, kBandRect, RGB(0, 128, 0), text);
}

void StatusStrip::drawClockLine(CDC* dc) {
    SelectedFont font(dc, 80);
    dc->SetTextColor(kWhite);
    dc->SetBkColor(kNavy);
    dc->FillSolidRect(kClockRect, kNavy);

    const LocalTime now = clock_();
    char date[32];
    char time[32];
    char marker[32];
    std::snprintf(date, sizeof date, "%d/%d/%d", now.month, now.day, now.year);
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", now.hour, now.minute, now.second);
    std::snprintf(marker, sizeof marker, "Marker #%d", static_cast<int>(boardState().markerCount));
    dc->DrawText("RTC", CRect{5, 257, 40, 268}, kClockFormat);
    dc->DrawText(date, CRect{45, 257, 90, 268}, kClockFormat);
    dc->DrawText(time, CRect{95, 257, 140, 268}, kClockFormat);
    dc->DrawText(marker, CRect{145, 257, 209, 268}, kClockFormat);
    drawIncButton(dc);
}

void StatusStrip::drawIncButton(CDC* dc) {
    SelectedFont font(dc, 80);
    const COLORREF face = pressed_ ? kRed : kWhite;
    dc->FillSolidRect(kIncRect, face);
    dc->SetTextColor(pressed_ ? kWhite : kRed);
    dc->SetBkColor(face);
    dc->DrawText("INC", kIncTextRect, kClockFormat);
    CBrush frame(kRed);
    dc->FrameRect(kIncRect, &frame);
}

void StatusStrip::drawBanner(CDC* dc) {
    stretchBitmapResource(dc, bannerBitmap(gBannerFrame), CRect{0, 0, 240, 14});
    gBannerFrame = gBannerFrame % kBannerFrames + 1;
}

void StatusStrip::drawBitmap(CDC* dc, unsigned id, int x, int y, int width, int height) {
    stretchBitmapResource(dc, id, CRect{x, y, x + width, y + height});
}

void StatusStrip::drawBitmapInRect(CDC* dc, unsigned id, int left, int top, int right, int bottom) {
    stretchBitmapResource(dc, id, CRect{left, top, right, bottom});
}

StatusStrip& createStatusStrip() {
    gStrip = std::make_unique<StatusStrip>();
    return *gStrip;
}

StatusStrip& statusStrip() {
    return gStrip ? *gStrip : createStatusStrip();
}

int bannerFrame() { return gBannerFrame; }

void setBannerFrame(int frame) { gBannerFrame = (frame >= 1 && frame <= kBannerFrames) ? frame : 1; }

unsigned bannerBitmap(int frame) {
    return frame >= kBannerFrames ? kFirstBannerBitmap : kFirstBannerBitmap + frame;
}

bool stretchBitmapResource(CDC* dc, unsigned id, const CRect& dst) {
    CBitmap bitmap;
    if (!bitmap.LoadBitmap(id)) return false;
    BITMAP info;
    bitmap.GetBitmap(&info);
    CDC memory;
    memory.CreateCompatibleDC(dc);
    CBitmap* previous = memory.SelectObject(&bitmap);
    dc->StretchBlt(dst.left, dst.top, dst.Width(), dst.Height(), &memory, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    memory.SelectObject(previous);
    memory.DeleteDC();
    bitmap.DeleteObject();
    return true;
}

}  // namespace zarn
