// When a site's tasks fall due, which runs, and the file a site follows them from while the
// database is away.
#include "outputs/archive/site_tasks.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace zarn {
namespace {

SiteTask task(int id, int priority, std::optional<long long> every = {}, std::optional<long long> from = {},
              std::optional<long long> lastStart = {}, std::optional<long long> until = {}) {
    SiteTask t;
    t.id = id;
    t.priority = priority;
    t.every = every;
    t.from = from;
    t.lastStart = lastStart;
    t.until = until;
    t.changedAt = 900;
    return t;
}

TEST(SiteTasks, EachFallsDueAtItsTimeAndTheHighestPriorityDueRuns) {
    const long long now = 1000;
    const struct Case {
        const char* what;
        SiteTask t;
        std::optional<long long> due;
    } cases[] = {
        {"once, since its change", task(1, 0), 900},
        {"once, run since its change", task(1, 0, {}, {}, 950), std::nullopt},
        {"once, run before its change", task(1, 0, {}, {}, 800), 900},
        {"once, later", task(1, 0, {}, 2000), 2000},
        {"every 100 s from 500, not run", task(1, 0, 100, 500), 1000},
        {"every 100 s from 500, run now", task(1, 0, 100, 500, 1000), 1100},
        {"every 60 s, the last occurrence missed", task(1, 0, 60, 0, 800), 960},
        {"past its end", task(1, 0, 100, 500, {}, 1000), std::nullopt},
        {"its next run past its end", task(1, 0, 100, 500, 1000, 1050), std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(dueAt(c.t, now), c.due) << c.what;

    const std::vector<SiteTask> tasks{task(1, 0), task(4, 5), task(3, 5), task(2, 9, {}, 2000)};
    ASSERT_NE(taskToRun(tasks, now), nullptr);
    EXPECT_EQ(taskToRun(tasks, now)->id, 3);  // 9 is not due; of the two fives, the lower number
    EXPECT_EQ(taskToRun({task(1, 0, {}, {}, 950)}, now), nullptr);

    SiteTask t = task(1, 0, 3600);
    EXPECT_EQ(runEnd(t, now), std::nullopt);  // until stopped
    t.runFor = 600;
    EXPECT_EQ(runEnd(t, now), 1600);
    t.until = 1100;
    EXPECT_EQ(runEnd(t, now), 1100);
}

TEST(SiteTasks, TheFileKeepsEveryTaskAsTheDatabaseGaveIt) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("site-tasks-" + std::to_string(getpid()))).string();
    std::vector<SiteTask> kept{task(7, -3, 3600, 100, 200, 5000), task(8, 2)};
    kept[0].runFor = 60;
    kept[0].options = {"--single", "881.52", "--alarm", "A b: 881.52 > -60 for 1", "", "back\\slash\\n"};
    kept[1].options = {"--table", "x.kct"};
    kept[1].table = "name\\1\r\nline two\n\n";
    std::string error;
    ASSERT_TRUE(saveSiteTasks(path, kept, error)) << error;
    std::vector<SiteTask> read;
    ASSERT_TRUE(loadSiteTasks(path, read, error)) << error;
    ASSERT_EQ(read.size(), kept.size());
    for (size_t i = 0; i < kept.size(); ++i) {
        EXPECT_EQ(read[i].id, kept[i].id);
        EXPECT_EQ(read[i].priority, kept[i].priority);
        EXPECT_EQ(read[i].options, kept[i].options);
        EXPECT_EQ(read[i].table, kept[i].table);
        EXPECT_EQ(std::tie(read[i].every, read[i].runFor, read[i].from, read[i].until, read[i].lastStart),
                  std::tie(kept[i].every, kept[i].runFor, kept[i].from, kept[i].until, kept[i].lastStart));
        EXPECT_EQ(read[i].changedAt, kept[i].changedAt);
    }
    std::filesystem::resize_file(path, 30);
    EXPECT_FALSE(loadSiteTasks(path, read, error));
    EXPECT_EQ(read.size(), kept.size());  // a damaged file, half read, is not followed
    std::filesystem::remove(path);
}

TEST(SiteTasks, TheRunsKeptComeBackAsTheyWent) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("site-runs-" + std::to_string(getpid()))).string();
    KeptRuns kept;
    kept.runs = {{3, 100, 160, {}, 0, "refused: --exec a\\b\nc", ""},
                 {4, 200, 260, {}, 0, "interrupted", "e-task-4.zrn"}};
    kept.events = {{150, "task started", "4"}, {160, "task ended", "4 failed (exit 1)"}};
    std::string error;
    ASSERT_TRUE(saveKeptRuns(path, kept, error)) << error;
    KeptRuns read;
    ASSERT_TRUE(loadKeptRuns(path, read, error)) << error;
    ASSERT_EQ(read.runs.size(), 2u);
    ASSERT_EQ(read.events.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(std::tie(read.runs[i].task, read.runs[i].started, read.runs[i].ended, read.runs[i].outcome,
                           read.runs[i].logFile),
                  std::tie(kept.runs[i].task, kept.runs[i].started, kept.runs[i].ended, kept.runs[i].outcome,
                           kept.runs[i].logFile));
        EXPECT_EQ(std::tie(read.events[i].at, read.events[i].kind, read.events[i].detail),
                  std::tie(kept.events[i].at, kept.events[i].kind, kept.events[i].detail));
    }
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace zarn
