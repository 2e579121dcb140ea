#include "tools/zarnlog/log_csv.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

#include "recording/log_units.h"
#include "tools/zarnlog/log_text.h"

namespace zarn {
namespace {

constexpr size_t kFlushAt = size_t{1} << 18;

void appendInt(std::string& out, long long v) {
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, v).ptr;
    out.append(text, end);
}

// An integer count of 1/10^digits units, trailing zeros of the fraction dropped down to `keep`.
void appendFixed(std::string& out, long long value, int digits, int keep) {
    long long scale = 1;
    for (int i = 0; i < digits; ++i) scale *= 10;
    if (value < 0) {
        out += '-';
        value = -value;
    }
    appendInt(out, value / scale);
    long long fraction = value % scale;
    int shown = digits;
    while (shown > keep && fraction % 10 == 0) {
        fraction /= 10;
        --shown;
    }
    if (shown == 0) return;
    char text[20];
    for (int i = shown - 1; i >= 0; --i, fraction /= 10) text[i] = static_cast<char>('0' + fraction % 10);
    out += '.';
    out.append(text, static_cast<size_t>(shown));
}

void appendNote(std::string& out, const std::string& note) {
    out += '"';
    for (char c : noteUtf8(note)) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

void appendFrequency(std::string& out, uint32_t hz) {
    if (hz) appendMegahertz(out, hz);
}

void appendChannel(std::string& out, uint32_t channel) {
    if (channel != kUnknownChannel) appendInt(out, channel);
}

void appendLead(std::string& row, const LogRecord& r) {
    row += isoTime(r.time);
    row += ',';
    appendNote(row, r.note);
}

const char* headerRow(CsvKind kind) {
    switch (kind) {
    case CsvKind::SingleChannel:
        return "time,note,cellular_channel,cellular_mhz,cellular_dbm,pcs_channel,pcs_mhz,pcs_dbm\n";
    case CsvKind::ChannelTable: return "time,note,slot,band,channel,mhz,dbm\n";
    case CsvKind::BestServers: return "time,note,rank,mhz,channel,dbm\n";
    case CsvKind::Frames: return "time,note,type,payload\n";
    case CsvKind::Notes: return "time,record_type,byte_offset,note\n";
    case CsvKind::Spectrum: return "";
    }
    return "";
}

// The header row, with lat and lon when the rows have them.
std::string header(CsvKind kind, bool positions) {
    std::string row = headerRow(kind);
    if (positions && kind != CsvKind::Spectrum) row.insert(row.size() - 1, ",lat,lon");
    return row;
}

// ",lat,lon" of a place, ",," without one.
std::string placeColumns(const std::optional<Place>& place) {
    if (!place) return ",,";
    char text[64];
    std::snprintf(text, sizeof text, ",%.7f,%.7f", place->lat, place->lon);
    return text;
}

void singleChannelRows(const LogPlans& plans, const LogRecord& r, std::string_view tail, std::string& row) {
    SingleChannelReading reading;
    if (!decodeSingleChannel(plans, r, reading)) return;
    appendLead(row, r);
    for (const TunedReading& t : reading.band) {
        row += ',';
        appendChannel(row, t.channel);
        row += ',';
        appendFrequency(row, t.hz);
        row += ',';
        appendDbm(row, t.level);
    }
    row += tail;
    row += '\n';
}

void tableRows(const LogPlans& plans, const LogRecord& r, std::vector<TableReading>& slots, std::string_view tail,
               std::string& row) {
    decodeTable(plans, r, slots);
    for (const TableReading& s : slots) {
        appendLead(row, r);
        for (long long v : {(long long)s.slot, (long long)s.band, (long long)s.channel}) {
            row += ',';
            appendInt(row, v);
        }
        row += ',';
        appendFrequency(row, s.hz);
        row += ',';
        appendDbm(row, s.level);
        row += tail;
        row += '\n';
    }
}

// ", <dBm>" of every level, made once: spectrum rows are mostly these.
class LevelTexts {
public:
    static constexpr size_t kLongest = 12;  // ", -2047.9375"
    LevelTexts() {
        std::string text;
        for (int level = INT16_MIN; level <= INT16_MAX; ++level) {
            text = ", ";
            appendDbm(text, static_cast<int16_t>(level));
            Entry& e = entries_[static_cast<uint16_t>(level)];
            e.length = static_cast<uint8_t>(text.size());
            text.copy(e.text, text.size());
        }
    }
    // Writes the text of `level` at `out` (room for kLongest); returns the end.
    char* put(char* out, int16_t level) const {
        const Entry& e = entries_[static_cast<uint16_t>(level)];
        std::memcpy(out, e.text, kLongest);
        return out + e.length;
    }

private:
    struct Entry {
        uint8_t length = 0;
        char text[kLongest] = {};
    };
    Entry entries_[65536];
};

const LevelTexts& levelTexts() {
    static const LevelTexts texts;
    return texts;
}

void spectrumRow(const LogPlans& plans, const LogRecord& r, Sweep& s, std::string& row) {
    if (!decodeSweep(plans, r, s)) return;
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", r.time.year, r.time.month, r.time.day);
    row += date;
    row += ", ";
    row += clockTime(r.time);
    row += ", ";
    appendInt(row, s.firstHz);
    row += ", ";
    appendInt(row, static_cast<long long>(s.firstHz) + static_cast<long long>(s.stepHz) * s.points.size());
    row += ", ";
    appendInt(row, s.stepHz);
    row += ".00, 1";
    const LevelTexts& texts = levelTexts();
    const size_t at = row.size();
    row.resize(at + s.points.size() * LevelTexts::kLongest);
    char* out = row.data() + at;
    for (const SweepPoint& p : s.points) {
        if (p.measured()) {
            out = texts.put(out, p.level);
        } else {
            std::memcpy(out, ", nan", 5);
            out += 5;
        }
    }
    row.resize(static_cast<size_t>(out - row.data()));
    row += '\n';
}

void serverRows(const LogPlans& plans, const LogRecord& r, std::vector<ServerRank>& ranks, std::string_view tail,
                std::string& row) {
    uint8_t band = 0;
    decodeBestServers(plans, r, band, ranks);
    for (const ServerRank& s : ranks) {
        appendLead(row, r);
        row += ',';
        appendInt(row, s.rank);
        row += ',';
        appendFrequency(row, s.hz);
        row += ',';
        appendChannel(row, s.channel);
        row += ',';
        appendInt(row, s.level);
        row += tail;
        row += '\n';
    }
}

void frameRow(const LogRecord& r, std::string_view tail, std::string& row) {
    static const char kHex[] = "0123456789abcdef";
    appendLead(row, r);
    row += ',';
    appendInt(row, r.type);
    row += ',';
    for (size_t i = 0; i < r.length; ++i) {
        row += kHex[r.payload[i] >> 4];
        row += kHex[r.payload[i] & 15];
    }
    row += tail;
    row += '\n';
}

CsvKind kindOf(uint8_t type) {
    switch (type) {
    case 216: return CsvKind::SingleChannel;
    case 217: return CsvKind::ChannelTable;
    case 218: return CsvKind::Spectrum;
    case 219: return CsvKind::BestServers;
    default: return CsvKind::Frames;
    }
}

// Each kind's text gathered and handed on in large pieces, the first at the kind's first row.
class CsvTexts {
public:
    CsvTexts(const CsvOutput& out, bool positions) : out_(out), positions_(positions) {}
    std::string& text(CsvKind kind) {
        Text& t = texts_[static_cast<int>(kind)];
        if (!t.begun && t.text.empty()) t.text = header(kind, positions_);
        return t.text;
    }
    // False when the output refused the text.
    bool handOn(CsvKind kind) {
        Text& t = texts_[static_cast<int>(kind)];
        if (t.begun && t.text.size() < kFlushAt) return true;
        t.begun = true;
        return pass(kind, t);
    }
    bool finish() {
        for (int k = 0; k < kKinds; ++k)
            if (!texts_[k].text.empty() && !pass(static_cast<CsvKind>(k), texts_[k])) return false;
        return true;
    }

private:
    static constexpr int kKinds = 6;
    struct Text {
        std::string text;
        bool begun = false;
    };
    bool pass(CsvKind kind, Text& t) {
        const bool ok = out_(kind, t.text);
        t.text.clear();
        return ok;
    }
    const CsvOutput& out_;
    bool positions_;
    Text texts_[kKinds];
};

// One CSV file, written with write(2) so that a failure keeps the system's reason.
class CsvFile {
public:
    explicit CsvFile(std::string path) : path_(std::move(path)) {
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd_ < 0) fail();
    }
    ~CsvFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    CsvFile(const CsvFile&) = delete;
    CsvFile& operator=(const CsvFile&) = delete;
    bool opened() const { return fd_ >= 0; }
    bool write(std::string_view text) {
        while (fd_ >= 0 && !text.empty()) {
            const ssize_t n = ::write(fd_, text.data(), text.size());
            if (n < 0 && errno == EINTR) continue;
            if (n == 0) errno = ENOSPC;
            if (n <= 0) return fail();
            text.remove_prefix(static_cast<size_t>(n));
        }
        return fd_ >= 0;
    }
    bool close() {
        if (fd_ < 0) return error_.empty();
        if (::close(std::exchange(fd_, -1)) == 0) return true;
        return fail();
    }
    const std::string& error() const { return error_; }

private:
    bool fail() {
        error_ = "cannot write " + path_ + ": " + std::strerror(errno);
        if (fd_ >= 0) ::close(std::exchange(fd_, -1));
        return false;
    }
    std::string path_;
    int fd_ = -1;
    std::string error_;
};

}  // namespace

