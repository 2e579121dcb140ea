// The string table: the document string, the start-up failure, and the
// tooltips and command texts of the command bar.
#include <iterator>

#include "platform/gdi/resource.h"

namespace zarn {
namespace {

const StringResource kStrings[] = {
    {128, "zarn\n\nZarn\n\n\nZarn.Document\nZarn Document"},
    {104, "Windows sockets initialization failed."},
    {65001, "File"},
    {65002, "Help"},
    {65004, "Cut"},
    {65005, "Copy"},
    {65006, "Paste"},
    {65007, "About"},
    {32771, "Return to Main Menu"},
    {32772, "Up Arrow"},
    {32773, "Down Arrow"},
    {32774, "Store a JPEG image"},
    {32775, "Record a Log File"},
    {32776, "Stop logging to file"},
    {32777, "About Zarn"},
};

const ResourceTable kTable = {nullptr, 0, nullptr, 0, nullptr, 0, kStrings, std::size(kStrings), nullptr, 0};
[[maybe_unused]] const bool kRegistered = registerResources(&kTable);

}  // namespace
}  // namespace zarn
