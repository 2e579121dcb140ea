#include "recording/snapshot_counter.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace zarn;
namespace fs = std::filesystem;

namespace {
std::string counterPath() {
    return (fs::temp_directory_path() / ("zarnimg-" + std::to_string(::getpid()) + ".cnt")).string();
}
std::string contents(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
}  // namespace

TEST(SnapshotCounter, FileCasesGiveTheProposedNames) {
    const std::string path = counterPath();
    fs::remove(path);
    EXPECT_EQ(readSnapshotCounter(path), 1);  // missing
    EXPECT_EQ(snapshotFileName(1), "zarn0001.jpg");
    ASSERT_TRUE(writeNextSnapshotCounter(path, 1));
    EXPECT_EQ(contents(path), "2\n");

    const struct { const char* text; int counter; const char* name; } cases[] = {
        {"9999\n", 9999, "zarn9999.jpg"}, {"10000\n", 10000, "zarn10000.jpg"}, {"abc\n", 0, "zarn0000.jpg"},
        {"  42xyz", 42, "zarn0042.jpg"}, {"", 0, "zarn0000.jpg"}, {"99999999999999999999\n", INT_MAX, "zarn2147483647.jpg"},
    };
    for (const auto& c : cases) {
        { std::ofstream(path) << c.text; }
        EXPECT_EQ(readSnapshotCounter(path), c.counter) << c.text;
        EXPECT_EQ(snapshotFileName(c.counter), c.name);
    }
    ASSERT_TRUE(writeNextSnapshotCounter(path, 9999));
    EXPECT_EQ(readSnapshotCounter(path), 10000);
    ASSERT_TRUE(writeNextSnapshotCounter(path, INT_MAX));  // stays at the top
    EXPECT_EQ(readSnapshotCounter(path), INT_MAX);
    fs::remove(path);
    EXPECT_FALSE(writeNextSnapshotCounter("/nonexistent/dir/zarnimg.cnt", 3));
}
