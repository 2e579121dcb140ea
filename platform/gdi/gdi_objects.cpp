#include "platform/gdi/gdi_objects.h"

#include "platform/gdi/resource.h"

namespace zarn {

bool CPen::CreatePen(int style, int width, COLORREF color) {
    if (style != PS_SOLID && style != PS_NULL) return false;
    style_ = style;
    width_ = width < 1 ? 1 : width;
    color_ = color;
    return true;
}

bool CFont::CreatePointFont(int pointSizeTenths, const char*, CDC*) {
    face_ = loadFontFace(pointSizeTenths <= 90 ? FontFace::Size::Small : FontFace::Size::Large);
    return face_ != nullptr;
}

uint32_t BitmapStore::pixel(int x, int y) const {
    if (!isDib()) return surface.at(x, y);
    const uint8_t* p = &dib[static_cast<size_t>(height - 1 - y) * dibStride + 3 * static_cast<size_t>(x)];
    return (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[0];
}

void BitmapStore::setPixel(int x, int y, uint32_t v) {
    if (!isDib()) {
        surface.at(x, y) = v;
        return;
    }
    uint8_t* p = &dib[static_cast<size_t>(height - 1 - y) * dibStride + 3 * static_cast<size_t>(x)];
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
}

bool CBitmap::CreateCompatibleBitmap(CDC*, int width, int height) {
    if (width < 1 || height < 1) return false;
    auto store = std::make_shared<BitmapStore>();
    store->width = width;
    store->height = height;
    store->surface = Surface(width, height);
    store_ = std::move(store);
    return true;
}

bool CBitmap::LoadBitmap(unsigned id) {
    const BitmapResource* res = findBitmap(static_cast<int>(id));
    if (!res) return false;
    auto store = std::make_shared<BitmapStore>();
    if (!decodeBitmap(*res, store->surface)) return false;
    store->width = res->width;
    store->height = res->height;
    store->bitsPixel = res->bitsPerPixel;
    store_ = std::move(store);
    return true;
}

bool CBitmap::CreateDIBSection(CDC*, int width, int height, int bitCount, void** bits) {
    if (bitCount != 24 || width < 1 || height < 1) return false;
    auto store = std::make_shared<BitmapStore>();
    store->width = width;
    store->height = height;
    store->bitsPixel = 24;
    store->dibSection = true;
    store->dibStride = (width * 3 + 3) & ~3;
    store->dib.assign(static_cast<size_t>(store->dibStride) * height, 0);
    if (bits) *bits = store->dib.data();
    store_ = std::move(store);
    return true;
}

int CBitmap::GetBitmap(BITMAP* info) const {
    if (!store_ || !info) return 0;
    info->bmWidth = store_->width;
    info->bmHeight = store_->height;
    info->bmBitsPixel = store_->bitsPixel;
    return static_cast<int>(sizeof(BITMAP));
}

}  // namespace zarn
