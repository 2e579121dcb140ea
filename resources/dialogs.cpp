// Dialog templates: positions and sizes in dialog units, controls in tab order.
#include <iterator>

#include "platform/gdi/resource.h"

namespace zarn {
namespace {

using K = ControlKind;

const DialogControl kBestServerOptions[] = {
    {1000, K::RadioButton, "(869.01 - 893.97) MHz", 12, 8, 89, 10, CF_GROUP | CF_TABSTOP},
    {1001, K::RadioButton, "(1930.00 - 1990.00) MHz", 12, 22, 97, 10, 0},
    {-1, K::Static, "How Many Servers Would You Like To See?", 7, 41, 117, 17, CF_HIDDEN},
    {1002, K::RadioButton, "1", 13, 62, 20, 10, CF_GROUP | CF_TABSTOP | CF_HIDDEN},
    {1003, K::RadioButton, "2", 13, 79, 20, 10, CF_HIDDEN},
    {1004, K::RadioButton, "3", 13, 96, 20, 10, CF_HIDDEN},
    {1005, K::RadioButton, "4", 13, 113, 20, 10, CF_HIDDEN},
    {1006, K::RadioButton, "5", 13, 130, 20, 10, CF_HIDDEN},
    {1007, K::RadioButton, "6", 63, 62, 20, 10, CF_HIDDEN},
    {1008, K::RadioButton, "7", 63, 79, 20, 10, CF_HIDDEN},
    {1009, K::RadioButton, "8", 63, 96, 20, 10, CF_HIDDEN},
    {1010, K::RadioButton, "9", 63, 113, 20, 10, CF_HIDDEN},
    {1011, K::RadioButton, "10", 63, 130, 24, 10, CF_HIDDEN},
};

const DialogControl kSingleChannelOptions[] = {
    {1012, K::CheckBox, "Make Cellular Active", 7, 18, 80, 10, CF_TABSTOP},
    {1014, K::Edit, "", 7, 32, 86, 14, CF_TABSTOP | CF_BORDER | CF_AUTOHSCROLL},
    {1013, K::CheckBox, "Make PCS Active", 7, 60, 69, 10, CF_TABSTOP},
    {1015, K::Edit, "", 7, 73, 84, 14, CF_TABSTOP | CF_BORDER | CF_AUTOHSCROLL},
    {1016, K::RadioButton, "Frequency", 7, 104, 50, 10, CF_GROUP | CF_TABSTOP},
    {1017, K::RadioButton, "Channel", 63, 104, 42, 10, 0},
};

const DialogControl kSpectrumOptions[] = {
    {1000, K::RadioButton, "(869.01 - 893.97) MHz", 7, 7, 126, 10, CF_GROUP | CF_TABSTOP},
    {1001, K::RadioButton, "(1930.00 - 1990.00) MHz", 7, 22, 126, 10, 0},
    {1024, K::Static, "Center", 7, 44, 23, 8, 0},
    {-1, K::Static, "Span", 7, 79, 17, 8, 0},
    {1020, K::Edit, "", 7, 54, 54, 14, CF_TABSTOP | CF_BORDER | CF_AUTOHSCROLL},
    {1021, K::Edit, "", 7, 89, 53, 14, CF_TABSTOP | CF_BORDER | CF_AUTOHSCROLL},
    {1022, K::RadioButton, "in MHz", 75, 60, 37, 10, CF_GROUP | CF_TABSTOP},
    {1023, K::RadioButton, "in Channels", 75, 74, 53, 10, 0},
};

const DialogControl kAbout[] = {
    {-1, K::Icon, "128", 7, 7, 20, 20, 0},
    {-1, K::Static, "Zarn Dual-Band Receiver\nVersion 2.03", 7, 34, 121, 15, 0},
    {-1, K::Static, "KMT Zarn receiver front end.\nFor measurement use only.\nAll rights reserved.", 7, 61, 121, 27, 0},
};

const DialogControl kSetup[] = {
    {1000, K::PushButton, "Install Zarn Controller", 7, 25, 125, 14, CF_TABSTOP},
    {1001, K::PushButton, "Install Braxmoor", 7, 56, 125, 14, CF_TABSTOP},
};

const DialogTemplate kDialogs[] = {
    {102, "Zarn Installation", 139, 103, "System", 8, kSetup, std::size(kSetup)},
    {151, "Best Server Options", 131, 150, "System", 8, kBestServerOptions, std::size(kBestServerOptions)},
    {152, "Single Channel Options", 112, 121, "System", 8, kSingleChannelOptions, std::size(kSingleChannelOptions)},
    {153, "Spectrum Options", 140, 150, "System", 8, kSpectrumOptions, std::size(kSpectrumOptions)},
    {155, "About Zarn", 135, 95, "System", 8, kAbout, std::size(kAbout)},
};

const ResourceTable kTable = {nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, kDialogs, std::size(kDialogs)};
[[maybe_unused]] const bool kRegistered = registerResources(&kTable);

}  // namespace
}  // namespace zarn
