// zarn-fleet: the network of sites on one page, over the archive.
#include <signal.h>

#include <chrono>
#include <cstdio>

#include "platform/http/live_server.h"
#include "tools/zarn_fleet/fleet_api.h"
#include "tools/zarn_fleet/fleet_archive.h"
#include "tools/zarn_fleet/fleet_options.h"
#include "tools/zarn_fleet/fleet_page.h"
#include "tools/zarn_fleet/fleet_watch.h"

int main(int argc, char** argv) {
    using namespace zarn;
    FleetOptions o;
    if (const auto status = readFleetOptions(argc, argv, o)) return *status;
    std::string page, error;
    if (!fleetPage(o.leaflet, o.tiles, page, error)) {
        std::fprintf(stderr, "zarn-fleet: %s\n", error.c_str());
        return 1;
    }
    {
        ArchiveConnection probe;
        if (!openFleetConnection(probe, o.archive, error)) {
            std::fprintf(stderr, "zarn-fleet: cannot read the archive: %s\n", error.c_str());
            return 1;
        }
    }
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGINT);
    sigaddset(&ending, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &ending, nullptr);

    StreamHub hub;
    FleetArchive archive(o.archive);
    FleetWatch watch(o.archive, hub);
    LiveContent content;
    content.pageSecurity = fleetPageSecurity(page, o.tiles);
    content.page = std::move(page);
    content.metrics = [&] { return watch.metrics(); };
    content.firstEvent = [&](const StreamHub::Counts&) { return streamEvent("sites", watch.sitesEvent()); };
    content.handle = [&](const HttpRequest& r) { return answerFleetApi(archive, r); };
    content.operatorToken = o.operatorToken;
    LiveServer server(o.listenFd, o.token, o.hosts, hub, std::move(content));
    if (!server.start(error)) {
        std::fprintf(stderr, "zarn-fleet: %s\n", error.c_str());
        return 1;
    }
    watch.start();
    std::fprintf(stderr, "zarn-fleet: the page is on http://%s/\n", o.listen.c_str());
    int signal = 0;
    sigwait(&ending, &signal);
    watch.stop();
    server.stop(std::chrono::milliseconds(1000));
    return 0;
}
