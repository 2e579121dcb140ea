#include "installer/install_paths.h"

#include "platform/file_calls.h"

namespace zarn {

bool cardFolderOf(const std::string& autoRunPath, std::string& folder) {
    folder.clear();
    if (autoRunPath.size() < kAutoRunNameLength || autoRunPath.size() >= MAX_PATH) return false;
    folder = autoRunPath.substr(0, autoRunPath.size() - kAutoRunNameLength);
    return true;
}

std::string sourceFile(const std::string& cardFolder, const Product& p) {
    return cardFolder + "\\files\\" + p.cardFolder + "\\" + p.executable;
}

std::string programFolder(const Product& p) { return std::string("\\Program Files\\") + p.name; }
std::string installedFile(const Product& p) { return programFolder(p) + "\\" + p.executable; }
std::string storeFolder(const Product& p) { return std::string("\\iPAQ File Store\\") + p.name; }
std::string storeCopy(const Product& p) { return storeFolder(p) + "\\" + p.executable; }
std::string shortcutFile(const Product& p) { return std::string("\\Windows\\Start Menu\\") + p.name + ".lnk"; }
std::string shortcutTarget(const Product& p) { return "\"" + installedFile(p) + "\""; }

}  // namespace zarn
