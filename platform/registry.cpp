#include "platform/registry.h"

#include <strings.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/utf16.h"

namespace zarn {

struct RegistryKeyHandle {
    std::vector<std::string> path;
};

namespace {

// Names fold as strcasecmp does in the C locale: ASCII letters only.
std::string foldedName(const std::string& name) {
    std::string folded = name;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

struct Key {
    std::string name;
    std::vector<std::pair<std::string, std::string>> values;
    std::vector<std::unique_ptr<Key>> subkeys;  // in the order added, for enumeration
    std::unordered_map<std::string, Key*> byName;  // folded name -> subkey, so a lookup is not a scan
};

std::mutex& treeMutex() {
    static std::mutex mutex;
    return mutex;
}

Key& treeRoot() {
    static Key root;
    return root;
}

bool sameName(const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

std::vector<std::string> splitKeyPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : path) {
        if (c == '\\') {
            if (!current.empty()) parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) parts.push_back(current);
    return parts;
}

Key* child(Key& key, const std::string& name) {
    const auto it = key.byName.find(foldedName(name));
    return it == key.byName.end() ? nullptr : it->second;
}

Key* find(const std::vector<std::string>& path) {
    Key* key = &treeRoot();
    for (const auto& part : path)
        if (!(key = child(*key, part))) return nullptr;
    return key;
}

Key& findOrAdd(const std::vector<std::string>& path) {
    Key* key = &treeRoot();
    for (const auto& part : path) {
        Key* next = child(*key, part);
        if (!next) {
            key->subkeys.push_back(std::make_unique<Key>());
            next = key->subkeys.back().get();
            next->name = part;
            key->byName.emplace(foldedName(part), next);
        }
        key = next;
    }
    return *key;
}

RegistryKeyHandle localMachine{{"HKEY_LOCAL_MACHINE"}};

}  // namespace

const HKEY HKEY_LOCAL_MACHINE = &localMachine;

LONG RegOpenKeyEx(HKEY key, const char16_t* subKey, DWORD, REGSAM, HKEY* result) {
    if (!key || !result) return ERROR_INVALID_HANDLE;
    std::vector<std::string> path = key->path;
    for (auto& part : splitKeyPath(subKey ? utf16ToUtf8(subKey) : std::string())) path.push_back(part);
    std::lock_guard lock(treeMutex());
    if (!find(path)) return ERROR_FILE_NOT_FOUND;
    *result = new RegistryKeyHandle{std::move(path)};
    return ERROR_SUCCESS;
}

LONG RegEnumKeyEx(HKEY key, DWORD index, char16_t* name, DWORD* nameChars, DWORD*, char16_t*,
                  DWORD*, void*) {
    if (!key || !name || !nameChars) return ERROR_INVALID_HANDLE;
    std::lock_guard lock(treeMutex());
    Key* node = find(key->path);
    if (!node) return ERROR_FILE_NOT_FOUND;
    if (index >= node->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    const std::u16string text = utf8ToUtf16(node->subkeys[index]->name);
    if (text.size() + 1 > *nameChars) return ERROR_MORE_DATA;
    std::copy(text.begin(), text.end(), name);
    name[text.size()] = 0;
    *nameChars = static_cast<DWORD>(text.size());
    return ERROR_SUCCESS;
}

LONG RegQueryValueEx(HKEY key, const char16_t* valueName, DWORD*, DWORD* type, uint8_t* data,
                     DWORD* dataBytes) {
    if (!key) return ERROR_INVALID_HANDLE;
    std::u16string text;
    {
        std::lock_guard lock(treeMutex());
        Key* node = find(key->path);
        if (!node) return ERROR_FILE_NOT_FOUND;
        const std::string wanted = valueName ? utf16ToUtf8(valueName) : std::string();
        auto it = std::find_if(node->values.begin(), node->values.end(),
                               [&](const auto& v) { return sameName(v.first, wanted); });
        if (it == node->values.end()) return ERROR_FILE_NOT_FOUND;
        text = utf8ToUtf16(it->second);
    }
    if (type) *type = REG_SZ;
    const DWORD needed = static_cast<DWORD>((text.size() + 1) * 2);
    if (!dataBytes) return data ? ERROR_INVALID_HANDLE : ERROR_SUCCESS;
    if (!data) {
        *dataBytes = needed;
        return ERROR_SUCCESS;
    }
    const size_t units = *dataBytes / 2;
    if (units == 0) return ERROR_MORE_DATA;
    const size_t kept = std::min(text.size(), units - 1);
    for (size_t i = 0; i <= kept; ++i) {
        const char16_t unit = i < kept ? text[i] : 0;
        data[2 * i] = static_cast<uint8_t>(unit & 0xFF);
        data[2 * i + 1] = static_cast<uint8_t>(unit >> 8);
    }
    *dataBytes = static_cast<DWORD>((kept + 1) * 2);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    if (!key) return ERROR_INVALID_HANDLE;
    if (key != HKEY_LOCAL_MACHINE) delete key;
    return ERROR_SUCCESS;
}

namespace registry {

void clear() {
    std::lock_guard lock(treeMutex());
    treeRoot().subkeys.clear();
    treeRoot().byName.clear();
}

void addKey(const std::string& keyPath) {
    std::lock_guard lock(treeMutex());
    findOrAdd(splitKeyPath(keyPath));
}

void setValue(const std::string& keyPath, const std::string& name, const std::string& value) {
    std::lock_guard lock(treeMutex());
    Key& key = findOrAdd(splitKeyPath(keyPath));
    for (auto& v : key.values) {
        if (sameName(v.first, name)) {
            v.second = value;
            return;
        }
    }
    key.values.emplace_back(name, value);
}

bool removeKey(const std::string& keyPath) {
    std::vector<std::string> path = splitKeyPath(keyPath);
    if (path.empty()) return false;
    const std::string last = path.back();
    path.pop_back();
    std::lock_guard lock(treeMutex());
    Key* parent = find(path);
    if (!parent) return false;
    auto it = std::find_if(parent->subkeys.begin(), parent->subkeys.end(),
                           [&](const auto& k) { return sameName(k->name, last); });
    if (it == parent->subkeys.end()) return false;
    parent->byName.erase(foldedName(last));
    parent->subkeys.erase(it);
    return true;
}

}  // namespace registry
}  // namespace zarn
