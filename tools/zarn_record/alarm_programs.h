#pragma once
// AlarmPrograms: zarn-record --on-alarm PROGRAM, run at each raise and clear.
//
//  - PROGRAM is run straight (posix_spawn, never a shell), without arguments,
//    with only PATH, HOME, USER, LOGNAME, LANG, LANGUAGE, LC_* and TZ of
//    zarn-record's environment (PATH /usr/local/bin:/usr/bin:/bin when it has
//    none; never a secret such as PGPASSWORD or the broker's URL) and
//      ZARN_ALARM_NAME   the rule's name       ZARN_ALARM_STATE  ON or OFF
//      ZARN_ALARM_MHZ    where the level was   ZARN_ALARM_DBM    the level
//      ZARN_ALARM_TIME   the record's stamp    ZARN_ALARM_RULE   the rule, written out
//    its standard input /dev/null, its output on zarn-record's standard error
//    (the journal; never into a --csv - stream), no other descriptor, and a
//    process group of its own.
//  - At most one run per rule at a time: a change while one runs waits for it
//    (up to 16 a rule; older ones are dropped and said).
//  - A run still going after the limit is sent SIGTERM, its group SIGKILL 2 s
//    later. A run that fails (cannot start, ends with a status, is killed) is
//    said on stderr.
//  - Nothing here waits: poll() (from the program's loop, often while
//    running()) reaps, kills and starts. finish(deadline): the runs under way may end until the deadline,
//    then are killed; changes still waiting are dropped, and said.

#include <sys/types.h>

#include <chrono>
#include <deque>
#include <string>
#include <vector>

#include "survey/alarm_rules.h"

namespace zarn {

class AlarmPrograms {
public:
    using Clock = std::chrono::steady_clock;
    AlarmPrograms(std::string program, double limitSeconds, size_t rules);
    ~AlarmPrograms();
    AlarmPrograms(const AlarmPrograms&) = delete;
    AlarmPrograms& operator=(const AlarmPrograms&) = delete;

    // The rule's state just after its change.
    void changed(size_t rule, const AlarmRule& written, const AlarmState& state);
    void poll();
    // A run is under way: poll() has work soon (its end, its limit).
    bool running() const;
    void finish(Clock::time_point deadline);

private:
    struct Run {
        pid_t pid = -1;
        std::string what;  // "hot ON", for messages
        Clock::time_point started{};
        bool terminated = false;
        std::deque<std::vector<std::string>> waiting;  // the environment of each change to come
        std::deque<std::string> waitingWhat;
    };
    void start(Run& run);
    void reap(Run& run, bool wait);

    std::string program_;
    std::chrono::milliseconds limit_;
    std::vector<Run> runs_;
};

}  // namespace zarn
