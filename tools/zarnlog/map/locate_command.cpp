#include "tools/zarnlog/map/locate_command.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "survey/csv_rows.h"
#include "survey/record_levels.h"
#include "tools/zarnlog/map/locate_layers.h"
#include "tools/zarnlog/track_choice.h"

namespace zarn {
namespace {

namespace fs = std::filesystem;

std::string megahertz(uint32_t hz) {
    std::string text;
    appendMegahertz(text, hz);
    return text + " MHz";
}

// The frequency a log of these plans reads for the request; 0 when its raster has none.
uint32_t frequencyIn(const LocateRequest& r, const LogPlans& plans) {
    return r.hz ? r.hz : locateChannelHz(plans, r.band, r.channel);
}

bool gatherLog(const LocateRequest& r, size_t index, LocateReadings& readings, std::ostream& err) {
    const std::string& file = r.logs[index];
    LogReader reader;
    LogHeader header;
    if (!reader.open(file) || !reader.readHeader(header)) {
        err << "zarnlog: " << file << ": " << reader.problem() << "\n";
        return false;
    }
    const TrackChoice track = chooseTrack(file, r.track, r.utcOffset, true, err);
    if (track.failed) return false;
    RecordLevels levels(header.pcsRaster);
    const uint32_t hz = frequencyIn(r, levels.plans());
    if (!hz) {
        err << "zarnlog: " << file << ": "
            << (header.pcsRaster ? "its PCS raster of " + std::to_string(header.pcsRaster / 1000) + " kHz has no channel "
                                 : std::string("its PCS raster is not known, so no frequency for channel "))
            << r.channel << ": nothing of it used\n";
        return true;
    }
    PlacingCounts counts;
    LocateFrequency* f = nullptr;
    const DamageSink damaged = [&](const LogDamage& d) {
        err << "zarnlog: " << file << ": bad record at byte " << d.offset << " (" << d.problem << "): skipped "
            << d.length << " bytes\n";
    };
    const bool read = forEachRecord(reader, [&](const LogRecord& record) {
        std::optional<Placing> placing;
        Place place;
        levels.forEach(record, [&](const MeasuredLevel& m) {
            if (m.hz != hz) return;
            if (!placing) placing = track.join->place(record.time, place, counts);
            if (*placing != Placing::Placed) return;
            if (!f) f = &readings[hz];
            f->add(place, m.level / 16.0, track.join->timeOf(record.time), static_cast<int>(index), !r.output.empty());
        });
        return true;
    }, damaged);
    if (!read) {
        err << "zarnlog: " << file << ": read error: " << reader.readError() << "\n";
        return false;
    }
    if (counts.placed + counts.notPlaced() == 0) return true;
    err << "zarnlog: " << file << ": records with " << megahertz(hz) << ": " << counts.text() << "\n";
    if (counts.placed == 0) err << "zarnlog: " << file << ": " << track.join->nothingPlaced(counts) << "\n";
    return true;
}

std::string fixedText(double value, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string lineOf(uint32_t hz, const TransmitterEstimate& e) {
    std::string line = megahertz(hz) + ": " + placeText(e.place);
    if (e.region) {
        const LocateRegion& r = *e.region;
        line += "; 95 % region " + fixedText(r.major, 0) + " m by " + fixedText(r.minor, 0) + " m, the long axis at " +
                fixedText(r.bearing, 0) + "\u00b0, around " + placeText(r.centre) + "; n " + fixedText(e.model.n, 2) +
                ", P0 " + fixedText(e.model.p0, 1) + " dBm at 1 m, shadowing " + fixedText(e.model.sigma, 1) + " dB";
    } else {
        line += " (weighted centroid: no region, no model)";
    }
    return line + "; " + std::to_string(e.samples) + " samples, " + fixedText(e.metres / 1000, 1) + " km of drive\n";
}

bool writeLayers(const LocateRequest& r, const std::vector<LocatedFrequency>& located, std::ostream& out,
                 std::ostream& err) {
    std::error_code ec;
    if (const fs::path folder = fs::path(r.output).parent_path(); !folder.empty()) fs::create_directories(folder, ec);
    std::vector<std::string> files;
    std::string error;
    if (!writeLocateLayers(located, r.output, r.format, files, error)) {
        err << "zarnlog: " << error << "\n";
        return false;
    }
    for (const std::string& f : files) out << f << "\n";
    return true;
}

}  // namespace

std::optional<uint8_t> locateBandOf(uint32_t hz) {
    const LogPlans plans(0);
    for (uint8_t band = 0; band < 2; ++band)
        if (plans.plan(band)->frequencyToStep(hz)) return band;
    return std::nullopt;
}

int locate(const LocateRequest& r, std::ostream& out, std::ostream& err) {
    LocateReadings readings;
    const bool archive = r.logs.empty();
    std::string where = archive ? "the archive" : r.logs.size() == 1 ? r.logs[0] : "the logs";
    if (archive) {
        std::string error;
        const uint8_t band = r.hz ? locateBandOf(r.hz).value_or(0) : r.band;
        const std::optional<uint32_t> channel = r.hz ? std::nullopt : std::optional(r.channel);
        if (!gatherArchive(r.conninfo, r.archive, r.hz, band, channel, !r.output.empty(), readings, where, error)) {
            err << "zarnlog: " << error << "\n";
            return 1;
        }
    } else {
        for (size_t i = 0; i < r.logs.size(); ++i)
            if (!gatherLog(r, i, readings, err)) return 1;
    }
    if (readings.empty()) {
        const std::string asked = r.hz ? megahertz(r.hz) : (r.band ? "PCS channel " : "channel ") + std::to_string(r.channel);
        err << "zarnlog: no placed reading of " << asked << " in " << where << "\n";
        return 1;
    }
    int status = 0;
    std::vector<LocatedFrequency> located;
    for (const auto& [hz, f] : readings) {
        TransmitterEstimate estimate;
        std::string why;
        if (!locateTransmitter(f.samples, r.method, estimate, why)) {
            err << "zarnlog: " << megahertz(hz) << ": " << why << "\n";
            status = 1;
            continue;
        }
        out << lineOf(hz, estimate);
        std::vector<std::string> warnings = locateWarnings(estimate);
        for (const std::string& w : warnings) err << "zarnlog: " << megahertz(hz) << ": " << w << "\n";
        located.push_back({hz, estimate, &f.readings, std::move(warnings)});
    }
    if (r.output.empty() || located.empty()) return status;
    return writeLayers(r, located, out, err) ? status : 1;
}

}  // namespace zarn
