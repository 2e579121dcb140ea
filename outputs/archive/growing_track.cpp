#include "outputs/archive/growing_track.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "recording/log_reader.h"

namespace zarn {
namespace {

constexpr const char* kPointEnd = "</trkpt>";
// Seconds on the device's clock within which a fix received is in the file.
constexpr double kLateWrite = 2;

// The file's bytes from `from` to its end; empty when it cannot be read.
std::string readFrom(const std::string& path, size_t from, bool& shorter) {
    std::string problem;
    const int fd = openRegularFile(path, problem);
    shorter = false;
    if (fd < 0) return {};
    struct stat st {};
    std::string text;
    if (::fstat(fd, &st) == 0) {
        const size_t size = static_cast<size_t>(st.st_size);
        shorter = size < from;
        if (!shorter) text.resize(size - from);
        size_t got = 0;
        while (got < text.size()) {
            const ssize_t n = ::pread(fd, text.data() + got, text.size() - got, static_cast<off_t>(from + got));
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        text.resize(got);
    }
    ::close(fd);
    return text;
}

}  // namespace

void GrowingTrack::refresh() {
    bool shorter = false;
    std::string text = readFrom(path_, consumed_, shorter);
    if (shorter) {  // another track in its place: start again
        join_.reset();
        head_.clear();
        consumed_ = 0;
        text = readFrom(path_, 0, shorter);
    }
    const size_t last = text.rfind(kPointEnd);
    if (last == std::string::npos) return;
    text.resize(last + std::strlen(kPointEnd));
    const std::string close = "\n  </trkseg>\n </trk>\n</gpx>\n";
    if (consumed_ == 0) {
        const size_t segment = text.find("<trkseg>");
        if (segment == std::string::npos) return;  // not a track as GpxTrack writes it
        head_ = text.substr(0, segment);
        take(text + close);
    } else {
        take(head_ + "<trkseg>" + text + close);
    }
    consumed_ += text.size();
}

void GrowingTrack::take(const std::string& document) {
    Track track;
    std::string error;
    if (!readTrackBytes(reinterpret_cast<const uint8_t*>(document.data()), document.size(), track, error)) return;
    if (join_) join_->extend(track.points);
    else join_.emplace(std::move(track), std::nullopt);
}

Placing GrowingTrack::place(const LocalTime& stamp, Place& out, bool& settled) {
    const Placing placing = join_ ? join_->place(stamp, out) : Placing::Outside;
    settled = final_ || placing == Placing::Placed;
    if (settled) return placing;
    const double t = join_ ? join_->timeOf(stamp) : static_cast<double>(stampSeconds(stamp));
    const double now = join_ ? join_->timeOf(clock_()) : static_cast<double>(stampSeconds(clock_()));
    if (!join_ || join_->track().points.empty()) {
        settled = now - t > kLateWrite;  // a first point comes after it
        return placing;
    }
    // Before the last point it is final; past it, a next point closes a gap of 10 s at most, or none.
    const double last = join_->track().points.back().time;
    settled = t <= last || t > last + kLongestGap || now > last + kLongestGap + kLateWrite;
    return placing;
}

}  // namespace zarn
