// Cost of one full paint of a busy 240 x 268 screen: fills, a few hundred line
// segments, thirty text lines, one stretched bitmap, one copy to the window.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "platform/gdi/dc.h"

namespace {

using namespace zarn;

struct Screen {
    Surface window{240, 320};
    CDC windowDc{window, CPoint(0, 26), CRect(0, 26, 240, 294)};
    CBitmap picture;
    CDC pictureDc;
    CFont font;
    CPen tracePen{PS_SOLID, 1, RGB(192, 0, 0)}, peakPen{PS_SOLID, 2, RGB(255, 255, 0)};
    Screen() {
        pictureDc.CreateCompatibleDC(nullptr);
        picture.CreateCompatibleBitmap(&pictureDc, 240, 150);
        pictureDc.SelectObject(&picture);
        for (int y = 0; y < 150; y += 13) pictureDc.FillSolidRect(0, y, 240, 12, RGB(0, 0, 128));
        font.CreatePointFont(80, "System");
    }

    void paint() {
        CDC mem;
        mem.CreateCompatibleDC(&windowDc);
        CBitmap bitmap;
        bitmap.CreateCompatibleBitmap(&windowDc, 240, 268);
        CBitmap* oldBitmap = mem.SelectObject(&bitmap);
        CFont* oldFont = mem.SelectObject(&font);
        mem.FillSolidRect(0, 0, 240, 268, RGB(0, 0, 0));
        mem.StretchBlt(0, 70, 240, 150, &pictureDc, 0, 0, 240, 150, SRCCOPY);
        CPen* oldPen = mem.SelectObject(&tracePen);
        for (int i = 0; i < 300; ++i) {
            int x = 30 + (i * 201) / 300, y = 24 + (i * 37) % 133;
            if (i == 0) mem.MoveTo(x, y);
            mem.LineTo(x, y);
        }
        mem.SelectObject(&peakPen);
        mem.MoveTo(32, 100);
        mem.LineTo(190, 100);
        mem.SelectObject(oldPen);
        mem.SetTextColor(RGB(255, 255, 255));
        char text[64];
        for (int row = 0; row < 30; ++row) {
            std::snprintf(text, sizeof text, "[%.02f MHz][Channel %d][%.1f dBm]", 869.01 + row, 990 + row, -60.5);
            mem.SetBkColor(RGB(0, 0, 128));
            mem.FillSolidRect(0, 8 * row, 240, 8, RGB(0, 0, 128 - row));
            mem.DrawText(text, CRect(0, 8 * row, 240, 8 * row + 8), DT_CENTER | DT_VCENTER);
        }
        windowDc.BitBlt(0, 0, 240, 268, &mem, 0, 0, SRCCOPY);
        mem.SelectObject(oldFont);
        mem.SelectObject(oldBitmap);
    }
};

void BM_BusyScreenPaint(benchmark::State& state) {
    Screen screen;
    for (auto _ : state) {
        screen.paint();
        benchmark::DoNotOptimize(screen.window.pixels.data());
    }
}
BENCHMARK(BM_BusyScreenPaint)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
