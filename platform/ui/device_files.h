#pragma once
// DeviceFiles: what the file dialogs need of the device's file system, in
// device paths ("\My Documents\a.kct"; backslash or slash separate).
//
//  - list(folder): the folder's entries, folders and files, in no order;
//    false when the folder does not exist.
//  - isFolder / isFile: false for anything missing or outside the root.
//  - createFolder: one level; false when it cannot be made.
// setDeviceFiles(nullptr) goes back to the built-in one, the device root of
// platform/device_root.h (ZARN_ROOT, case-insensitive names, \Storage Card,
// paths that climb out refused).

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

// The device tree in the device root's host folder.
class DeviceRootFiles : public DeviceFiles {
public:
    bool list(const std::string& folder, std::vector<DeviceEntry>& out) override;
    bool isFolder(const std::string& path) override;
    bool isFile(const std::string& path) override;
    bool createFolder(const std::string& path) override;
};

void setDeviceFiles(DeviceFiles* files);
DeviceFiles& deviceFiles();

// Path helpers on device paths: "\" is the root.
std::string joinDevicePath(const std::string& folder, const std::string& name);
std::string parentDevicePath(const std::string& path);
std::string normalDevicePath(const std::string& path);  // single backslashes, no trailing one

}  // namespace zarn
