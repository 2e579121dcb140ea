// The zarnlog program itself, run by a shell: paths that are no log file, and
// storage that fills up under the CSV export.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "recording/synthetic_log.h"
#include "testing/run_command.h"

namespace fs = std::filesystem;

namespace {

using zarn::testing::CommandRun;
using zarn::testing::runCommand;

struct Folder {
    Folder() : path(fs::temp_directory_path() / ("zarnlog-program-" + std::to_string(getpid()))) {
        fs::create_directories(path);
    }
    ~Folder() { fs::remove_all(path); }
    std::string file(const std::string& name) const { return (path / name).string(); }
    fs::path path;
};

const std::string kZarnlog = ZARNLOG_PATH;

}  // namespace

// Each gives a message and status 1, at once: a FIFO is not waited on, /dev/zero not read.
TEST(ZarnlogProgram, PathsThatAreNoFileAreRefusedWithoutReadingThem) {
    Folder dir;
    ASSERT_EQ(mkfifo(dir.file("fifo.zrn").c_str(), 0600), 0);
    fs::create_directory(dir.file("folder.zrn"));
    const struct { std::string path, says; } cases[] = {
        {dir.file("folder.zrn") + "/", "Is a directory"},
        {"/dev/zero", "not a regular file (a character device)"},
        {dir.file("fifo.zrn"), "not a regular file (a FIFO)"},
    };
    for (const auto& c : cases)
        for (const std::string& verb : {std::string("info"), "csv -o " + dir.file("csv"), "plot -o " + dir.file("o.png")}) {
            const CommandRun r = runCommand("timeout 10 " + kZarnlog + " " + verb + " " + c.path);
            EXPECT_EQ(r.status, 1) << verb << " " << c.path << ": " << r.output;
            EXPECT_EQ(r.output, "zarnlog: " + c.path + ": " + c.says + "\n") << verb;
        }
}

// A CSV export that fills the storage names the file and the system's reason
// and leaves no file behind, finished or not. On a small tmpfs of our own when
// the system lets us mount one, else under a file size limit.
TEST(ZarnlogProgram, FullStorageFailsTheExportAndRemovesItsFiles) {
    Folder dir;
    const std::string log = dir.file("survey.zrn"), out = dir.file("out");
    ASSERT_TRUE(zarn::writeCellularSweepLog(log, 60, 2000));  // about 420 KB of CSV
    fs::create_directory(out);
    const std::string export_ = kZarnlog + " csv " + log + " -o " + out + "; echo status=$?; echo files:; ls -A " + out;
    CommandRun r = runCommand("unshare --user --map-root-user --mount sh -c 'mount -t tmpfs -o size=128k tmpfs " + out +
                  " && { " + export_ + "; }'");
    std::string reason = "No space left on device";
    if (r.output.find("status=") == std::string::npos) {
        reason = "File too large";
        r = runCommand("prlimit --fsize=131072 " + export_);
    }
    EXPECT_NE(r.output.find("status=1\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("zarnlog: cannot write " + out + "/survey-spectrum.csv: " + reason + "\n"), std::string::npos)
        << r.output;
    EXPECT_TRUE(r.output.ends_with("files:\n")) << r.output;
    EXPECT_EQ(r.output.find(".csv\n"), std::string::npos) << "no file is named as written: " << r.output;
}
