#include "platform/registry_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>

#include "platform/device_root.h"
#include "platform/registry.h"
#include "platform/utf16.h"

namespace zarn {
namespace {

constexpr const char* kHeader = "Windows Registry Editor Version 5.00";

std::string toUtf8(const std::string& bytes) {
    auto byteAt = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const bool little = bytes.size() >= 2 && byteAt(0) == 0xFF && byteAt(1) == 0xFE;
    const bool big = bytes.size() >= 2 && byteAt(0) == 0xFE && byteAt(1) == 0xFF;
    if (little || big) {
        std::u16string wide;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            wide += static_cast<char16_t>(little ? byteAt(i) | (byteAt(i + 1) << 8)
                                                 : (byteAt(i) << 8) | byteAt(i + 1));
        return utf16ToUtf8(wide);
    }
    if (bytes.size() >= 3 && byteAt(0) == 0xEF && byteAt(1) == 0xBB && byteAt(2) == 0xBF)
        return bytes.substr(3);
    return bytes;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// Reads a quoted string starting at text[i] (the opening quote); i ends past the closing one.
bool readQuoted(const std::string& text, size_t& i, std::string& out) {
    if (i >= text.size() || text[i] != '"') return false;
    out.clear();
    for (++i; i < text.size(); ++i) {
        if (text[i] == '"') {
            ++i;
            return true;
        }
        if (text[i] == '\\') {
            if (++i >= text.size() || (text[i] != '\\' && text[i] != '"')) return false;
        }
        out += text[i];
    }
    return false;
}

bool parseValueLine(const std::string& line, std::string& name, std::string& value) {
    size_t i = 0;
    if (line.compare(0, 2, "@=") == 0) {
        name.clear();
        i = 1;
    } else if (!readQuoted(line, i, name)) {
        return false;
    }
    if (i >= line.size() || line[i] != '=') return false;
    ++i;
    if (!readQuoted(line, i, value)) return false;
    return line.find_first_not_of(" \t", i) == std::string::npos;
}

// The key path of a `[...]` line, or empty when the line is none.
std::string keyLinePath(const std::string& line) {
    if (line.size() < 3 || line.front() != '[' || line.back() != ']') return {};
    return line.substr(1, line.size() - 2);
}

std::string escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

bool readWhole(const std::string& file, std::string& bytes) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::ostringstream all;
    all << in.rdbuf();
    bytes = all.str();
    return true;
}

struct GivenDriver {
    std::mutex mutex;
    std::string pnpId, name;
};

GivenDriver& givenDriver() {
    static GivenDriver driver;
    return driver;
}

const std::string kGivenDriverKey = std::string(kActiveDriversKey) + "\\ZarnGiven";

void listSerialAdapters(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.') names.push_back(entry->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());
    int n = 0;
    for (const auto& name : names) {
        const std::string key = std::string(kActiveDriversKey) + "\\ZarnUsb" + std::to_string(n++);
        registry::setValue(key, "PnpId", name.compare(0, 4, "usb-") == 0 ? name.substr(4) : name);
        registry::setValue(key, "Name", folder + "/" + name);
    }
}

// Rewrites `file` without the blocks of the keys `drop` names and with `block` appended, under a lock.
bool rewriteKeys(const std::string& file, const std::function<bool(const std::string&)>& drop,
                 const std::string& block) {
    const std::string lockPath = file + ".lock";
    const int lock = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lock < 0) return false;
    flock(lock, LOCK_EX);
    std::string bytes;
    readWhole(file, bytes);
    std::string out = std::string(kHeader) + "\n";
    bool skipping = false;
    for (const auto& line : splitLines(toUtf8(bytes))) {
        if (line == kHeader) continue;
        const std::string path = keyLinePath(line);
        if (!path.empty()) skipping = drop(path);
        if (!skipping) out += line + "\n";
    }
    if (!block.empty()) {
        if (out.size() > 1 && out.compare(out.size() - 2, 2, "\n\n") != 0) out += "\n";
        out += block;
    }
    const std::string temp = file + ".tmp" + std::to_string(getpid());
    bool ok = false;
    {
        std::ofstream tmp(temp, std::ios::binary | std::ios::trunc);
        tmp << out;
        ok = static_cast<bool>(tmp.flush());
    }
    ok = ok && rename(temp.c_str(), file.c_str()) == 0;
    if (!ok) unlink(temp.c_str());
    flock(lock, LOCK_UN);
    close(lock);
    return ok;
}

std::function<bool(const std::string&)> sameKey(const std::string& keyPath) {
    return [keyPath](const std::string& path) { return strcasecmp(path.c_str(), keyPath.c_str()) == 0; };
}

}  // namespace

