#include "screens/channel_table_load.h"

#include <gtest/gtest.h>

#include "board/board_state.h"
#include "platform/headless/headless_backend.h"
#include "platform/temp_device.h"
#include "platform/ui/window_system.h"

namespace zarn {
namespace {

class LoadChannelTable : public ::testing::Test {
protected:
    void SetUp() override {
        backend.install();
        BoardState& b = boardState();
        b.channelTableCount = 2;
        b.channelTable[0] = {0, 100, -800};
        b.channelTable[1] = {1, 200, -900};
        b.channelTable[2] = {0, 300, -1000};
    }
    void TearDown() override { WindowSystem::get().reset(nullptr); }

    // Types a name into the open dialog and confirms it.
    void choose(const std::string& name) {
        backend.whenIdle([this, name] {
            ASSERT_FALSE(backend.modals().empty());
            EXPECT_EQ(backend.modals().back().kind, "filedialog");
            EXPECT_EQ(backend.modals().back().text, "\\My Documents");
            backend.type(name);
            backend.key(VK_RETURN);
        });
    }
    void expectOldTable() {
        const BoardState& b = boardState();
        EXPECT_EQ(b.channelTableCount, 2);
        EXPECT_EQ(+b.channelTable[0].channel, 100);
        EXPECT_EQ(+b.channelTable[1].channel, 200);
    }

    testing::TempDevice root;
    HeadlessBackend backend;
};

TEST_F(LoadChannelTable, ChosenFileFillsTheTableAndKeepsTheLevels) {
    root.writeBelowRoot("My Documents/survey.kct", "2\r\nSurvey\r\n0,384,Main\r\n1,25,\r\n1,650,\r\n0,-1,\r\n");
    choose("survey");  // the default extension is added
    loadChannelTable(nullptr);
    const BoardState& b = boardState();
    ASSERT_EQ(b.channelTableCount, 3);
    EXPECT_EQ(+b.channelTable[0].band, 0);
    EXPECT_EQ(+b.channelTable[0].channel, 384);
    EXPECT_EQ(+b.channelTable[0].level, -800);
    EXPECT_EQ(+b.channelTable[1].band, 1);
    EXPECT_EQ(+b.channelTable[1].channel, 25);
    EXPECT_EQ(+b.channelTable[2].channel, 650);
    EXPECT_EQ(+b.channelTable[2].level, -1000);
    EXPECT_EQ(+b.channelTable[3].channel, 65535);  // the end line
}

TEST_F(LoadChannelTable, CancelKeepsTheOldTable) {
    root.writeBelowRoot("My Documents/survey.kct", "2\r\nSurvey\r\n0,384,\r\n");
    backend.whenIdle([this] { backend.key(VK_ESCAPE); });
    loadChannelTable(nullptr);
    expectOldTable();
}

TEST_F(LoadChannelTable, AWrongFormatOrAFileThatGivesNoSlotSaysSoAndKeepsTheOldTable) {
    const std::string cases[] = {
        "3\r\nSurvey\r\n0,384,\r\n",                   // format 3
        "2\r\nSurv",                                  // ends in the header
        "2\r\nSurvey\r\n",                             // no channel line
        "2\r\nSurvey\r\n0,38",                         // ends inside the first channel
        "2\r\nSurvey\r\nno commas\r\nat all\r\n",      // lines without commas
        "2\r\nSurvey\r\n0," + std::string(300000, '4'),  // an endless channel field
    };
    for (const std::string& text : cases) {
        root.writeBelowRoot("My Documents/bad.kct", text);
        choose("bad.kct");
        backend.whenIdle([this] {
            EXPECT_EQ(backend.modals().back().kind, "messagebox");
            EXPECT_EQ(backend.modals().back().text, "Invalid Channel Table.");
            backend.key(VK_RETURN);
        });
        loadChannelTable(nullptr);
        expectOldTable();
        EXPECT_EQ(backend.unansweredModals(), 0) << text.substr(0, 30);
    }
}

TEST_F(LoadChannelTable, FileThatDoesNotOpenShowsTheSystemsText) {
    backend.whenIdle([this] {
        ASSERT_FALSE(backend.modals().empty());
        EXPECT_EQ(backend.modals().back().kind, "messagebox");
        EXPECT_EQ(backend.modals().back().caption, "File Open Error");
        EXPECT_EQ(backend.modals().back().text, "No such file or directory");
        backend.key(VK_RETURN);
    });
    EXPECT_FALSE(loadChannelTableFile(nullptr, "\\..\\elsewhere.kct"));
    expectOldTable();

    backend.whenIdle([this] {
        EXPECT_EQ(backend.modals().back().caption, "File Open Error");
        EXPECT_EQ(backend.modals().back().text, "Is a directory");
        backend.key(VK_RETURN);
    });
    EXPECT_FALSE(loadChannelTableFile(nullptr, "\\My Documents"));
    expectOldTable();
}

}  // namespace
}  // namespace zarn
