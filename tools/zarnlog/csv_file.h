#pragma once
// One CSV file, written with write(2) so that a failure keeps the system's reason:
// error() names the file and the reason, and the file is closed at the first.
// zarnlog csv's files and occupancy's. A file another zarnlog command wrote is
// left as it is, with the reason in error() (csv_maker.h).

#include <string>
#include <string_view>

#include "tools/zarnlog/csv_maker.h"

namespace zarn {

class CsvFile {
public:
    CsvFile(std::string path, CsvMaker self);
    ~CsvFile();
    CsvFile(const CsvFile&) = delete;
    CsvFile& operator=(const CsvFile&) = delete;
    bool opened() const { return fd_ >= 0; }
    // Whether it created or emptied the file: only then is it the caller's to remove.
    bool made() const { return made_; }
    bool write(std::string_view text);
    bool close();
    const std::string& error() const { return error_; }

private:
    bool fail();
    std::string path_;
    int fd_ = -1;
    bool made_ = false;
    std::string error_;
};

}  // namespace zarn
