#include "board/port_discovery.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

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

// The driver's Name when it is the card (an empty Name too); nothing when it is not.
std::optional<std::string> cardPortName(HKEY driver) {
    char16_t value[kValueChars];
    char pnpId[kValueChars + 1];
    if (!readNarrow(driver, u"PnpId", value, pnpId, sizeof pnpId)) return std::nullopt;
    char portName[kPortNameSize];
    for (const char* prefix : {"Quatech", "CF-Serial_I-O"}) {
        if (startsWith(pnpId, prefix) && readNarrow(driver, u"Name", value, portName, sizeof portName))
            return std::string(portName);
    }
    return std::nullopt;
}

// Hands `found` the port name of each card among the active drivers, in their order, until it says stop.
template <typename Found>
void enumerateCards(Found found) {
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
        const std::optional<std::string> name = cardPortName(driver);
        RegCloseKey(driver);
        if (name && found(*name)) break;
    }
    RegCloseKey(active);
}

}  // namespace

void discoverPortName(char name[kPortNameSize]) {
    std::strcpy(name, kDefaultPortName);
    enumerateCards([&](const std::string& found) {
        std::memcpy(name, found.c_str(), found.size() + 1);
        return true;
    });
}

std::vector<std::string> discoverPortNames() {
    std::vector<std::string> names;
    enumerateCards([&](const std::string& found) {
        names.push_back(found);
        return false;
    });
    if (names.empty()) names.push_back(kDefaultPortName);
    return names;
}

std::vector<std::string> portsThatCanBeTheBoard(const std::vector<std::string>& listedNow,
                                                const std::vector<std::string>& listedAtStart,
                                                const std::vector<std::string>& boardWasOn, const std::string& given) {
    const auto among = [](const std::vector<std::string>& names, const std::string& name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    std::vector<std::string> ports;
    for (const std::string& name : listedNow) {
        const bool canBe = among(boardWasOn, name) || (!given.empty() && name == given) ||
                           (name != kDefaultPortName && !among(listedAtStart, name));
        if (canBe && !among(ports, name)) ports.push_back(name);
    }
    return ports;
}

}  // namespace zarn
