#include "platform/gdi/resource.h"

#include <strings.h>

namespace zarn {
namespace {

constexpr size_t kMaxTables = 8;
const ResourceTable* tables[kMaxTables] = {};
size_t tableCount = 0;

template <typename T, typename Match>
const T* findIn(const T* ResourceTable::*items, size_t ResourceTable::*count, Match match) {
    for (size_t t = 0; t < tableCount; ++t) {
        const ResourceTable& table = *tables[t];
        for (size_t i = 0; i < table.*count; ++i)
            if (match((table.*items)[i])) return &(table.*items)[i];
    }
    return nullptr;
}

}  // namespace

bool registerResources(const ResourceTable* table) {
    if (!table || tableCount == kMaxTables) return false;
    tables[tableCount++] = table;
    return true;
}

const BitmapResource* findBitmap(int id) {
    return findIn(&ResourceTable::bitmaps, &ResourceTable::bitmapCount,
                  [id](const BitmapResource& r) { return r.id == id; });
}

const BitmapResource* findIcon(int id) {
    return findIn(&ResourceTable::icons, &ResourceTable::iconCount,
                  [id](const BitmapResource& r) { return r.id == id; });
}

const BitmapResource* findIcon(int id, int width) {
    return findIn(&ResourceTable::icons, &ResourceTable::iconCount,
                  [id, width](const BitmapResource& r) { return r.id == id && r.width == width; });
}

const WaveResource* findWave(const char* name) {
    if (!name) return nullptr;
    return findIn(&ResourceTable::waves, &ResourceTable::waveCount,
                  [name](const WaveResource& r) { return strcasecmp(r.name, name) == 0; });
}

const DialogTemplate* findDialog(int id) {
    return findIn(&ResourceTable::dialogs, &ResourceTable::dialogCount,
                  [id](const DialogTemplate& r) { return r.id == id; });
}

std::string loadString(int id) {
    const StringResource* s = findIn(&ResourceTable::strings, &ResourceTable::stringCount,
                                     [id](const StringResource& r) { return r.id == id; });
    return s ? std::string(s->text) : std::string();
}

bool decodeBitmap(const BitmapResource& res, Surface& out) {
    if (res.width <= 0 || res.height <= 0) return false;
    Surface s(res.width, res.height);
    size_t pos = 0, total = s.pixels.size();
    for (size_t i = 0; i < res.runCount; ++i) {
        uint32_t n = res.runs[2 * i], p = res.runs[2 * i + 1];
        if (n > total - pos) return false;
        std::fill_n(s.pixels.begin() + static_cast<ptrdiff_t>(pos), n, p);
        pos += n;
    }
    if (pos != total) return false;
    out = std::move(s);
    return true;
}

}  // namespace zarn
