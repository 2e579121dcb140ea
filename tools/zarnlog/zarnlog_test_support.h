#pragma once
// What the zarnlog tests share: a folder of their own, the command run in
// process with what it wrote, and a file's bytes.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tools/zarnlog/zarnlog_command.h"

namespace zarn::testing {

// A fresh folder under the temporary one, removed with everything in it.
struct TempFolder {
    TempFolder()
        : path(std::filesystem::temp_directory_path() /
               ("zarnlog-test-" + std::to_string(getpid()) + "-" + std::to_string(n++))) {
        std::filesystem::create_directories(path);
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
    std::string file(const std::string& name) const { return (path / name).string(); }
    std::filesystem::path path;
    static inline int n = 0;
};

struct Outcome {
    int status;
    std::string out, err;
};

inline Outcome zarnlog(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = runZarnlog(args, out, err);
    return {status, out.str(), err.str()};
}

inline std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace zarn::testing
