#pragma once
// A fresh device root folder for one test, removed afterwards.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace zarn::testing {

class TempRoot {
public:
    explicit TempRoot(const std::string& name)
        : path_(std::filesystem::temp_directory_path() / (name + "_" + std::to_string(::getpid()))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
        setenv("ZARN_ROOT", path_.c_str(), 1);
    }
    ~TempRoot() {
        unsetenv("ZARN_ROOT");
        std::filesystem::remove_all(path_);
    }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(path_ / name, std::ios::binary) << text;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(path_ / name, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }
    bool exists(const std::string& name) const { return std::filesystem::exists(path_ / name); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace zarn::testing
