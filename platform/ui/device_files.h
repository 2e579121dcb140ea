#pragma once
// DeviceFiles: what the file dialogs need of the device's file system, in
// device paths ("\My Documents\a.kct"; backslash or slash separate).
//
//  - list(folder): the folder's entries, folders and files, in no order;
//    false when the folder does not exist.
//  - isFolder / isFile: false for anything missing or outside the root.
//  - createFolder: one level; false when it cannot be made.
// setDeviceFiles(nullptr) goes back to the built-in one, which maps the
// device root onto ZARN_ROOT, else $XDG_DATA_HOME/zarn, else
// ~/.local/share/zarn, and refuses paths that climb out of it.

#include <memory>
#include <string>
#include <vector>

namespace zarn {

struct DeviceEntry {
    std::string name;
    bool folder = false;
};

class DeviceFiles {
public:
    virtual ~DeviceFiles() = default;
    virtual bool list(const std::string& folder, std::vector<DeviceEntry>& out) = 0;
    virtual bool isFolder(const std::string& path) = 0;
    virtual bool isFile(const std::string& path) = 0;
    virtual bool createFolder(const std::string& path) = 0;
};

// The device tree as a host folder.
class HostFolderFiles : public DeviceFiles {
public:
    explicit HostFolderFiles(std::string hostRoot) : root_(std::move(hostRoot)) {}
    bool list(const std::string& folder, std::vector<DeviceEntry>& out) override;
    bool isFolder(const std::string& path) override;
    bool isFile(const std::string& path) override;
    bool createFolder(const std::string& path) override;
    // The host path of a device path; false when it would leave the root.
    bool hostPath(const std::string& devicePath, std::string& out) const;

private:
    std::string root_;
};

void setDeviceFiles(DeviceFiles* files);
DeviceFiles& deviceFiles();

// Path helpers on device paths: "\" is the root.
std::string joinDevicePath(const std::string& folder, const std::string& name);
std::string parentDevicePath(const std::string& path);
std::string normalDevicePath(const std::string& path);  // single backslashes, no trailing one

}  // namespace zarn
