#include "platform/device_root.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <vector>

namespace zarn {
namespace {

const char* const kStandardFolders[] = {"My Documents", "Program Files", "Windows",
                                        "Windows/Start Menu", "iPAQ File Store"};

bool isDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool makeDirectories(const std::string& path) {
    std::string partial;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (!partial.empty() && !isDirectory(partial) && mkdir(partial.c_str(), 0755) != 0)
            return false;
    }
    return true;
}

std::string configuredRoot() {
    if (const char* root = getenv("ZARN_ROOT"); root && *root) return root;
    if (const char* data = getenv("XDG_DATA_HOME"); data && *data) return std::string(data) + "/zarn";
    const char* home = getenv("HOME");
    return std::string(home ? home : "") + "/.local/share/zarn";
}

std::vector<std::string> splitDevicePath(const std::string& devicePath) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : devicePath) {
        if (c == '\\' || c == '/') {
            if (!current.empty()) parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) parts.push_back(current);
    return parts;
}

// The entry of `folder` called `name`, or failing that one that differs only in case.
std::string matchEntry(const std::string& folder, const std::string& name) {
    struct stat st {};
    if (lstat((folder + "/" + name).c_str(), &st) == 0) return name;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return name;
    std::string found = name;
    while (dirent* entry = readdir(dir)) {
        if (strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = entry->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

bool isInside(const std::string& path, const std::string& base) {
    return path == base || (path.size() > base.size() && path.compare(0, base.size(), base) == 0 &&
                            path[base.size()] == '/');
}

std::string realPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

// Maps parts[first..] below base; empty when the existing part leaves base.
std::string mapBelow(const std::string& base, const std::vector<std::string>& parts, size_t first) {
    const std::string realBase = realPath(base);
    if (realBase.empty()) return {};
    std::string path = base;
    bool existing = true;
    for (size_t i = first; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        if (part == ".") continue;
        if (part == "..") return {};
        path += "/" + (existing ? matchEntry(path, part) : part);
        struct stat st {};
        if (existing && lstat(path.c_str(), &st) == 0) {
            if (!isInside(realPath(path), realBase)) return {};
        } else {
            existing = false;
        }
    }
    return path;
}

}  // namespace

std::string deviceRoot() {
    static std::mutex mutex;
    static std::string prepared;
    std::lock_guard lock(mutex);
    const std::string root = configuredRoot();
    if (root == prepared && isDirectory(root)) return root;
    if (!makeDirectories(root)) return {};
    for (const char* folder : kStandardFolders) mkdir((root + "/" + folder).c_str(), 0755);
    prepared = root;
    return root;
}

std::string storageCardFolder() {
    if (const char* card = getenv("ZARN_CARD"); card && *card) return card;
    char exe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        std::string folder(exe, static_cast<size_t>(n));
        folder.erase(folder.rfind('/'));
        if (isDirectory(folder + "/files")) return folder;
    }
    return deviceRoot() + "/Storage Card";
}

std::string hostPath(const std::string& devicePath) {
    const std::vector<std::string> parts = splitDevicePath(devicePath);
    const std::string root = deviceRoot();
    if (root.empty()) return {};
    if (!parts.empty() && strcasecmp(parts[0].c_str(), "Storage Card") == 0) {
        const std::string card = storageCardFolder();
        if (parts.size() == 1) return isDirectory(card) ? card : std::string();
        return mapBelow(card, parts, 1);
    }
    return mapBelow(root, parts, 0);
}

bool createDirectory(const std::string& devicePath) {
    const std::string path = hostPath(devicePath);
    return !path.empty() && mkdir(path.c_str(), 0755) == 0;
}

}  // namespace zarn
