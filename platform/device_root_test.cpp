#include "platform/device_root.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

using namespace zarn;

namespace {

class DeviceRoot : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/zarn-root-XXXXXX";
        base_ = mkdtemp(tmpl);
        root_ = base_ + "/device";
        setenv("ZARN_ROOT", root_.c_str(), 1);
        unsetenv("ZARN_CARD");
    }
    void TearDown() override {
        unsetenv("ZARN_ROOT");
        std::string cmd = "rm -rf '" + base_ + "'";
        ASSERT_EQ(system(cmd.c_str()), 0);
    }
    static bool isDir(const std::string& p) {
        struct stat st {};
        return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    std::string base_, root_;
};

}  // namespace

TEST_F(DeviceRoot, FreshRootHasTheStandardFolders) {
    EXPECT_EQ(deviceRoot(), root_);
    for (const char* f : {"My Documents", "Program Files", "Windows/Start Menu", "iPAQ File Store"})
        EXPECT_TRUE(isDir(root_ + "/" + f)) << f;
}

TEST_F(DeviceRoot, MapsBothSeparatorsAndRepeatedOnes) {
    deviceRoot();
    EXPECT_EQ(hostPath("\\opt.zrn"), root_ + "/opt.zrn");
    EXPECT_EQ(hostPath("\\My Documents\\a.kct"), root_ + "/My Documents/a.kct");
    EXPECT_EQ(hostPath("/My Documents//a.kct"), root_ + "/My Documents/a.kct");
    EXPECT_EQ(hostPath("\\\\My Documents\\.\\a.kct"), root_ + "/My Documents/a.kct");
}

TEST_F(DeviceRoot, MatchesNamesWithoutRegardToCaseOnlyWhenNoExactEntry) {
    deviceRoot();
    std::ofstream(root_ + "/My Documents/Table.KCT") << "x";
    EXPECT_EQ(hostPath("\\my documents\\table.kct"), root_ + "/My Documents/Table.KCT");
    std::ofstream(root_ + "/My Documents/table.kct") << "y";
    EXPECT_EQ(hostPath("\\MY DOCUMENTS\\table.kct"), root_ + "/My Documents/table.kct");
    EXPECT_EQ(hostPath("\\My Documents\\new.kct"), root_ + "/My Documents/new.kct");
}

TEST_F(DeviceRoot, RefusesPathsThatLeaveTheRoot) {
    deviceRoot();
    std::ofstream(base_ + "/secret") << "s";
    EXPECT_EQ(hostPath("\\..\\secret"), "");
    EXPECT_EQ(hostPath("\\My Documents\\..\\..\\secret"), "");
    ASSERT_EQ(symlink(base_.c_str(), (root_ + "/out").c_str()), 0);
    EXPECT_EQ(hostPath("\\out\\secret"), "");
    EXPECT_EQ(hostPath("\\OUT"), "");
    ASSERT_EQ(symlink((root_ + "/My Documents").c_str(), (root_ + "/docs").c_str()), 0);
    EXPECT_EQ(hostPath("\\docs\\a"), root_ + "/docs/a");  // a link that stays inside is fine
}

TEST_F(DeviceRoot, StorageCardFollowsZarnCardOrTheRootFolder) {
    deviceRoot();
    mkdir((root_ + "/Storage Card").c_str(), 0755);
    EXPECT_EQ(hostPath("\\Storage Card\\autorun.exe"), root_ + "/Storage Card/autorun.exe");
    const std::string card = base_ + "/card";
    mkdir(card.c_str(), 0755);
    setenv("ZARN_CARD", card.c_str(), 1);
    EXPECT_EQ(hostPath("\\storage card\\files\\zarn"), card + "/files/zarn");
    EXPECT_EQ(hostPath("\\Storage Card\\..\\x"), "");
    unsetenv("ZARN_CARD");
}

TEST_F(DeviceRoot, CreateDirectoryMakesOneLevelOnly) {
    deviceRoot();
    EXPECT_FALSE(createDirectory("\\Program Files\\Zarn\\Sub"));
    EXPECT_TRUE(createDirectory("\\Program Files\\Zarn"));
    EXPECT_TRUE(isDir(root_ + "/Program Files/Zarn"));
    EXPECT_FALSE(createDirectory("\\program files\\zarn"));  // exists already
    EXPECT_TRUE(createDirectory("\\Program Files\\Zarn\\Sub"));
    EXPECT_FALSE(createDirectory("\\..\\escape"));
}
