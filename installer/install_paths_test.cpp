#include "installer/install_paths.h"

#include <gtest/gtest.h>

namespace zarn {
namespace {

TEST(InstallPathsTest, CardFolderDropsTheAutoRunProgramsName) {
    struct Case {
        std::string autoRun;
        bool ok;
        std::string folder;
    } cases[] = {
        {"\\Storage Card\\autorun.exe", true, "\\Storage Card\\"},
        {"\\SD Card\\2577\\autorun.exe", true, "\\SD Card\\2577\\"},
        {"autorun.exe", true, ""},
        {"utorun.exe", false, ""},
        {"", false, ""},
        {std::string(259, 'a'), true, std::string(248, 'a')},
        {std::string(260, 'a'), false, ""},
    };
    for (const Case& c : cases) {
        std::string folder = "stale";
        EXPECT_EQ(cardFolderOf(c.autoRun, folder), c.ok) << c.autoRun;
        EXPECT_EQ(folder, c.folder) << c.autoRun;
    }
}

TEST(InstallPathsTest, EachProductHasItsPlaces) {
    struct Case {
        const Product& product;
        const char* source;
        const char* installed;
        const char* store;
        const char* shortcut;
        const char* target;
    } cases[] = {
        {kZarnController, "\\Storage Card\\\\files\\zarn\\zarn.exe", "\\Program Files\\ZarnController\\zarn.exe",
         "\\iPAQ File Store\\ZarnController\\zarn.exe", "\\Windows\\Start Menu\\ZarnController.lnk",
         "\"\\Program Files\\ZarnController\\zarn.exe\""},
        {kBraxmoor, "\\Storage Card\\\\files\\braxmoor\\brxm.exe", "\\Program Files\\Braxmoor\\brxm.exe",
         "\\iPAQ File Store\\Braxmoor\\brxm.exe", "\\Windows\\Start Menu\\Braxmoor.lnk",
         "\"\\Program Files\\Braxmoor\\brxm.exe\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.product.name);
        // The card folder keeps its trailing backslash, so the source holds two in a row.
        EXPECT_EQ(sourceFile("\\Storage Card\\", c.product), c.source);
        EXPECT_EQ(installedFile(c.product), c.installed);
        EXPECT_EQ(programFolder(c.product) + "\\" + c.product.executable, c.installed);
        EXPECT_EQ(storeCopy(c.product), c.store);
        EXPECT_EQ(shortcutFile(c.product), c.shortcut);
        EXPECT_EQ(shortcutTarget(c.product), c.target);
    }
}

}  // namespace
}  // namespace zarn
