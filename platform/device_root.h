#pragma once
// Device file system: the device's folder tree rooted at `\`, kept in a host folder.
//
//  - deviceRoot(): the host folder of `\`: $ZARN_ROOT, else $XDG_DATA_HOME/zarn, else
//    ~/.local/share/zarn. Created on first use together with the standard folders
//    `My Documents`, `Program Files`, `Windows/Start Menu` and `iPAQ File Store`.
//    Empty when it cannot be created.
//  - hostPath(devicePath): the host path of a device path. `\` and `/` both separate,
//    repeated separators count once, `.` is skipped. Each component that has no entry of
//    the exact name matches an entry that differs only in case; a component that matches
//    nothing is kept as written (so a file about to be created maps too). `\Storage Card`
//    maps to storageCardFolder(). Returns an empty string, like a missing file, for a
//    `..` component and for a path whose existing part leads out of its root through a
//    symbolic link.
//  - storageCardFolder(): $ZARN_CARD, else the running program's folder when it holds a
//    `files` folder, else ROOT/Storage Card.
//  - createDirectory(devicePath): creates one folder; fails when it exists already, when
//    its parent is missing or when the path is refused.

#include <string>

namespace zarn {

std::string deviceRoot();
std::string storageCardFolder();
std::string hostPath(const std::string& devicePath);
bool createDirectory(const std::string& devicePath);

}  // namespace zarn
