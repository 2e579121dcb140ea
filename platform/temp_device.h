#pragma once
// For tests: a fresh device root and storage card in a temporary host folder,
// named by ZARN_ROOT and ZARN_CARD while the object lives, removed afterwards.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/device_root.h"

namespace zarn::testing {

class TempDevice {
public:
    TempDevice() {
        char tmpl[] = "/tmp/zarn-device-XXXXXX";
        const char* made = mkdtemp(tmpl);
        base_ = made ? made : "";
        root_ = base_ + "/root";
        card_ = base_ + "/card";
        std::filesystem::create_directories(card_);
        setenv("ZARN_ROOT", root_.c_str(), 1);
        setenv("ZARN_CARD", card_.c_str(), 1);
        deviceRoot();
    }
    ~TempDevice() {
        unsetenv("ZARN_ROOT");
        unsetenv("ZARN_CARD");
        std::error_code ignored;
        if (!base_.empty()) std::filesystem::remove_all(base_, ignored);
    }
    TempDevice(const TempDevice&) = delete;
    TempDevice& operator=(const TempDevice&) = delete;

    const std::string& root() const { return root_; }
    const std::string& card() const { return card_; }

    // Writes a host file below the root or the card, making its folders.
    static void write(const std::string& hostFile, const std::string& bytes) {
        std::filesystem::create_directories(std::filesystem::path(hostFile).parent_path());
        std::ofstream(hostFile, std::ios::binary) << bytes;
    }
    static std::string read(const std::string& hostFile) {
        std::ifstream in(hostFile, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // The same for a path relative to the root ("My Documents/a.kct").
    void writeBelowRoot(const std::string& relative, const std::string& bytes) const { write(root_ + "/" + relative, bytes); }
    std::string readBelowRoot(const std::string& relative) const { return read(root_ + "/" + relative); }
    bool existsBelowRoot(const std::string& relative) const { return exists(root_ + "/" + relative); }
    static bool exists(const std::string& hostFile) { return std::filesystem::exists(hostFile); }

private:
    std::string base_, root_, card_;
};

}  // namespace zarn::testing
