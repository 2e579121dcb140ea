#include "survey/csv_rows.h"

#include <charconv>
#include <climits>
#include <cstdio>
#include <cstring>

#include "survey/log_text.h"

namespace zarn {
namespace {

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

void appendNote(std::string& out, const std::string& note) { appendCsvText(out, noteUtf8(note)); }

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
        appendReadingDbm(row, t.level);
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
        appendReadingDbm(row, s.level);
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
    appendLead(row, r);
    row += ',';
    appendInt(row, r.type);
    row += ',';
    appendHex(row, r.payload, r.length);
    row += tail;
    row += '\n';
}

CsvKind kindOfType(uint8_t type) {
    switch (type) {
    case 216: return CsvKind::SingleChannel;
    case 217: return CsvKind::ChannelTable;
    case 218: return CsvKind::Spectrum;
    case 219: return CsvKind::BestServers;
    default: return CsvKind::Frames;
    }
}

}  // namespace

void appendCsvText(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

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

CsvKind csvKindOf(uint8_t recordType) { return kindOfType(recordType); }

std::string csvHeader(CsvKind kind, bool positions) {
    std::string row = headerRow(kind);
    if (positions && kind != CsvKind::Spectrum) row.insert(row.size() - 1, ",lat,lon");
    return row;
}

void CsvRows::append(const LogRecord& r, std::string& row, std::string_view tail) {
    switch (kindOfType(r.type)) {
    case CsvKind::SingleChannel: singleChannelRows(plans_, r, tail, row); break;
    case CsvKind::ChannelTable: tableRows(plans_, r, slots_, tail, row); break;
    case CsvKind::Spectrum: spectrumRow(plans_, r, sweep_, row); break;
    case CsvKind::BestServers: serverRows(plans_, r, ranks_, tail, row); break;
    default: frameRow(r, tail, row); break;
    }
}

void CsvRows::appendNoteRow(const LogRecord& r, std::string& row, std::string_view tail) {
    if (r.note.empty()) return;
    row += isoTime(r.time);
    row += ',';
    appendInt(row, r.type);
    row += ',';
    appendInt(row, static_cast<long long>(r.offset));
    row += ',';
    appendNote(row, r.note);
    row += tail;
    row += '\n';
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

bool appendFrequency(std::string& out, uint32_t hz) {
    if (hz) appendMegahertz(out, hz);
    return hz != 0;
}

bool appendReadingDbm(std::string& out, int16_t sixteenths) {
    if (sixteenths == kEmptyLevel) return false;
    appendDbm(out, sixteenths);
    return true;
}

bool appendChannel(std::string& out, uint32_t channel) {
    if (channel == kUnknownChannel) return false;
    appendInt(out, channel);
    return true;
}

void appendHex(std::string& out, const uint8_t* bytes, size_t length) {
    static const char kHex[] = "0123456789abcdef";
    for (size_t i = 0; i < length; ++i) {
        out += kHex[bytes[i] >> 4];
        out += kHex[bytes[i] & 15];
    }
}

}  // namespace zarn
