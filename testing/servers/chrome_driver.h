#pragma once
// ChromeDriver: Debian's chromedriver on a free port of 127.0.0.1, as `nobody` when the
// tests run as root, with a temporary folder that holds the browsers' profiles and the
// pages they may read. BrowserSession (browser_session.h) drives a headless Chromium
// through it.
//
//   static ChromeDriver* driver;                   // SetUpTestSuite: one per suite
//   driver = new ChromeDriver; ASSERT_TRUE(driver->start(error)) << error;
//   std::string url = driver->fileUrl(report);     // a file the browser's user can read
//
// start, stop (its browsers end with it), kill, port, folder and log as every TestServer.
// Link zarn_test_servers.

#include <string>

#include "testing/servers/test_server.h"

namespace zarn::testing {

class ChromeDriver : public TestServer {
public:
    ChromeDriver();

    // A copy of `hostFile` in the folder, which the browser's user can read; its file:// URL.
    std::string fileUrl(const std::string& hostFile) const;
    // A fresh, empty profile folder for one browser.
    std::string newProfile() const;

private:
    bool prepare(std::string&) override { return true; }
    ServerCommand command() const override;
    bool ready() override;
};

}  // namespace zarn::testing
