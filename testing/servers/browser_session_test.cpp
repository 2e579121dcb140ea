// The Chromium fixture: a local page in headless Chromium, read through its script, its
// console and its network log, sized as a phone, shot and printed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "testing/servers/browser_session.h"

namespace zarn::testing {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

const char* const kPage = R"(<!doctype html>
<title>Zarn smoke</title>
<meta name="viewport" content="width=device-width">
<p style="page-break-after: always">one</p>
<p>two</p>
<img src="http://zarn.invalid/pixel.png">
<script>
  console.error("boom");
  setTimeout(() => { window.ready = { width: innerWidth }; }, 100);
</script>
)";

unsigned pngWidth(const std::string& png) {
    if (png.size() < 24 || png.compare(1, 3, "PNG") != 0) return 0;
    unsigned width = 0;
    for (int i = 16; i < 20; ++i) width = width << 8 | static_cast<unsigned char>(png[i]);
    return width;
}

TEST(BrowserSessionTest, ALocalPageIsReadLoggedShotAndPrinted) {
    ChromeDriver driver;
    std::string error;
    ASSERT_TRUE(driver.start(error)) << error;
    BrowserSession browser(driver);
    ASSERT_TRUE(browser.open(BrowserOptions::phone(), error)) << error;

    ServerFolder mine("zarn-page", ServerUser{});
    const std::string url = driver.fileUrl(mine.write("smoke page.html", kPage));
    browser.navigate(url);
    EXPECT_EQ(browser.title(), "Zarn smoke");
    ASSERT_TRUE(browser.waitUntil("return window.ready", 5s));
    EXPECT_EQ(browser.execute("return window.ready"), nlohmann::json({{"width", 390}}));
    EXPECT_FALSE(browser.waitUntil("return window.never", 100ms));

    const auto errors = browser.consoleErrors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_THAT(errors, ::testing::Contains(HasSubstr("\"boom\"")));
    EXPECT_THAT(browser.requestedUrls(), ::testing::Contains(url));
    EXPECT_THAT(browser.requestedUrlsOutside({"file://"}), ElementsAre("http://zarn.invalid/pixel.png"));

    browser.screenshot(mine.file("phone.png"));
    EXPECT_EQ(pngWidth(mine.read("phone.png")), 390u);
    browser.printToPdf(mine.file("smoke.pdf"));
    EXPECT_EQ(pdfPageCount(mine.file("smoke.pdf")), 2);
    EXPECT_THROW(browser.execute("throw new Error('bad script')"), std::runtime_error);
}

}  // namespace
}  // namespace zarn::testing
