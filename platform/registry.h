#pragma once
// Registry: the device registry as an in-memory tree of keys with string values, and the
// calls that read it, in the device's shape.
//
//  - Key and value names compare without regard to case; subkeys enumerate in the order
//    they were added.
//  - RegOpenKeyEx(key, subKey, 0, sam, &result): `subKey` is a `\`-separated path below
//    `key`; ERROR_FILE_NOT_FOUND when a part is missing. Every opened key needs RegCloseKey.
//  - RegEnumKeyEx(key, index, name, &nameChars, ...): the name of subkey `index` into
//    `name` (capacity in UTF-16 units, NUL included; on return the length without NUL).
//    ERROR_NO_MORE_ITEMS (259) past the last one; ERROR_MORE_DATA when the name does not
//    fit (nothing is written then).
//  - RegQueryValueEx(key, valueName, 0, &type, data, &dataBytes): a string value as
//    UTF-16LE with its NUL into `data`, which holds `dataBytes` bytes. A value that does not
//    fit is cut to the whole code units that fit and still ends with a NUL; `dataBytes`
//    then tells the bytes written. With `data` null only the size needed is returned.
//    Nothing is read or written past the buffer. ERROR_FILE_NOT_FOUND for a missing value.
//  - A key deleted while a handle to it is open makes calls on that handle fail with
//    ERROR_FILE_NOT_FOUND.
// All calls are safe from any thread.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zarn {

using LONG = int32_t;
using DWORD = uint32_t;
using REGSAM = uint32_t;
struct RegistryKeyHandle;
using HKEY = RegistryKeyHandle*;

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr REGSAM KEY_READ = 0x20019;
constexpr DWORD REG_SZ = 1;

extern const HKEY HKEY_LOCAL_MACHINE;

LONG RegOpenKeyEx(HKEY key, const char16_t* subKey, DWORD options, REGSAM sam, HKEY* result);
LONG RegEnumKeyEx(HKEY key, DWORD index, char16_t* name, DWORD* nameChars, DWORD* reserved,
                  char16_t* className, DWORD* classChars, void* lastWriteTime);
LONG RegQueryValueEx(HKEY key, const char16_t* valueName, DWORD* reserved, DWORD* type,
                     uint8_t* data, DWORD* dataBytes);
LONG RegCloseKey(HKEY key);

// The tree behind those calls. Paths are `\`-separated and start with the root key's name
// (`HKEY_LOCAL_MACHINE\Drivers\Active\22`); texts are UTF-8.
namespace registry {
void clear();
void setValue(const std::string& keyPath, const std::string& name, const std::string& value);
void addKey(const std::string& keyPath);
bool removeKey(const std::string& keyPath);
}  // namespace registry

}  // namespace zarn
