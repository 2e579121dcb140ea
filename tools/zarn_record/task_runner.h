#pragma once
// zarn-record --tasks: a site that runs what the archive's tasks for it say.
//
//  - LISTENs on `zarn_tasks` on its own connection; a notification naming its site only
//    wakes it, and it reads zarn.tasks again (as it does after each reconnect, every 5 s
//    while the database is away).
//  - The tasks last read are kept in a file beside the logs (.zarn-tasks-SITE), and
//    followed from it while the database is away, also after a restart.
//  - Of the tasks due, the highest priority runs, one at a time; a run is never cut
//    short by another task, only by its own end, its task stopped or changed, or a signal.
//  - Each run records a log of its own in the folder (SITE-task-N-TIME.zrn) and ships it
//    as --archive does; its task, start, end, survey, records and outcome go to
//    zarn.task_runs. While the database is away, the runs and the task events wait in a
//    file beside the logs (.zarn-runs-SITE), also across a restart; once it is back, each
//    run's log is pushed first (what its own output could not ship goes then, once), then
//    the run is recorded with its survey.
//  - A task's options are checked again here: nothing read from the database runs a
//    program, opens a port or names a place on the site.
//  - The board is brought up once, when the site starts, and kept (board_link.h): each run
//    opens its measurement on it and leaves it idle. Between tasks it is watched; lost
//    and back show in the site's health and as events at the next heartbeat. No port at
//    all: exit 3; a board that does not answer yet is looked for as a board lost.
//  - Between tasks it wakes once a second at most, the board's watch every 4 s.

#include "shell/record_options.h"

namespace zarn {

int runTasks(const RecordOptions& site);

}  // namespace zarn
