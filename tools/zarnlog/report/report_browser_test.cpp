// The report in headless Chromium: it loads without a console error and asks
// for nothing but itself, its pointer readout works, and printed to PDF on A4
// each of its seven sections starts at the top of a page of its own. With
// ZARN_KEEP_REPORT=DIR the desktop screenshot of the example drive's report
// is kept there as report.png (docs/report.md shows it).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "testing/servers/browser_session.h"
#include "tools/zarnlog/report/report_test_survey.h"

namespace zarn {
namespace {

using namespace std::chrono_literals;
using namespace testing::survey;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The drive again, with channel tables, sweeps, best servers and notes in turn, so that every
// section has something to show.
std::string writeEveryKind(const testing::TempFolder& dir, const Survey& drive) {
    const std::string path = dir.file("kinds.zrn");
    SyntheticLog log(path, 50000);
    for (int s = 0; s < kSeconds; ++s) {
        if (s % 30 == 5) log.note("Marker #" + std::to_string(s / 30));
        const auto level = static_cast<int16_t>(std::lround(cellularDbm(s) * 16));
        switch (s % 3) {
        case 0: log.table({{0, 384, level}, {0, 391, static_cast<int16_t>(level - 32)}, {1, 649, kPcsLevel}}); break;
        case 1: log.sweep(0, 400, 40, [&](uint16_t o) { return int16_t(o == 417 ? level : -1700 - 8 * (o % 5)); }); break;
        case 2: log.bestServers(0, {{417, static_cast<int16_t>(level / 16)}, {424, -88}, {431, -90}, {438, -91}}); break;
        }
    }
    EXPECT_TRUE(log.ok());
    std::filesystem::copy_file(drive.track, dir.file("kinds.gpx"));
    return path;
}

std::string made(const std::vector<std::string>& args) {
    const auto run = testing::zarnlog(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return args.back();
}

// Loads a report and checks what every report must: its title, no console error, no request but itself.
void open(testing::BrowserSession& browser, testing::ChromeDriver& driver, const std::string& report,
          const std::string& title) {
    const std::string url = driver.fileUrl(report);
    browser.navigate(url);
    EXPECT_EQ(browser.title(), title);
    ASSERT_TRUE(browser.waitUntil("return document.readyState === 'complete'", 10s));
    EXPECT_THAT(browser.consoleErrors(), IsEmpty());
    EXPECT_THAT(browser.requestedUrls(), ElementsAre(url));
}

TEST(ZarnlogReportBrowser, TheReportLoadsAloneReadsOutAndPrintsEachSectionOnItsOwnPages) {
    testing::TempFolder dir;
    const Survey drive = writeDrive(dir, "drive");
    const std::string report = made({"report", drive.log, writeEveryKind(dir, drive), "--title", "Every section",
                                     "-o", dir.file("every.html")});
    const std::string example = std::string(ZARN_SOURCE_DIR) + "/docs/report-drive.zrn";
    const std::string exampleReport =
        made({"report", example, "--title", "A three-minute drive against the simulator", "-o", dir.file("drive.html")});

    testing::ChromeDriver driver;
    std::string error;
    ASSERT_TRUE(driver.start(error)) << error;
    testing::BrowserSession browser(driver);
    ASSERT_TRUE(browser.open(testing::BrowserOptions::desktop(), error)) << error;

    open(browser, driver, report, "Every section");
    // The pointer over the first chart over time reads out its time and values.
    const auto readout = browser.execute(R"(
        const chart = document.querySelector('svg[data-readout]');
        const box = chart.getBoundingClientRect();
        chart.dispatchEvent(new MouseEvent('mousemove', {clientX: box.left + box.width / 2, clientY: box.top + 20, bubbles: true}));
        return document.querySelector('.readout').textContent;)");
    EXPECT_THAT(readout.get<std::string>(), ::testing::MatchesRegex("2004-07-09 14:0[0-9]:[0-9][0-9]\n.* km/h"));

    const std::string pdf = dir.file("every.pdf");
    browser.printToPdfByDevTools(pdf, {{"generateDocumentOutline", true}});
    const std::vector<testing::PdfHeading> outline = testing::pdfOutline(pdf);
    const char* const sections[] = {"1. Summary",        "2. Per channel", "3. Coverage grid", "4. Best-server dominance",
                                    "5. Spectrum",       "6. The drive's checks", "7. Where the signals come from"};
    int lastPage = 0;
    for (const char* section : sections) {
        SCOPED_TRACE(section);
        const auto heading = std::find_if(outline.begin(), outline.end(),
                                          [&](const testing::PdfHeading& h) { return h.title == section; });
        ASSERT_NE(heading, outline.end());
        EXPECT_GT(heading->page, lastPage) << "on a page after the section before";
        // A4 with 14 mm margins: a section's heading at the top of its page; the first under the title.
        EXPECT_LT(heading->fromTop, lastPage ? 60 : 140);
        lastPage = heading->page;
    }
    EXPECT_GE(testing::pdfPageCount(pdf), lastPage);

    open(browser, driver, exampleReport, "A three-minute drive against the simulator");
    browser.screenshot(dir.file("report.png"));
    if (const char* keep = getenv("ZARN_KEEP_REPORT"))
        std::filesystem::copy_file(dir.file("report.png"), std::string(keep) + "/report.png",
                                   std::filesystem::copy_options::overwrite_existing);
}

}  // namespace
}  // namespace zarn
