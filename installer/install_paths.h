#pragma once
// Where an installation takes a product from and puts it: the products on the
// storage card and the device paths composed from them. Paths are used exactly
// as composed; the device file system reads a doubled backslash as one.

#include <span>
#include <string>

namespace zarn {

struct Product {
    const char* cardFolder;  // below \files\ on the card
    const char* name;        // program folder and shortcut
    const char* executable;
};

constexpr Product kZarnController{"zarn", "ZarnController", "zarn.exe"};
constexpr Product kBraxmoor{"braxmoor", "Braxmoor", "brxm.exe"};

// The autorun program's file name that the card folder drops, in characters.
constexpr size_t kAutoRunNameLength = 11;

// The card folder: the autorun path less its program's name. False when the
// path is too short to hold one (or too long for the shell's buffer).
bool cardFolderOf(const std::string& autoRunPath, std::string& folder);

std::string sourceFile(const std::string& cardFolder, const Product& p);
std::string programFolder(const Product& p);
std::string installedFile(const Product& p);
std::string storeFolder(const Product& p);
std::string storeCopy(const Product& p);
std::string shortcutFile(const Product& p);
std::string shortcutTarget(const Product& p);

}  // namespace zarn
