#include "tools/zarnlog/csv_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace zarn {

CsvFile::CsvFile(std::string path, CsvMaker self) : path_(std::move(path)) {
    error_ = csvOverwriteRefusal(path_, self);
    if (!error_.empty()) return;
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    made_ = fd_ >= 0;
    if (fd_ < 0) fail();
}

CsvFile::~CsvFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool CsvFile::write(std::string_view text) {
    while (fd_ >= 0 && !text.empty()) {
        const ssize_t n = ::write(fd_, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = ENOSPC;
        if (n <= 0) return fail();
        text.remove_prefix(static_cast<size_t>(n));
    }
    return fd_ >= 0;
}

bool CsvFile::close() {
    if (fd_ < 0) return error_.empty();
    if (::close(std::exchange(fd_, -1)) == 0) return true;
    return fail();
}

bool CsvFile::fail() {
    error_ = "cannot write " + path_ + ": " + std::strerror(errno);
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    return false;
}

}  // namespace zarn
