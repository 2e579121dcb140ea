#include "tools/zarnlog/csv_maker.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <string_view>
#include <vector>

#include "survey/csv_rows.h"
#include "survey/occupancy.h"
#include "tools/zarnlog/map_features.h"

namespace zarn {
namespace {

constexpr size_t kLook = 64 * 1024;  // enough rows for a note to tell

struct Field {
    std::string text;
    bool quoted = false;
};
using Row = std::vector<Field>;

// The first bytes of a regular file; nullopt when there is none.
std::optional<std::string> head(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    std::optional<std::string> text;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        text.emplace(kLook, '\0');
        const ssize_t n = ::read(fd, text->data(), kLook);
        text->resize(n > 0 ? static_cast<size_t>(n) : 0);
    }
    ::close(fd);
    return text;
}

// The whole rows of `text` (a row cut off at its end is left out).
std::vector<Row> rows(std::string_view text) {
    std::vector<Row> out;
    Row row(1);
    bool inQuotes = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inQuotes) {
            if (c != '"') row.back().text += c;
            else if (i + 1 < text.size() && text[i + 1] == '"') row.back().text += text[++i];
            else inQuotes = false;
        } else if (c == '"') {
            inQuotes = row.back().quoted = true;
        } else if (c == ',') {
            row.emplace_back();
        } else if (c == '\n') {
            out.push_back(std::move(row));
            row.assign(1, Field{});
        } else if (c != '\r') {
            row.back().text += c;
        }
    }
    return out;
}

std::string joined(const Row& row) {
    std::string text;
    for (size_t i = 0; i < row.size(); ++i) {
        if (i) text += ',';
        text += row[i].text;
    }
    return text;
}

std::string withoutLineEnd(std::string row) {
    if (!row.empty() && row.back() == '\n') row.pop_back();
    return row;
}

bool csvHeaderRow(const std::string& header) {
    for (const CsvKind kind : {CsvKind::SingleChannel, CsvKind::ChannelTable, CsvKind::BestServers, CsvKind::Frames,
                               CsvKind::Notes})
        for (const bool positions : {false, true})
            if (header == withoutLineEnd(csvHeader(kind, positions))) return true;
    return false;
}

// The header GDAL writes for a layer: its fields, then lat and lon.
std::optional<MapLayer> mapHeaderLayer(const std::string& header) {
    for (int k = 0; k < kMapLayers; ++k) {
        std::string names;
        for (const FieldSpec& f : mapFields(static_cast<MapLayer>(k))) names += f.name + ",";
        if (header == names + "lat,lon") return static_cast<MapLayer>(k);
    }
    return std::nullopt;
}

// zarnlog csv's spectrum rows: "2024-05-14, 11:00:00, 869000000, ...".
bool spectrumRow(const Row& row) {
    const std::string& date = row.front().text;
    if (row.size() < 7 || date.size() != 10 || date[4] != '-' || date[7] != '-') return false;
    for (const size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (!std::isdigit(static_cast<unsigned char>(date[i]))) return false;
    return true;
}

// Of a header both write: zarnlog csv's when a note is "", map's when one is not quoted.
std::optional<CsvMaker> byNotes(const std::vector<Row>& rows) {
    for (size_t i = 1; i < rows.size(); ++i) {
        if (rows[i].size() < 2) continue;
        const Field& note = rows[i][1];
        if (!note.quoted) return CsvMaker::Map;
        if (note.text.empty()) return CsvMaker::Csv;
    }
    return std::nullopt;
}

const char* command(CsvMaker maker) {
    switch (maker) {
    case CsvMaker::Csv: return "zarnlog csv";
    case CsvMaker::Map: return "zarnlog map";
    case CsvMaker::Grid: return "zarnlog grid";
    case CsvMaker::Occupancy: return "zarnlog occupancy";
    }
    return "zarnlog";
}

}  // namespace

std::optional<CsvMaker> csvMakerOf(const std::string& path) {
    const std::optional<std::string> text = head(path);
    if (!text) return std::nullopt;
    const std::vector<Row> found = rows(*text);
    if (found.empty()) return std::nullopt;
    const std::string header = joined(found.front());
    const std::optional<MapLayer> layer = mapHeaderLayer(header);
    if (layer == MapLayer::Cells) return CsvMaker::Grid;
    if (layer && csvHeaderRow(header)) return byNotes(found);
    if (layer) return CsvMaker::Map;
    if (csvHeaderRow(header) || spectrumRow(found.front())) return CsvMaker::Csv;
    if (header == withoutLineEnd(occupancyCsvHeader())) return CsvMaker::Occupancy;
    return std::nullopt;
}

std::string csvOverwriteRefusal(const std::string& path, CsvMaker self) {
    const std::optional<CsvMaker> maker = csvMakerOf(path);
    if (!maker || *maker == self) return "";
    return "will not replace " + path + ": " + command(*maker) + " wrote it; give another -o or remove it";
}

}  // namespace zarn
