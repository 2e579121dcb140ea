#include "recording/snapshot_counter.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace zarn {

int readSnapshotCounter(const std::string& hostPath) {
    FILE* f = std::fopen(hostPath.c_str(), "r");
    if (!f) return 1;
    char line[80] = {};
    const bool read = std::fgets(line, sizeof line, f) != nullptr;
    std::fclose(f);
    if (!read) return 0;
    errno = 0;
    const long value = std::strtol(line, nullptr, 10);
    if (value > INT_MAX || (errno == ERANGE && value > 0)) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

bool writeNextSnapshotCounter(const std::string& hostPath, int counter) {
    FILE* f = std::fopen(hostPath.c_str(), "w");
    if (!f) return false;
    const int next = counter == INT_MAX ? INT_MAX : counter + 1;
    const bool ok = std::fprintf(f, "%d\n", next) > 0;
    return std::fclose(f) == 0 && ok;
}

std::string snapshotFileName(int counter) {
    char name[32];
    std::snprintf(name, sizeof name, "zarn%04d.jpg", counter);
    return name;
}

}  // namespace zarn