int parseRegistryText(const std::string& bytes) {
    int taken = 0;
    bool inKey = false;
    std::string key;
    for (const auto& line : splitLines(toUtf8(bytes))) {
        if (line.empty() || line == kHeader || line[0] == ';') continue;
        if (line[0] == '[') {
            key = keyLinePath(line);
            inKey = !key.empty() && key[0] != '-';
            if (inKey) registry::addKey(key);
            continue;
        }
        std::string name, value;
        if (inKey && parseValueLine(line, name, value)) {
            registry::setValue(key, name, value);
            ++taken;
        }
    }
    return taken;
}

namespace {
std::mutex lastLoadMutex;
std::string lastFile, lastSerialById = "/dev/serial/by-id";
bool loadedOnce = false;
}  // namespace

int loadRegistry(const std::string& file, const std::string& serialById) {
    {
        std::lock_guard lock(lastLoadMutex);
        lastFile = file;
        lastSerialById = serialById;
        loadedOnce = true;
    }
    registry::clear();
    GivenDriver& given = givenDriver();
    std::lock_guard lock(given.mutex);
    if (!given.pnpId.empty()) registry::addKey(kGivenDriverKey);  // first in the enumeration
    std::string bytes;
    const int taken = readWhole(file, bytes) ? parseRegistryText(bytes) : 0;
    if (!given.pnpId.empty()) {
        registry::setValue(kGivenDriverKey, "PnpId", given.pnpId);
        registry::setValue(kGivenDriverKey, "Name", given.name);
    }
    listSerialAdapters(serialById);
    return taken;
}

int reloadRegistry() {
    std::string file, serialById;
    {
        std::lock_guard lock(lastLoadMutex);
        file = loadedOnce ? lastFile : registryFilePath();
        serialById = lastSerialById;
    }
    return loadRegistry(file, serialById);
}

void setFirstActiveDriver(const std::string& pnpId, const std::string& name) {
    GivenDriver& given = givenDriver();
    std::lock_guard lock(given.mutex);
    given.pnpId = pnpId;
    given.name = name;
}

std::string firstActiveDriverName() {
    GivenDriver& given = givenDriver();
    std::lock_guard lock(given.mutex);
    return given.pnpId.empty() ? std::string() : given.name;
}

std::string registryFilePath() {
    const std::string root = deviceRoot();
    return root.empty() ? std::string() : root + "/registry.reg";
}

bool setRegistryKey(const std::string& file, const std::string& keyPath,
                    const std::vector<std::pair<std::string, std::string>>& values) {
    // Appended piece by piece: "text" + temporary trips GCC 12's -Wrestrict in Release.
    std::string block = "[";
    block.append(keyPath).append("]\n");
    for (const auto& [name, value] : values)
        block.append("\"").append(escape(name)).append("\"=\"").append(escape(value)).append("\"\n");
    block.append("\n");
    return rewriteKeys(file, sameKey(keyPath), block);
}

bool removeRegistryKey(const std::string& file, const std::string& keyPath) {
    return rewriteKeys(file, sameKey(keyPath), "");
}

bool removeRegistryKeysIf(const std::string& file, const std::function<bool(const std::string&)>& drop) {
    return rewriteKeys(file, drop, "");
}

}  // namespace zarn
