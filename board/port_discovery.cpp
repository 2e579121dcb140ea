#include "board/port_discovery.h"

#include <cstdint>
#include <cstring>

#include "platform/registry.h"

namespace zarn {
namespace {

constexpr unsigned kValueChars = 256;
constexpr DWORD kValueBytesOffered = 511;
constexpr DWORD kKeyNameChars = 512;

// Reads a string value into value; the low byte of each UTF-16 unit goes into narrow
// (capacity narrowSize, always terminated).
bool readNarrow(HKEY key, const char16_t* valueName, char16_t (&value)[kValueChars], char* narrow,
                unsigned narrowSize) {
    DWORD bytes = kValueBytesOffered;
    std::memset(value, 0, sizeof value);
    if (RegQueryValueEx(key, valueName, nullptr, nullptr, reinterpret_cast<uint8_t*>(value), &bytes) !=
        ERROR_SUCCESS)
        return false;
    unsigned i = 0;
    for (; i + 1 < narrowSize && i < kValueChars && value[i]; ++i) narrow[i] = static_cast<char>(value[i] & 0xFF);
    narrow[i] = 0;
    return true;
}

bool startsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// Whether this driver is the card; on success its Name is in name.
bool matchDriver(HKEY driver, char name[kPortNameSize]) {
    char16_t value[kValueChars];
    char pnpId[kValueChars + 1];
    if (!readNarrow(driver, u"PnpId", value, pnpId, sizeof pnpId)) return false;
    char portName[kPortNameSize];
    for (const char* prefix : {"Quatech", "CF-Serial_I-O"}) {
        if (startsWith(pnpId, prefix) && readNarrow(driver, u"Name", value, portName, sizeof portName)) {
            std::memcpy(name, portName, sizeof portName);
            return true;
        }
    }
    return false;
}

}  // namespace

void discoverPortName(char name[kPortNameSize]) {
    std::strcpy(name, "COM1:");
    HKEY active = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Drivers\\Active", 0, KEY_READ, &active) != ERROR_SUCCESS) return;
    char16_t keyName[kKeyNameChars];
    for (DWORD index = 0;; ++index) {
        DWORD chars = kKeyNameChars;
        const LONG rc = RegEnumKeyEx(active, index, keyName, &chars, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) continue;
        HKEY driver = nullptr;
        if (RegOpenKeyEx(active, keyName, 0, KEY_READ, &driver) != ERROR_SUCCESS) continue;
        const bool found = matchDriver(driver, name);
        RegCloseKey(driver);
        if (found) break;
    }
    RegCloseKey(active);
}

}  // namespace zarn
