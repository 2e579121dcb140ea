#include "platform/ui/device_files.h"

#include <cstdlib>
#include <filesystem>
#include <strings.h>

namespace zarn {

namespace fs = std::filesystem;

namespace {

DeviceFiles* current = nullptr;

std::string defaultRoot() {
    if (const char* root = std::getenv("ZARN_ROOT"); root && *root) return root;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) return std::string(data) + "/zarn";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : ".") + "/.local/share/zarn";
}

// The entry of folder named part, exactly or else case-insensitively, as on the device.
std::string matchingName(const std::string& folder, const std::string& part) {
    std::error_code ec;
    if (fs::exists(folder + "/" + part, ec)) return part;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::string name = entry.path().filename().string();
        if (name.size() == part.size() && strncasecmp(name.c_str(), part.c_str(), name.size()) == 0) return name;
    }
    return part;
}

}  // namespace

std::string normalDevicePath(const std::string& path) {
    std::string out;
    std::string part;
    for (char c : path) {
        if (c == '\\' || c == '/') {
            if (!part.empty()) out += "\\" + part;
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    if (!part.empty()) out += "\\" + part;
    return out.empty() ? "\\" : out;
}

std::string joinDevicePath(const std::string& folder, const std::string& name) {
    std::string base = normalDevicePath(folder);
    return normalDevicePath(base == "\\" ? "\\" + name : base + "\\" + name);
}

std::string parentDevicePath(const std::string& path) {
    std::string p = normalDevicePath(path);
    size_t cut = p.rfind('\\');
    return cut == 0 || cut == std::string::npos ? "\\" : p.substr(0, cut);
}

bool HostFolderFiles::hostPath(const std::string& devicePath, std::string& out) const {
    std::string p = normalDevicePath(devicePath);
    std::string host = root_;
    size_t start = 1;
    while (start < p.size()) {
        size_t end = p.find('\\', start);
        std::string part = p.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part == "..") return false;
        if (part != ".") host += "/" + matchingName(host, part);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    out = host;
    return true;
}

bool HostFolderFiles::list(const std::string& folder, std::vector<DeviceEntry>& out) {
    std::string host;
    std::error_code ec;
    if (!hostPath(folder, host) || !fs::is_directory(host, ec)) return false;
    out.clear();
    for (const auto& entry : fs::directory_iterator(host, ec)) {
        std::error_code typeError;
        out.push_back({entry.path().filename().string(), entry.is_directory(typeError)});
    }
    return !ec;
}

bool HostFolderFiles::isFolder(const std::string& path) {
    std::string host;
    std::error_code ec;
    return hostPath(path, host) && fs::is_directory(host, ec);
}

bool HostFolderFiles::isFile(const std::string& path) {
    std::string host;
    std::error_code ec;
    return hostPath(path, host) && fs::is_regular_file(host, ec);
}

bool HostFolderFiles::createFolder(const std::string& path) {
    std::string host;
    std::error_code ec;
    return hostPath(path, host) && fs::create_directory(host, ec);
}

void setDeviceFiles(DeviceFiles* files) { current = files; }

DeviceFiles& deviceFiles() {
    if (current) return *current;
    static HostFolderFiles* builtIn = [] {
        std::string root = defaultRoot();
        std::error_code ec;
        fs::create_directories(root, ec);
        return new HostFolderFiles(root);
    }();
    return *builtIn;
}

}  // namespace zarn
