#pragma once
// BrowserSession: one headless Chromium through a ChromeDriver's WebDriver, with a fresh
// profile, the console log and the DevTools network log kept, so a test can read what a
// page shows and prove what it fetched.
//
//   BrowserSession browser(*driver);
//   ASSERT_TRUE(browser.open(BrowserOptions::phone(), error)) << error;
//   browser.navigate("http://127.0.0.1:" + port + "/");
//   ASSERT_TRUE(browser.waitUntil("return window.state && window.state.peak > -90", 5s));
//   json peak = browser.execute("return window.state.peak");
//   EXPECT_THAT(browser.requestedUrlsOutside({"http://127.0.0.1:" + port + "/"}), IsEmpty());
//   EXPECT_THAT(browser.consoleErrors(), IsEmpty());
//   browser.screenshot(dir + "/live.png"); browser.printToPdf(dir + "/report.pdf");
//
// A WebDriver call that fails (a script that throws, a page that does not load) throws
// std::runtime_error with the driver's message, which the test reports as its failure.
// Link zarn_test_servers.

#include <chrono>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "testing/servers/chrome_driver.h"

namespace zarn::testing {

struct BrowserOptions {
    int width = 1280, height = 800;  // the page's viewport, in CSS pixels
    bool mobile = false;             // a phone: mobile viewport rules and touch
    std::vector<std::string> extraArgs;

    static BrowserOptions desktop() { return {}; }
    static BrowserOptions phone() {
        BrowserOptions o;
        o.width = 390;
        o.height = 844;
        o.mobile = true;
        return o;
    }
};

struct ConsoleEntry {
    std::string level;  // SEVERE, WARNING, INFO, DEBUG
    std::string source, message;
};

class BrowserSession {
public:
    explicit BrowserSession(ChromeDriver& driver) : driver_(driver) {}
    ~BrowserSession() { close(); }
    BrowserSession(const BrowserSession&) = delete;
    BrowserSession& operator=(const BrowserSession&) = delete;

    // Starts the browser; false with error (and chromedriver's log) when it does not come up.
    bool open(const BrowserOptions& options, std::string& error);
    void close();

    // Loads `url` and returns once its load event has fired. The logs below start again.
    void navigate(const std::string& url);
    std::string title();
    // Runs `script` as a function body in the page (`return ...` gives its value, as JSON).
    nlohmann::json execute(const std::string& script, const nlohmann::json& args = nlohmann::json::array());
    // Polls `script` until it returns something truthy; false when it still has not.
    bool waitUntil(const std::string& script, std::chrono::milliseconds timeout);
    // The page's viewport in CSS pixels, as a phone or a desktop.
    void setViewport(int width, int height, bool mobile);

    // Everything logged since the last navigate(): console calls and failed loads.
    std::vector<ConsoleEntry> consoleLog();
    // The SEVERE ones (console.error, uncaught exceptions, resources that failed), as text.
    std::vector<std::string> consoleErrors();
    // Every Network.* DevTools event since the last navigate() (method and params).
    std::vector<nlohmann::json> networkEvents();
    // Every URL the page asked for since the last navigate(), data: and file: included, in order.
    std::vector<std::string> requestedUrls();
    // Those that start with none of `allowedPrefixes`: what went elsewhere.
    std::vector<std::string> requestedUrlsOutside(const std::vector<std::string>& allowedPrefixes);

    // The viewport as a PNG file.
    void screenshot(const std::string& pngPath);
    // The page printed (A4, backgrounds on, unless `options` says otherwise) into a PDF file.
    void printToPdf(const std::string& pdfPath, const nlohmann::json& options = nlohmann::json::object());
    // The same through DevTools' Page.printToPDF, whose `params` go further: with
    // {"generateDocumentOutline": true} the PDF holds an outline of the page's headings, each
    // with its page and place (pdfOutline below).
    void printToPdfByDevTools(const std::string& pdfPath, const nlohmann::json& params = nlohmann::json::object());

private:
    nlohmann::json command(const std::string& method, const std::string& path, const nlohmann::json& body = nullptr);
    void collectLogs();

    ChromeDriver& driver_;
    std::string session_;
    std::vector<ConsoleEntry> console_;
    std::vector<nlohmann::json> network_;
};

// The pages of a PDF that Chromium wrote (its page objects are not compressed).
int pdfPageCount(const std::string& pdfPath);

// A heading of the PDF's outline: its text (ASCII titles), its page counted from 1, and how far
// below its page's top edge it starts, in points.
struct PdfHeading {
    std::string title;
    int page = 0;
    double fromTop = 0;
};
// The outline of a PDF that Chromium wrote with generateDocumentOutline, in document order.
std::vector<PdfHeading> pdfOutline(const std::string& pdfPath);

}  // namespace zarn::testing
