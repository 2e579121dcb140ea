#include "tools/zarnlog/log_csv.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>

#include "recording/log_units.h"

namespace zarn {
namespace {

void appendInt(std::string& out, long long v) {
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, v).ptr;
    out.append(text, end);
}

// An integer count of 1/10^digits units, trailing zeros of the fraction dropped.
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
    char text[16];
    std::snprintf(text, sizeof text, ".%0*lld", shown, fraction);
    out += text;
}

void appendNote(std::string& out, const std::string& note) {
    out += '"';
    for (char c : note) {
        if (c == '"') out += '"';
        out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
    out += '"';
}

void appendFrequency(std::string& out, uint32_t hz) {
    if (hz) appendMegahertz(out, hz);
}

void appendLead(std::string& row, const LogRecord& r) {
    row += isoTime(r.time);
    row += ',';
    appendNote(row, r.note);
}

const char* header(CsvKind kind) {
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

void singleChannelRows(const LogPlans& plans, const LogRecord& r, std::string& row) {
    SingleChannelReading reading;
    if (!decodeSingleChannel(plans, r, reading)) return;
    appendLead(row, r);
    for (const TunedReading& t : reading.band) {
        row += ',';
        appendInt(row, t.channel);
        row += ',';
        appendFrequency(row, t.hz);
        row += ',';
        appendDbm(row, t.level);
    }
    row += '\n';
}

void tableRows(const LogPlans& plans, const LogRecord& r, std::string& row) {
    std::vector<TableReading> slots;
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
        row += '\n';
    }
}

void spectrumRow(const LogPlans& plans, const LogRecord& r, std::string& row) {
    Sweep s;
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
    for (const SweepPoint& p : s.points) {
        row += ", ";
        if (p.onGrid) appendDbm(row, p.level);
        else row += "nan";
    }
    row += '\n';
}

void serverRows(const LogPlans& plans, const LogRecord& r, std::string& row) {
    uint8_t band = 0;
    std::vector<ServerRank> ranks;
    decodeBestServers(plans, r, band, ranks);
    for (const ServerRank& s : ranks) {
        appendLead(row, r);
        row += ',';
        appendInt(row, s.rank);
        row += ',';
        appendFrequency(row, s.hz);
        row += ',';
        appendInt(row, s.channel);
        row += ',';
        appendInt(row, s.level);
        row += '\n';
    }
}

void frameRow(const LogRecord& r, std::string& row) {
    static const char kHex[] = "0123456789abcdef";
    appendLead(row, r);
    row += ',';
    appendInt(row, r.type);
    row += ',';
    for (size_t i = 0; i < r.length; ++i) {
        row += kHex[r.payload[i] >> 4];
        row += kHex[r.payload[i] & 15];
    }
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

void appendDbm(std::string& out, int16_t sixteenths) { appendFixed(out, sixteenths * 625LL, 4, 1); }

void appendMegahertz(std::string& out, uint32_t hz) { appendFixed(out, hz, 6, 2); }

void writeCsv(const LoadedLog& log, const std::function<std::ostream&(CsvKind)>& open) {
    const LogPlans plans(log.header.pcsRaster);
    std::map<CsvKind, std::ostream*> streams;
    auto stream = [&](CsvKind kind) -> std::ostream& {
        auto found = streams.find(kind);
        if (found != streams.end()) return *found->second;
        std::ostream& s = open(kind);
        s << header(kind);
        streams[kind] = &s;
        return s;
    };
    std::string row;
    for (const LogRecord& r : log.records) {
        row.clear();
        const CsvKind kind = kindOf(r.type);
        switch (kind) {
        case CsvKind::SingleChannel: singleChannelRows(plans, r, row); break;
        case CsvKind::ChannelTable: tableRows(plans, r, row); break;
        case CsvKind::Spectrum: spectrumRow(plans, r, row); break;
        case CsvKind::BestServers: serverRows(plans, r, row); break;
        default: frameRow(r, row); break;
        }
        stream(kind) << row;
        if (r.note.empty()) continue;
        row.clear();
        row += isoTime(r.time);
        row += ',';
        appendInt(row, r.type);
        row += ',';
        appendInt(row, static_cast<long long>(r.offset));
        row += ',';
        appendNote(row, r.note);
        row += '\n';
        stream(CsvKind::Notes) << row;
    }
}

bool writeCsvFiles(const LoadedLog& log, const std::string& dir, const std::string& stem,
                   std::vector<std::string>& written, std::string& error) {
    std::map<CsvKind, std::unique_ptr<std::ofstream>> files;
    std::ofstream failed;
    writeCsv(log, [&](CsvKind kind) -> std::ostream& {
        const std::string path = (dir.empty() ? "" : dir + "/") + stem + "-" + csvSuffix(kind) + ".csv";
        auto file = std::make_unique<std::ofstream>(path, std::ios::binary | std::ios::trunc);
        if (!*file) {
            if (error.empty()) error = "cannot write " + path;
            return failed;
        }
        written.push_back(path);
        return *(files[kind] = std::move(file));
    });
    for (auto& [kind, file] : files) {
        file->flush();
        if (!*file && error.empty()) error = std::string("write failed: ") + csvSuffix(kind);
    }
    return error.empty();
}

}  // namespace zarn
