#pragma once
// What /proc says about a process and about the machine, for the measuring tool.
//
//  - sampleProcess(pid): processor time of the whole process (every thread, user and
//    system), its resident size, and each thread's processor time and context switches
//    (voluntary and involuntary: each is the thread taken off the processor, and but for
//    the few a busy machine forces, a sleep that ended in a wake-up).
//  - sampleMachine(): busy and total processor time of the whole machine, every core,
//    and the one-minute load average.
// Times are in seconds; a sample that cannot be read has ok = false.

#include <sys/types.h>

#include <string>
#include <vector>

namespace zarn::meter {

struct ThreadTime {
    std::string name;
    pid_t tid = 0;
    double cpuSeconds = 0;
    unsigned long long switches = 0;
};

struct ProcessSample {
    bool ok = false;
    double cpuSeconds = 0;
    long residentKb = 0;
    long peakResidentKb = 0;
    std::vector<ThreadTime> threads;
};

struct MachineSample {
    bool ok = false;
    double busySeconds = 0;
    double totalSeconds = 0;
    double load1 = 0;
    int cores = 1;
};

ProcessSample sampleProcess(pid_t pid);
MachineSample sampleMachine();

}  // namespace zarn::meter
