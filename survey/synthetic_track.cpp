#include "survey/synthetic_track.h"

#include <cstdio>
#include <memory>

#include "recording/gpx_track.h"
#include "recording/synthetic_log.h"
#include "survey/log_time.h"

namespace zarn {

bool writeSyntheticTrack(const std::string& path, long long from, long long to, int step,
                         const std::function<std::optional<Place>(long long)>& place) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) return false;
    std::string text = gpxHead();
    bool inSegment = false, ok = true;
    const auto flush = [&] {
        ok = ok && std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
        text.clear();
    };
    for (long long s = from; s < to; s += step) {
        const std::optional<Place> p = place(s);
        if (!p) {
            if (inSegment) text += kGpxSegmentClose;
            inSegment = false;
            continue;
        }
        if (!inSegment) text += kGpxSegmentOpen;
        inSegment = true;
        const LocalTime local = syntheticTime(s);
        GpsFix fix;
        fix.mode = 3;
        fix.latitude = p->lat;
        fix.longitude = p->lon;
        fix.altitude = 400;
        fix.utc = static_cast<double>(stampSeconds(local) - kSyntheticUtcOffset);
        text += gpxPoint(fix, local);
        if (text.size() > (1u << 20)) flush();
    }
    if (inSegment) text += kGpxSegmentClose;
    text += kGpxDocumentClose;
    flush();
    return std::fclose(file.release()) == 0 && ok;
}

}  // namespace zarn
