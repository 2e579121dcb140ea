#include "tools/meter/proc_sample.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace zarn::meter {

namespace {

double ticksPerSecond() { return static_cast<double>(sysconf(_SC_CLK_TCK)); }

// utime + stime of a stat file; the name sits in parentheses and may hold spaces.
bool readStat(const std::string& path, std::string& name, double& cpuSeconds) {
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    const size_t open = text.find('('), close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos) return false;
    name = text.substr(open + 1, close - open - 1);
    std::istringstream rest(text.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14) utime = std::stoull(field);
        if (i == 15) stime = std::stoull(field);
    }
    cpuSeconds = static_cast<double>(utime + stime) / ticksPerSecond();
    return true;
}

long statusKb(const std::string& path, const std::string& key) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + key.size());
    return 0;
}

}  // namespace

ProcessSample sampleProcess(pid_t pid) {
    ProcessSample s;
    const std::string dir = "/proc/" + std::to_string(pid);
    std::string name;
    if (!readStat(dir + "/stat", name, s.cpuSeconds)) return s;
    s.residentKb = statusKb(dir + "/status", "VmRSS:");
    s.peakResidentKb = statusKb(dir + "/status", "VmHWM:");
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator(dir + "/task", ec)) {
        ThreadTime t;
        if (readStat(task.path().string() + "/stat", t.name, t.cpuSeconds)) s.threads.push_back(t);
    }
    s.ok = true;
    return s;
}

MachineSample sampleMachine() {
    MachineSample m;
    std::ifstream stat("/proc/stat");
    std::string cpu;
    unsigned long long v[8] = {};
    if (!(stat >> cpu) || cpu != "cpu") return m;
    for (auto& x : v) stat >> x;
    const unsigned long long idle = v[3] + v[4];
    unsigned long long total = 0;
    for (auto x : v) total += x;
    m.busySeconds = static_cast<double>(total - idle) / ticksPerSecond();
    m.totalSeconds = static_cast<double>(total) / ticksPerSecond();
    std::ifstream("/proc/loadavg") >> m.load1;
    m.cores = static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN));
    m.ok = true;
    return m;
}

}  // namespace zarn::meter
