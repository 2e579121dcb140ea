// GPX through expat, one piece at a time. GDAL's GPX driver is not used for
// reading: a file that breaks off gives it no points at all, and a card pulled
// while zarn wrote the track leaves just such a file.
#include <expat.h>

#include <charconv>
#include <cstring>

#include "recording/gpx_track.h"
#include "survey/log_time.h"
#include "survey/track_parsers.h"

namespace zarn {
namespace {

constexpr char kSeparator = ' ';  // between a namespace and a name; no URI holds a blank
constexpr size_t kLongestText = 64;

std::string_view localName(const XML_Char* name) {
    const char* blank = std::strchr(name, kSeparator);
    return blank ? blank + 1 : name;
}

std::string_view namespaceOf(const XML_Char* name) {
    const char* blank = std::strchr(name, kSeparator);
    return blank ? std::string_view(name, static_cast<size_t>(blank - name)) : std::string_view();
}

std::string_view trimmed(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

double number(std::string_view text) {
    text = trimmed(text);
    double v = NAN;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    return ec == std::errc() && end == text.data() + text.size() ? v : NAN;
}

// ISO 8601 as GPX has it: "2024-05-14T09:00:30Z", with a fraction or an offset.
double utcOf(std::string_view text) {
    text = trimmed(text);
    if (text.size() < 19) return NAN;
    const std::optional<long long> stamp = parseStamp(std::string(text.substr(0, 19)));
    if (!stamp || text[10] != 'T') return NAN;
    std::string_view rest = text.substr(19);
    double fraction = 0;
    if (!rest.empty() && rest[0] == '.') {
        size_t digits = 1;
        for (double unit = 0.1; digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9'; ++digits, unit /= 10)
            fraction += (rest[digits] - '0') * unit;
        if (digits == 1) return NAN;
        rest.remove_prefix(digits);
    }
    int offset = 0;
    if (rest == "Z" || rest.empty()) offset = 0;  // GPX times are UTC
    else if (const std::optional<int> o = parseUtcOffset(std::string(rest))) offset = *o;
    else return NAN;
    return static_cast<double>(*stamp - offset) + fraction;
}

double localOf(std::string_view text) {
    const std::optional<long long> stamp = parseStamp(std::string(trimmed(text)));
    return stamp && trimmed(text)[10] == 'T' ? static_cast<double>(*stamp) : NAN;
}

}  // namespace

struct GpxParser::State {
    GpxParser* self = nullptr;
    ParsedTrack* out = nullptr;
    XML_Parser parser = nullptr;
    int depth = 0;
    int pointDepth = 0;  // of the open <trkpt>, 0 outside one
    int segment = -1;
    RawTrackPoint point;
    enum class Text { None, Time, Local } collecting = Text::None;
    std::string text;
    bool textTooLong = false;

    void start(const XML_Char* name, const XML_Char** attributes) {
        ++depth;
        const std::string_view local = localName(name);
        if (depth == 1) {
            self->rootIsGpx_ = local == "gpx";
            if (!self->rootIsGpx_) {
                self->error_ = "the document is <" + std::string(local) + ">, not <gpx>";
                XML_StopParser(parser, XML_FALSE);
            }
            return;
        }
        if (local == "trk" || local == "trkseg") {
            ++segment;
        } else if (local == "trkpt" && pointDepth == 0) {
            pointDepth = depth;
            point = RawTrackPoint{};
            point.segment = std::max(segment, 0);
            for (const XML_Char** a = attributes; *a; a += 2) {
                if (std::strcmp(a[0], "lat") == 0) point.lat = number(a[1]);
                if (std::strcmp(a[0], "lon") == 0) point.lon = number(a[1]);
            }
        } else if (pointDepth && depth == pointDepth + 1 && local == "time") {
            collect(Text::Time);
        } else if (pointDepth && local == "localtime" && namespaceOf(name) == kTrackNamespace) {
            collect(Text::Local);
        }
    }

    void collect(Text what) {
        collecting = what;
        text.clear();
        textTooLong = false;
    }

    void end() {
        if (collecting != Text::None) {
            const double value = textTooLong ? NAN : collecting == Text::Time ? utcOf(text) : localOf(text);
            (collecting == Text::Time ? point.utc : point.local) = value;
            collecting = Text::None;
        }
        if (depth == pointDepth) {
            out->points.push_back(point);
            pointDepth = 0;
        }
        --depth;
    }

    void characters(const XML_Char* s, int length) {
        if (collecting == Text::None) return;
        if (text.size() + static_cast<size_t>(length) > kLongestText) textTooLong = true;
        else text.append(s, static_cast<size_t>(length));
    }
};

GpxParser::GpxParser(ParsedTrack& out) : state_(std::make_unique<State>()) {
    state_->self = this;
    state_->out = &out;
    state_->parser = XML_ParserCreateNS(nullptr, kSeparator);
    XML_SetUserData(state_->parser, state_.get());
    XML_SetElementHandler(
        state_->parser,
        [](void* s, const XML_Char* name, const XML_Char** attributes) { static_cast<State*>(s)->start(name, attributes); },
        [](void* s, const XML_Char*) { static_cast<State*>(s)->end(); });
    XML_SetCharacterDataHandler(state_->parser, [](void* s, const XML_Char* text, int length) {
        static_cast<State*>(s)->characters(text, length);
    });
}

GpxParser::~GpxParser() { XML_ParserFree(state_->parser); }

bool GpxParser::feed(std::string_view bytes, bool last) {
    if (!error_.empty()) return false;
    XML_Parser p = state_->parser;
    if (XML_Parse(p, bytes.data(), static_cast<int>(bytes.size()), last ? XML_TRUE : XML_FALSE) != XML_STATUS_ERROR)
        return true;
    if (error_.empty())
        error_ = "line " + std::to_string(XML_GetCurrentLineNumber(p)) + ": " + XML_ErrorString(XML_GetErrorCode(p));
    return false;
}

}  // namespace zarn
