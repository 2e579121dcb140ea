#include "recording/gpx_track.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

#include "zarn_version.h"

namespace zarn {
namespace {

// From the deepest sea floor to the edge of space.
constexpr double kLowestAltitude = -11000.0;
constexpr double kHighestAltitude = 100000.0;

std::string utcText(double utc) {
    double whole = std::floor(utc);
    long millis = std::lround((utc - whole) * 1000.0);
    if (millis == 1000) {
        whole += 1;
        millis = 0;
    }
    const std::time_t seconds = static_cast<std::time_t>(whole);
    std::tm t{};
    gmtime_r(&seconds, &t);
    char text[40];
    int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1,
                          t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    if (millis != 0) n += std::snprintf(text + n, sizeof text - n, ".%03ld", millis);
    std::snprintf(text + n, sizeof text - n, "Z");
    return text;
}

std::string localText(const LocalTime& t) {
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

bool altitudeKnown(const GpsFix& fix) {
    return fix.mode >= 3 && std::isfinite(fix.altitude) && fix.altitude >= kLowestAltitude &&
           fix.altitude <= kHighestAltitude;
}

}  // namespace

std::string gpxHead() {
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") +
           "<gpx version=\"1.1\" creator=\"zarn " + kZarnVersion +
           "\" xmlns=\"http://www.topografix.com/GPX/1/1\" xmlns:zarn=\"" + kTrackNamespace + "\">\n <trk>\n";
}

std::string gpxPoint(const GpsFix& fix, const LocalTime& local) {
    char text[512];
    int n = std::snprintf(text, sizeof text, "   <trkpt lat=\"%.7f\" lon=\"%.7f\">", fix.latitude, fix.longitude);
    if (altitudeKnown(fix)) n += std::snprintf(text + n, sizeof text - n, "<ele>%.1f</ele>", fix.altitude);
    std::snprintf(text + n, sizeof text - n,
                  "<time>%s</time><fix>%s</fix><extensions><zarn:localtime>%s</zarn:localtime></extensions>"
                  "</trkpt>\n",
                  utcText(fix.utc).c_str(), fix.mode >= 3 ? "3d" : "2d", localText(local).c_str());
    return text;
}

GpxTrack::GpxTrack(std::string path) : path_(std::move(path)) {}

GpxTrack::~GpxTrack() {
    if (fd_ >= 0) ::close(fd_);
}

bool GpxTrack::addFix(const GpsFix& fix, const LocalTime& local) {
    if (failed_) return false;
    if (fix.mode < 2) {
        endSegment();
        return true;
    }
    if (!usableFix(fix)) return true;
    if (points_ > 0 && (local == lastLocal_ || std::floor(fix.utc) <= std::floor(lastUtc_))) return true;
    // What closes the file now, and goes back if the point cannot be written.
    const std::string closedBy = std::string(inSegment_ ? kGpxSegmentClose : "") + kGpxDocumentClose;
    std::string body = inSegment_ ? "" : kGpxSegmentOpen;
    body += gpxPoint(fix, local);
    if (fd_ < 0) {
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd_ < 0) {
            failed_ = true;
            errorText_ = std::strerror(errno);
            return false;
        }
        body = gpxHead() + body;
    }
    inSegment_ = true;
    if (!write(body, closedBy)) return false;
    ++points_;
    lastUtc_ = fix.utc;
    lastLocal_ = local;
    return true;
}

void GpxTrack::endSegment() {
    if (!inSegment_) return;
    // The segment's closing tag is in the file already: it becomes part of the body.
    bodyEnd_ += std::strlen(kGpxSegmentClose);
    inSegment_ = false;
}

bool GpxTrack::writeAt(const std::string& text, uint64_t at) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::pwrite(fd_, text.data() + done, text.size() - done, static_cast<off_t>(at + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Writes body over the closing tags and the closing tags after it, in one
// write, then flushes: the file is a whole document before and after. A
// write cut short (storage full) is taken back: the tags that closed the
// file go back over it, where they stood, so no new space is needed.
bool GpxTrack::write(const std::string& body, const std::string& closedBy) {
    if (writeAt(body + kGpxSegmentClose + kGpxDocumentClose, bodyEnd_) && ::fdatasync(fd_) == 0) {
        bodyEnd_ += body.size();
        return true;
    }
    failed_ = true;
    errorText_ = std::strerror(errno);
    if (bodyEnd_ == 0) {
        ::unlink(path_.c_str());  // the first point: no track yet
    } else if (writeAt(closedBy, bodyEnd_) &&
               ::ftruncate(fd_, static_cast<off_t>(bodyEnd_ + closedBy.size())) == 0) {
        ::fdatasync(fd_);
    }
    return false;
}

}  // namespace zarn
