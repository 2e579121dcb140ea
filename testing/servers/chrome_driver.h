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
// Link zarn_test_servers.

#include <string>

#include "testing/servers/server_folder.h"
#include "testing/servers/server_process.h"

namespace zarn::testing {

class ChromeDriver {
public:
    ChromeDriver();
    ChromeDriver(const ChromeDriver&) = delete;
    ChromeDriver& operator=(const ChromeDriver&) = delete;

    // False with error (and chromedriver's log) when it is not ready in time.
    bool start(std::string& error);
    // Its browsers end with it.
    void stop() { process_.stop(); }
    void kill() { process_.kill(); }
    bool running() { return process_.running(); }

    int port() const { return port_; }
    const ServerFolder& folder() const { return folder_; }
    std::string log() const { return process_.log(); }

    // A copy of `hostFile` in the folder, which the browser's user can read; its file:// URL.
    std::string fileUrl(const std::string& hostFile) const;
    // A fresh, empty profile folder for one browser.
    std::string newProfile() const;

private:
    ServerUser user_;
    ServerFolder folder_;
    int port_ = 0;
    ServerProcess process_;
};

}  // namespace zarn::testing
