#pragma once
// Resources compiled into the program: bitmaps by number, WAVE sounds by name,
// the string table, dialog templates and the icon.
//
// - The resources library of a program registers its tables at start-up
//   (registerResources, from a static initialiser); lookups search every
//   registered table in registration order, the first match wins.
// - Every lookup returns null (loadString: an empty text) when nothing of that
//   number or name exists; WAVE names compare case-insensitively, as on the
//   device.
// - Bitmap pixels are stored run-length encoded (pairs of count, 0x00RRGGBB
//   pixel, rows top first); decodeBitmap expands them. bitsPerPixel records
//   the depth the picture was drawn for (4, 8 or 24) and is what GetBitmap
//   reports; the stored pixels are always full colour.
// - An icon is a bitmap with a mask: mask[y * width + x] is 1 where the icon
//   is opaque.
// - WAVE data are 8-bit unsigned mono PCM samples (128 is silence).
// - Dialog templates: sizes and positions in dialog units, controls in tab
//   order.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/gdi/surface.h"

namespace zarn {

struct BitmapResource {
    int id;
    int width;
    int height;
    int bitsPerPixel;
    const uint32_t* runs;   // count, pixel, count, pixel, ...
    size_t runCount;        // number of (count, pixel) pairs
    const uint8_t* mask;    // icons only; null for bitmaps
};

struct WaveResource {
    const char* name;
    int sampleRate;
    const uint8_t* samples;
    size_t sampleCount;
};

struct StringResource {
    int id;
    const char* text;
};

enum class ControlKind { Static, Edit, PushButton, RadioButton, CheckBox, Icon };

// Control style flags.
enum : unsigned {
    CF_GROUP = 1u << 0,        // starts a group (radio buttons; tab stops)
    CF_TABSTOP = 1u << 1,      // takes the focus by Tab
    CF_HIDDEN = 1u << 2,       // created hidden
    CF_BORDER = 1u << 3,       // drawn with a border
    CF_AUTOHSCROLL = 1u << 4,  // edit box scrolls its text horizontally
};

struct DialogControl {
    int id;                    // -1 for controls without an id
    ControlKind kind;
    const char* text;          // for an icon: the icon's resource number as text, e.g. "128"
    int x, y, w, h;            // dialog units
    unsigned style;
};

struct DialogTemplate {
    int id;
    const char* caption;
    int width, height;         // dialog units
    const char* fontName;
    int pointSize;
    const DialogControl* controls;
    size_t controlCount;
};

struct ResourceTable {
    const BitmapResource* bitmaps = nullptr;
    size_t bitmapCount = 0;
    const BitmapResource* icons = nullptr;
    size_t iconCount = 0;
    const WaveResource* waves = nullptr;
    size_t waveCount = 0;
    const StringResource* strings = nullptr;
    size_t stringCount = 0;
    const DialogTemplate* dialogs = nullptr;
    size_t dialogCount = 0;
};

// Adds a table; false when too many are registered. The table must live for the whole process.
bool registerResources(const ResourceTable* table);

const BitmapResource* findBitmap(int id);
const BitmapResource* findIcon(int id);
// The icon of that number drawn at that width (an icon comes in several sizes;
// findIcon gives the first listed).
const BitmapResource* findIcon(int id, int width);
const WaveResource* findWave(const char* name);
const DialogTemplate* findDialog(int id);
std::string loadString(int id);

// Expands a bitmap resource; false when its runs do not fill exactly width x height pixels.
bool decodeBitmap(const BitmapResource& res, Surface& out);

}  // namespace zarn
