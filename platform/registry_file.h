#pragma once
// Registry file: the device registry kept as ROOT/registry.reg in the registry editor's
// export format.
//
//  - parseRegistryText(bytes): fills the registry tree from the text of such a file:
//    UTF-8 (with or without BOM) or UTF-16 with a byte-order mark; LF or CR LF line ends;
//    `[full key path]` lines and `"name"="value"` string values with `\\` and `\"` escapes.
//    Lines that do not parse (and values of other types) are skipped; values under a
//    malformed key line are skipped too. Returns the number of values taken.
//  - loadRegistry(file, serialById): clears the tree, reads the file (a missing file
//    gives an empty registry) and then lists each entry of the `serialById` folder (the
//    host's /dev/serial/by-id) under HKEY_LOCAL_MACHINE\Drivers\Active, after the file's
//    subkeys: PnpId = the entry's name without `usb-`, Name = its device path.
//  - reloadRegistry(): loadRegistry again with the file and folder of the last call (before
//    any, ROOT/registry.reg and /dev/serial/by-id), so that a program looking for a device
//    again sees the registry as a new start would.
//  - setFirstActiveDriver(pnpId, name): from then on every loadRegistry lists this driver
//    first under HKEY_LOCAL_MACHINE\Drivers\Active (as its subkey `ZarnGiven`), ahead of the
//    file's subkeys, with these values whatever the file says; an empty pnpId lists none.
//    A port given on the command line stays first when the registry is read again.
//    firstActiveDriverName() is that name, empty when none is set.
//  - setRegistryKey(file, keyPath, values) / removeRegistryKey(file, keyPath): change one
//    key of the file for another process: the key's block is replaced or dropped, every
//    other line is kept as it was, and the new file replaces the old one atomically under
//    an advisory lock (FILE.lock), so concurrent writers do not lose each other's keys.
//  - removeRegistryKeysIf(file, drop): the same for every key whose full path drop() takes,
//    in one rewrite; drop() runs under the lock.

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace zarn {

constexpr const char* kActiveDriversKey = "HKEY_LOCAL_MACHINE\\Drivers\\Active";

int parseRegistryText(const std::string& bytes);
int loadRegistry(const std::string& file, const std::string& serialById = "/dev/serial/by-id");
int reloadRegistry();
std::string registryFilePath();  // ROOT/registry.reg
void setFirstActiveDriver(const std::string& pnpId, const std::string& name);
std::string firstActiveDriverName();

bool setRegistryKey(const std::string& file, const std::string& keyPath,
                    const std::vector<std::pair<std::string, std::string>>& values);
bool removeRegistryKey(const std::string& file, const std::string& keyPath);
bool removeRegistryKeysIf(const std::string& file, const std::function<bool(const std::string&)>& drop);

}  // namespace zarn