const char* csvSuffix(CsvKind kind) {
    switch (kind) {
    case CsvKind::SingleChannel: return "single";
    case CsvKind::ChannelTable: return "table";
    case CsvKind::Spectrum: return "spectrum";
    case CsvKind::BestServers: return "servers";
    case CsvKind::Frames: return "frames";
    case CsvKind::Notes: return "notes";
    }
    return "other";
}

void appendDbm(std::string& out, int16_t sixteenths) {
    static constexpr const char* kSixteenths[16] = {".0",   ".0625", ".125", ".1875", ".25", ".3125",
                                                    ".375", ".4375", ".5",   ".5625", ".625", ".6875",
                                                    ".75",  ".8125", ".875", ".9375"};
    int v = sixteenths;
    if (v < 0) {
        out += '-';
        v = -v;
    }
    appendInt(out, v / 16);
    out += kSixteenths[v % 16];
}

void appendMegahertz(std::string& out, uint32_t hz) { appendFixed(out, hz, 6, 2); }

bool writeCsv(LogReader& reader, const LogHeader& header, const CsvOutput& out, const DamageSink& damaged,
              const RecordPlacer& place) {
    const LogPlans plans(header.pcsRaster);
    CsvTexts texts(out, static_cast<bool>(place));
    Sweep sweep;
    std::vector<TableReading> slots;
    std::vector<ServerRank> ranks;
    std::string tail;
    const bool read = forEachRecord(reader, [&](const LogRecord& r) {
        const CsvKind kind = kindOf(r.type);
        const bool rows = kind != CsvKind::Spectrum || !r.note.empty();
        tail = place && rows ? placeColumns(place(r)) : std::string();
        std::string& row = texts.text(kind);
        const size_t before = row.size();
        switch (kind) {
        case CsvKind::SingleChannel: singleChannelRows(plans, r, tail, row); break;
        case CsvKind::ChannelTable: tableRows(plans, r, slots, tail, row); break;
        case CsvKind::Spectrum: spectrumRow(plans, r, sweep, row); break;
        case CsvKind::BestServers: serverRows(plans, r, ranks, tail, row); break;
        default: frameRow(r, tail, row); break;
        }
        // A sweep that gives no row (PCS, raster unknown) begins no file.
        const bool noRow = kind == CsvKind::Spectrum && row.size() == before;
        if (!noRow && !texts.handOn(kind)) return false;
        if (r.note.empty()) return true;
        std::string& note = texts.text(CsvKind::Notes);
        note += isoTime(r.time);
        note += ',';
        appendInt(note, r.type);
        note += ',';
        appendInt(note, static_cast<long long>(r.offset));
        note += ',';
        appendNote(note, r.note);
        note += tail;
        note += '\n';
        return texts.handOn(CsvKind::Notes);
    }, damaged);
    return read && texts.finish();
}

bool writeCsvFiles(LogReader& reader, const LogHeader& header, const std::string& dir, const std::string& stem,
                   std::vector<std::string>& written, std::string& error, const DamageSink& damaged,
                   const RecordPlacer& place) {
    std::map<CsvKind, std::unique_ptr<CsvFile>> files;
    const size_t before = written.size();
    bool ok = writeCsv(reader, header, [&](CsvKind kind, std::string_view text) {
        std::unique_ptr<CsvFile>& file = files[kind];
        if (!file) {
            const std::string path = (dir.empty() ? "" : dir + "/") + stem + "-" + csvSuffix(kind) + ".csv";
            file = std::make_unique<CsvFile>(path);
            if (file->opened()) written.push_back(path);
        }
        return file->write(text);
    }, damaged, place);
    for (auto& [kind, file] : files) {
        if (ok) ok = file->close();
        if (!file->error().empty() && error.empty()) error = file->error();
    }
    if (!ok && error.empty()) error = "read error: " + reader.readError();
    if (ok) return true;
    for (size_t i = before; i < written.size(); ++i) std::remove(written[i].c_str());
    written.resize(before);
    return false;
}

}  // namespace zarn
