#pragma once
// The GPX and NMEA parsers behind readTrackFile: they take a file's bytes in
// pieces as they are read and hand on its points as they come, before the
// track's clock is chosen and their order checked.

#include <cmath>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "survey/track.h"

namespace zarn {

struct RawTrackPoint {
    double utc = NAN;
    double local = NAN;  // the device's clock, as stampSeconds counts it
    double lat = NAN, lon = NAN;
    int segment = 0;
};

struct ParsedTrack {
    std::vector<RawTrackPoint> points;
    TrackSkips skipped;
};

class GpxParser {
public:
    explicit GpxParser(ParsedTrack& out);
    ~GpxParser();
    GpxParser(const GpxParser&) = delete;
    GpxParser& operator=(const GpxParser&) = delete;

    // False once parsing has stopped at an error; later pieces are not read.
    bool feed(std::string_view bytes, bool last);
    // Whether the document's root element is <gpx>.
    bool isGpx() const { return rootIsGpx_; }
    // The error that stopped it, with its line; empty when the document was whole.
    const std::string& error() const { return error_; }

    struct State;

private:
    std::unique_ptr<State> state_;
    bool rootIsGpx_ = false;
    std::string error_;
};

class NmeaParser {
public:
    explicit NmeaParser(ParsedTrack& out) : out_(out) {}
    void feed(std::string_view bytes);
    void finish();
    // Sentences with a good checksum, of any kind.
    size_t sentences() const { return sentences_; }

private:
    struct Fix {
        double tod = 0;  // seconds of the UTC day
        double lat = NAN, lon = NAN;
        long long day = -1;  // days since 1970, -1 until an RMC sentence dates it
        int segment = 0;
    };
    void line(std::string_view text);
    void sentence(std::string_view address, const std::vector<std::string_view>& fields);
    void fix(double tod, double lat, double lon, long long day);
    void noFix();
    void close();
    void emit(Fix f);

    ParsedTrack& out_;
    std::string partial_;
    bool overlong_ = false;
    size_t sentences_ = 0;
    bool open_ = false, inFix_ = false;
    Fix last_;
    int segment_ = 0;
    // The latest RMC's date and time, which date the fixes around it.
    long long refDay_ = -1;
    double refTod_ = 0;
    std::vector<Fix> undated_;  // fixes before the first RMC
};

}  // namespace zarn
