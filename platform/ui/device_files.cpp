#include "platform/ui/device_files.h"

#include "platform/device_root.h"

#include <filesystem>

namespace zarn {

namespace fs = std::filesystem;

namespace {
DeviceFiles* current = nullptr;
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

bool DeviceRootFiles::list(const std::string& folder, std::vector<DeviceEntry>& out) {
    const std::string host = hostPath(folder);
    std::error_code ec;
    if (host.empty() || !fs::is_directory(host, ec)) return false;
    out.clear();
    for (const auto& entry : fs::directory_iterator(host, ec)) {
        std::error_code typeError;
        out.push_back({entry.path().filename().string(), entry.is_directory(typeError)});
    }
    return !ec;
}

bool DeviceRootFiles::isFolder(const std::string& path) {
    const std::string host = hostPath(path);
    std::error_code ec;
    return !host.empty() && fs::is_directory(host, ec);
}

bool DeviceRootFiles::isFile(const std::string& path) {
    const std::string host = hostPath(path);
    std::error_code ec;
    return !host.empty() && fs::is_regular_file(host, ec);
}

bool DeviceRootFiles::createFolder(const std::string& path) {
    return createDirectory(path);
}

void setDeviceFiles(DeviceFiles* files) { current = files; }

DeviceFiles& deviceFiles() {
    if (current) return *current;
    static DeviceRootFiles builtIn;
    return builtIn;
}

}  // namespace zarn
