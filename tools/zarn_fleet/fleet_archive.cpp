#include "tools/zarn_fleet/fleet_archive.h"

#include "outputs/archive/archive_schema.h"

namespace zarn {
namespace {

using namespace std::chrono_literals;

constexpr int kConnectSeconds = 3;
constexpr const char* kStatementMilliseconds = "3000";
constexpr auto kRetryAfter = 5s;

}  // namespace

bool openFleetConnection(ArchiveConnection& db, const std::string& conninfo, std::string& error) {
    db.connectWithin(kConnectSeconds);
    if (!db.open(conninfo, "zarn-fleet", error)) return false;
    SchemaState state;
    if (!readSchemaState(db, state, error) ||
        !db.exec("SELECT set_config('statement_timeout', $1, false)", {kStatementMilliseconds}, nullptr, error)) {
        db.close();
        return false;
    }
    error = schemaProblem(state);
    if (error.empty() && state.version < kArchiveSchemaVersion)
        error = "the schema zarn is at version " + std::to_string(state.version) + "; zarnlog db init brings it to " +
                std::to_string(kArchiveSchemaVersion);
    if (error.empty()) return true;
    db.close();
    return false;
}

bool FleetArchive::use(const std::function<bool(ArchiveConnection&, std::string&)>& work, std::string& error,
                       std::string& sqlState) {
    std::lock_guard lock(mutex_);
    sqlState.clear();
    if (!db_.isOpen() && std::chrono::steady_clock::now() < retryAt_) {
        error = lastFailure_;
        return false;
    }
    if (!db_.isOpen() && !openFleetConnection(db_, conninfo_, error)) {
        // From the attempt's end: an attempt that waited its whole time is not made again at once.
        retryAt_ = std::chrono::steady_clock::now() + kRetryAfter;
        lastFailure_ = error;
        return false;
    }
    if (work(db_, error)) return true;
    // A connection lost on the way is the archive away, whatever the server said as it went.
    if (db_.isOpen()) sqlState = db_.sqlState();
    return false;
}

}  // namespace zarn
