#include "tools/zarnlog/text/log_csv.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include "tools/zarnlog/csv_file.h"

namespace zarn {
namespace {

constexpr size_t kFlushAt = size_t{1} << 18;

// ",lat,lon" of a place, ",," without one.
std::string placeColumns(const std::optional<Place>& place) {
    if (!place) return ",,";
    char text[64];
    std::snprintf(text, sizeof text, ",%.7f,%.7f", place->lat, place->lon);
    return text;
}

// Each kind's text gathered and handed on in large pieces, the first at the kind's first row.
class CsvTexts {
public:
    CsvTexts(const CsvOutput& out, bool positions) : out_(out), positions_(positions) {}
    std::string& text(CsvKind kind) {
        Text& t = texts_[static_cast<int>(kind)];
        if (!t.begun && t.text.empty()) t.text = csvHeader(kind, positions_);
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

}  // namespace

bool writeCsv(LogReader& reader, const LogHeader& header, const CsvOutput& out, const DamageSink& damaged,
              const RecordPlacer& place) {
    CsvRows rows(header.pcsRaster);
    CsvTexts texts(out, static_cast<bool>(place));
    std::string tail;
    const bool read = forEachRecord(reader, [&](const LogRecord& r) {
        const CsvKind kind = csvKindOf(r.type);
        const bool placed = kind != CsvKind::Spectrum || !r.note.empty();
        tail = place && placed ? placeColumns(place(r)) : std::string();
        std::string& row = texts.text(kind);
        const size_t before = row.size();
        rows.append(r, row, tail);
        // A sweep that gives no row (PCS, raster unknown) begins no file.
        const bool noRow = kind == CsvKind::Spectrum && row.size() == before;
        if (!noRow && !texts.handOn(kind)) return false;
        if (r.note.empty()) return true;
        rows.appendNoteRow(r, texts.text(CsvKind::Notes), tail);
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
            const std::string path = (std::filesystem::path(dir) / (stem + "-" + csvSuffix(kind) + ".csv")).string();
            file = std::make_unique<CsvFile>(path, CsvMaker::Csv);
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
