#pragma once
// One CSV file, written with write(2) so that a failure keeps the system's reason:
// error() names the file and the reason, and the file is closed at the first.
// zarnlog csv's files and occupancy's.

#include <string>
#include <string_view>

namespace zarn {

class CsvFile {
public:
    explicit CsvFile(std::string path);
    ~CsvFile();
    CsvFile(const CsvFile&) = delete;
    CsvFile& operator=(const CsvFile&) = delete;
    bool opened() const { return fd_ >= 0; }
    bool write(std::string_view text);
    bool close();
    const std::string& error() const { return error_; }

private:
    bool fail();
    std::string path_;
    int fd_ = -1;
    std::string error_;
};

}  // namespace zarn
