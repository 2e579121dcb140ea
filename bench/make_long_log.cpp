// make_long_log: writes a long spectrum log to try zarnlog on (full cellular
// sweeps every 2.25 s, the pace of a paced board: about 128 MB a day).
#include <getopt.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "recording/synthetic_log.h"
#include "zarn_version.h"

namespace {

const char* const kUsage =
    "Usage: make_long_log [--days N] OUT.zrn\n"
    "Writes N days (default 1) of full cellular sweeps, one every 2.25 s, as the\n"
    "receiver records them.\n";

}  // namespace

int main(int argc, char** argv) {
    const option options[] = {{"days", required_argument, nullptr, 'd'},
                              {"help", no_argument, nullptr, 'h'},
                              {"version", no_argument, nullptr, 'V'},
                              {nullptr, 0, nullptr, 0}};
    double days = 1;
    for (int c; (c = getopt_long(argc, argv, "d:h", options, nullptr)) != -1;) {
        if (c == 'h') return std::fputs(kUsage, stdout), 0;
        if (c == 'V') return std::printf("make_long_log %s\n", zarn::kZarnVersion), 0;
        char* end = nullptr;
        if (c == 'd') days = std::strtod(optarg, &end);
        if (c != 'd' || *end || !(days > 0 && days <= 366)) return std::fputs(kUsage, stderr), 2;
    }
    if (optind + 1 != argc) return std::fputs(kUsage, stderr), 2;
    const long sweeps = static_cast<long>(days * 86400 / 2.25);
    if (!zarn::writeCellularSweepLog(argv[optind], sweeps, 2250)) {
        std::perror(argv[optind]);
        return 1;
    }
    return 0;
}
