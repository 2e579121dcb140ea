#include "tools/meter/proc_sample.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
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

// The numbers of a status file's lines that begin with one of `keys`, summed.
long long statusSum(const std::string& path, std::initializer_list<const char*> keys) {
    std::ifstream in(path);
    std::string line;
    long long sum = 0;
    while (std::getline(in, line))
        for (const char* key : keys)
            if (line.rfind(key, 0) == 0) sum += std::atoll(line.c_str() + std::strlen(key));
    return sum;
}

long statusKb(const std::string& path, const char* key) { return static_cast<long>(statusSum(path, {key})); }

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
        if (!readStat(task.path().string() + "/stat", t.name, t.cpuSeconds)) continue;
        t.tid = static_cast<pid_t>(std::atol(task.path().filename().c_str()));
        t.switches = static_cast<unsigned long long>(
            statusSum(task.path().string() + "/status", {"voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:"}));
        s.threads.push_back(t);
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
