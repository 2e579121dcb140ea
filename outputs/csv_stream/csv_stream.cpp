#include "outputs/csv_stream/csv_stream.h"

#include <limits.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace zarn {
namespace {

constexpr int kCancelCheckMs = 100;

}  // namespace

CsvStream::CsvStream(int fd, std::string what, CsvKind kind) : fd_(fd), what_(std::move(what)), kind_(kind) {}

void CsvStream::record(const OutputRecord& r) {
    if (csvKindOf(r.written.type) != kind_) return;
    if (!rows_) rows_.emplace(r.pcsRaster);
    text_.clear();
    if (!headerWritten_) text_ = csvHeader(kind_);
    rows_->append(r.record(), text_);
    if (text_.empty()) return;  // a sweep that gives no row
    headerWritten_ = true;
    writeAll(text_);
}

// Waits for room with poll, so that cancel() is seen, and writes at most
// PIPE_BUF at a time, which a pipe with room takes without waiting.
void CsvStream::writeAll(std::string_view text) {
    while (!text.empty()) {
        pollfd out{fd_, POLLOUT, 0};
        const int ready = ::poll(&out, 1, kCancelCheckMs);
        if (cancelled_) throw std::runtime_error(what_ + ": the reader took nothing more");
        if (ready < 0 && errno != EINTR) throw std::runtime_error(what_ + ": " + std::strerror(errno));
        if (ready <= 0) continue;
        const ssize_t n = ::write(fd_, text.data(), std::min<size_t>(text.size(), PIPE_BUF));
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n < 0) throw std::runtime_error(what_ + ": " + std::strerror(errno));
        text.remove_prefix(static_cast<size_t>(n));
    }
}

}  // namespace zarn
