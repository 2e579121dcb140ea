#pragma once
// FleetArchive: the connection zarn-fleet answers requests on, opened when first needed
// and again after it broke, one request at a time. All requests share one thread, so each
// statement may take 3 s at most and a connection 3 s to come (unless the conninfo says
// otherwise); after a failed attempt to connect the requests are answered at once for 5 s,
// not each held up by an archive that is away.

#include <chrono>
#include <functional>
#include <mutex>
#include <string>

#include "outputs/archive/archive_connection.h"

namespace zarn {

class FleetArchive {
public:
    explicit FleetArchive(std::string conninfo) : conninfo_(std::move(conninfo)) {}

    // `work` on the connection; false with the error when it could not be had or `work` failed,
    // `sqlState` then the server's SQLSTATE ("" for none).
    bool use(const std::function<bool(ArchiveConnection&, std::string&)>& work, std::string& error,
             std::string& sqlState);

private:
    const std::string conninfo_;
    std::mutex mutex_;
    ArchiveConnection db_;
    std::chrono::steady_clock::time_point retryAt_{};
    std::string lastFailure_;
};

// Opened, with the statements' and the connecting's time bounded as above; the schema must
// hold the network (version 4 or later).
bool openFleetConnection(ArchiveConnection& db, const std::string& conninfo, std::string& error);

}  // namespace zarn
