#include "tools/zarnlog/archive/push_command.h"

#include <optional>

#include "outputs/archive/archive_schema.h"
#include "outputs/archive/log_pusher.h"
#include "recording/log_reader.h"
#include "survey/json_writer.h"
#include "tools/zarnlog/track_choice.h"

namespace zarn {
namespace {

// A track named with --track must place at least one record of the log, or it is the wrong one.
bool placesAny(const std::string& file, const TrackJoin& join, std::ostream& err) {
    LogReader reader;
    LogHeader header;
    if (!reader.open(file) || !reader.readHeader(header)) return true;  // the pusher says what is wrong
    PlacingCounts counts;
    forEachRecord(reader, [&](const LogRecord& r) {
        Place p;
        return join.place(r.time, p, counts) != Placing::Placed;
    });
    if (counts.placed || counts.notPlaced() == 0) return true;
    err << "zarnlog: " << file << ": " << join.nothingPlaced(counts) << "; nothing pushed\n";
    return false;
}

// Connected, with the schema there: made or upgraded on first use.
bool ready(ArchiveConnection& db, const ArchiveCommand& c, bool& schemaReady, std::ostream& err) {
    if (!db.isOpen() && !connectArchive(db, c, err)) return false;
    int before = 0;
    std::string error;
    if (!schemaReady && !prepareSchema(db, before, error)) {
        err << "zarnlog: " << db.target() << ": " << error << "\n";
        return false;
    }
    return schemaReady = true;
}

bool pushOne(ArchiveConnection& db, const ArchiveCommand& c, const std::string& file, bool& schemaReady,
             std::ostream& err) {
    LogPusher pusher(db, file, c.site, c.siteGiven);
    std::string error;
    if (!pusher.identify(error)) {
        err << "zarnlog: " << file << ": " << error << "\n";
        return false;
    }
    if (!pusher.identified()) {
        err << "zarnlog: " << file << ": no record yet: nothing to push\n";
        return true;
    }
    const TrackChoice track = chooseTrack(file, c.track, c.utcOffset, false, err);
    if (track.failed || (track.join && track.given && !placesAny(file, *track.join, err))) return false;
    NoPlaces none;
    std::optional<TrackPlaces> placed;
    if (track.join) placed.emplace(*track.join);
    if (!ready(db, c, schemaReady, err)) return false;
    PushProgress progress;
    const bool pushed = pusher.push(placed ? static_cast<RecordPlaces&>(*placed) : none, progress, error);
    for (const std::string& notice : progress.notices) err << "zarnlog: " << file << ": " << notice << "\n";
    if (!pushed) {
        err << "zarnlog: " << file << ": " << error;
        if (progress.added)
            err << "; the " << progress.added << " records stored before stay, and a push again goes on";
        err << "\n";
        return false;
    }
    LogPusher::Totals t;
    if (!pusher.totals(t, error)) {
        err << "zarnlog: " << file << ": " << error << "\n";
        return false;
    }
    err << "zarnlog: pushed " << progress.stored << " records (" << progress.added << " new";
    if (progress.filled) err << ", " << progress.filled << " of them into gaps";
    err << ") of " << file << " to " << db.target() << "; " << t.notPlaced << " not placed; " << t.damaged
        << " damaged stretches; the archive lacks "
        << (t.damaged ? "the records in them, which a push of an intact copy adds" : "none of its records") << "\n";
    if (progress.cutShort)
        err << "zarnlog: " << file << " ends in a record cut short (still being written?); a later push takes it\n";
    return true;
}

}  // namespace

int pushLogs(ArchiveCommand& c, std::ostream& err) {
    if (!c.siteGiven) c.site = defaultSite(c.siteGiven);
    if (validUtf8(c.site) != c.site) {
        err << "zarnlog: the site " << quotedText(validUtf8(c.site))
            << " (ZARN_SITE or the host's name) is not valid UTF-8\n";
        return 1;
    }
    ArchiveConnection db;
    bool schemaReady = false;
    if (!connectArchive(db, c, err)) return 1;
    int status = 0;
    for (const std::string& file : c.files)
        if (!pushOne(db, c, file, schemaReady, err)) status = 1;
    return status;
}

}  // namespace zarn
