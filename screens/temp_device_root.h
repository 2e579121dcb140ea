#pragma once
// A throw-away device root for tests that read and write device files.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/device_root.h"

namespace zarn::testing {

class TempDeviceRoot {
public:
    TempDeviceRoot() {
        char tmpl[] = "/tmp/zarn-chan-XXXXXX";
        const char* made = mkdtemp(tmpl);
        base_ = made ? made : "/tmp";
        root_ = base_ + "/device";
        setenv("ZARN_ROOT", root_.c_str(), 1);
        deviceRoot();  // makes the standard folders
    }
    ~TempDeviceRoot() {
        unsetenv("ZARN_ROOT");
        std::error_code ignored;
        if (base_ != "/tmp") std::filesystem::remove_all(base_, ignored);
    }
    TempDeviceRoot(const TempDeviceRoot&) = delete;
    TempDeviceRoot& operator=(const TempDeviceRoot&) = delete;

    const std::string& root() const { return root_; }
    // Writes a file at a path relative to the root ("My Documents/a.kct").
    void write(const std::string& relative, const std::string& bytes) const {
        std::ofstream(root_ + "/" + relative, std::ios::binary) << bytes;
    }
    std::string read(const std::string& relative) const {
        std::ifstream in(root_ + "/" + relative, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::string base_, root_;
};

}  // namespace zarn::testing
