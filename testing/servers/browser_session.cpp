#include "testing/servers/browser_session.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "testing/servers/http_json.h"
#include "testing/servers/wait_until.h"

namespace zarn::testing {
namespace {

using nlohmann::json;

std::string base64Decoded(const std::string& text) {
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        const size_t value = alphabet.find(c);
        if (value == std::string::npos) continue;  // padding and line breaks
        bits = (bits << 6) | static_cast<unsigned>(value);
        if ((count += 6) >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xff);
        }
    }
    return out;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path);
}

const json kChromiumArgs = {"--headless",
                            "--no-sandbox",
                            "--disable-gpu",
                            "--disable-quic",
                            "--no-first-run",
                            "--disable-background-networking",
                            "--disable-component-update",
                            "--disable-sync",
                            "--disable-dev-shm-usage",
                            "--disable-crash-reporter"};

}  // namespace

bool BrowserSession::open(const BrowserOptions& options, std::string& error) {
    close();
    json args = kChromiumArgs;
    args.push_back("--user-data-dir=" + driver_.newProfile());
    args.push_back("--window-size=" + std::to_string(options.width) + "," + std::to_string(options.height));
    for (const auto& a : options.extraArgs) args.push_back(a);
    const json capabilities = {
        {"capabilities",
         {{"alwaysMatch",
           {{"browserName", "chrome"},
            {"goog:chromeOptions", {{"args", args}, {"perfLoggingPrefs", {{"enableNetwork", true}, {"enablePage", false}}}}},
            {"goog:loggingPrefs", {{"browser", "ALL"}, {"performance", "ALL"}}},
            {"timeouts", {{"pageLoad", 30000}, {"script", 30000}}}}}}}};
    const JsonReply reply = httpJson(driver_.port(), "POST", "/session", capabilities);
    const json id = jsonAt(reply.body, "/value/sessionId");
    if (reply.status != 200 || !id.is_string()) {
        error = "no browser session: " + (reply.status ? reply.body.dump() : reply.error) + "\nchromedriver's log:\n" +
                driver_.log();
        return false;
    }
    session_ = id;
    console_.clear();
    network_.clear();
    try {
        setViewport(options.width, options.height, options.mobile);
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
    return true;
}

void BrowserSession::close() {
    if (session_.empty()) return;
    httpJson(driver_.port(), "DELETE", "/session/" + session_, nullptr, std::chrono::seconds(20));
    session_.clear();
}

json BrowserSession::command(const std::string& method, const std::string& path, const json& body) {
    if (session_.empty()) throw std::runtime_error("no browser session is open");
    const JsonReply reply = httpJson(driver_.port(), method, "/session/" + session_ + path, body);
    const json value = jsonAt(reply.body, "/value");
    if (reply.status == 200) return value;
    std::string what = method + " " + path + ": ";
    if (!reply.status) throw std::runtime_error(what + reply.error);
    if (value.is_object()) what += value.value("error", "") + ": " + value.value("message", "");
    throw std::runtime_error(what + " (HTTP " + std::to_string(reply.status) + ")");
}

void BrowserSession::navigate(const std::string& url) {
    collectLogs();
    console_.clear();
    network_.clear();
    command("POST", "/url", {{"url", url}});
}

std::string BrowserSession::title() { return command("GET", "/title").get<std::string>(); }

json BrowserSession::execute(const std::string& script, const json& args) {
    return command("POST", "/execute/sync", {{"script", script}, {"args", args}});
}

bool BrowserSession::waitUntil(const std::string& script, std::chrono::milliseconds timeout) {
    // JavaScript's own idea of truthy, and a script that throws (the page not there yet) is not.
    const std::string truthy = "try { return !!(function () {" + script + "\n}).apply(this, arguments); }"
                               " catch (e) { return false; }";
    // A page between two documents may refuse a script for a moment.
    const auto holds = [&] {
        try {
            return execute(truthy) == true;
        } catch (const std::runtime_error&) {
            return false;
        }
    };
    return zarn::testing::waitUntil(holds, timeout, std::chrono::milliseconds(50));
}

void BrowserSession::setViewport(int width, int height, bool mobile) {
    const auto cdp = [&](const char* name, const json& params) {
        command("POST", "/goog/cdp/execute", {{"cmd", name}, {"params", params}});
    };
    cdp("Emulation.setDeviceMetricsOverride",
        {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", mobile}});
    cdp("Emulation.setTouchEmulationEnabled", {{"enabled", mobile}});
}

// The driver hands each log entry out once; the session keeps them.
void BrowserSession::collectLogs() {
    for (const json& e : command("POST", "/se/log", {{"type", "browser"}}))
        console_.push_back({e.value("level", ""), e.value("source", ""), e.value("message", "")});
    for (const json& e : command("POST", "/se/log", {{"type", "performance"}})) {
        const json message = json::parse(e.value("message", ""), nullptr, false);
        if (message.is_discarded() || !message.contains("message")) continue;
        const json& event = message["message"];
        if (event.value("method", "").rfind("Network.", 0) == 0) network_.push_back(event);
    }
}

std::vector<ConsoleEntry> BrowserSession::consoleLog() {
    collectLogs();
    return console_;
}

std::vector<std::string> BrowserSession::consoleErrors() {
    std::vector<std::string> out;
    for (const auto& e : consoleLog())
        if (e.level == "SEVERE") out.push_back(e.source + ": " + e.message);
    return out;
}

std::vector<json> BrowserSession::networkEvents() {
    collectLogs();
    return network_;
}

std::vector<std::string> BrowserSession::requestedUrls() {
    std::vector<std::string> out;
    for (const json& e : networkEvents())
        if (e.value("method", "") == "Network.requestWillBeSent")
            out.push_back(jsonAt(e, "/params/request/url").get<std::string>());
    return out;
}

std::vector<std::string> BrowserSession::requestedUrlsOutside(const std::vector<std::string>& allowedPrefixes) {
    std::vector<std::string> out;
    for (const auto& url : requestedUrls()) {
        bool allowed = false;
        for (const auto& prefix : allowedPrefixes) allowed = allowed || url.rfind(prefix, 0) == 0;
        if (!allowed) out.push_back(url);
    }
    return out;
}

void BrowserSession::screenshot(const std::string& pngPath) {
    writeFile(pngPath, base64Decoded(command("GET", "/screenshot").get<std::string>()));
}

void BrowserSession::printToPdf(const std::string& pdfPath, const json& options) {
    json body = {{"background", true}, {"page", {{"width", 21.0}, {"height", 29.7}}}};  // A4, in cm
    body.merge_patch(options);
    writeFile(pdfPath, base64Decoded(command("POST", "/print", body).get<std::string>()));
}

void BrowserSession::printToPdfByDevTools(const std::string& pdfPath, const json& params) {
    json body = {{"printBackground", true}, {"paperWidth", 21.0 / 2.54}, {"paperHeight", 29.7 / 2.54}};  // inches
    body.merge_patch(params);
    const json reply = command("POST", "/goog/cdp/execute", {{"cmd", "Page.printToPDF"}, {"params", body}});
    writeFile(pdfPath, base64Decoded(reply.value("data", "")));
}

namespace {

// "12 0 obj ... endobj": every object's text by its number (Chromium writes them uncompressed).
std::map<int, std::string> pdfObjects(const std::string& pdf) {
    std::map<int, std::string> objects;
    for (size_t at = pdf.find(" 0 obj"); at != std::string::npos; at = pdf.find(" 0 obj", at + 1)) {
        size_t digits = at;
        while (digits > 0 && std::isdigit(static_cast<unsigned char>(pdf[digits - 1]))) --digits;
        const size_t end = pdf.find("endobj", at);
        if (digits == at || end == std::string::npos) continue;
        objects[std::stoi(pdf.substr(digits, at - digits))] = pdf.substr(at + 6, end - at - 6);
    }
    return objects;
}

// The numbers of the "N 0 R" references after `key` in an object, up to the next closing bracket.
std::vector<int> references(const std::string& object, const std::string& key) {
    std::vector<int> out;
    const size_t at = object.find(key);
    if (at == std::string::npos) return out;
    std::istringstream in(object.substr(at + key.size(), object.find(']', at) - at - key.size()));
    std::vector<std::string> tokens{std::istream_iterator<std::string>(in), {}};
    const auto number = [](const std::string& t) {
        return !t.empty() && std::all_of(t.begin(), t.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    };
    for (size_t i = 0; i + 2 < tokens.size(); ++i)
        if (number(tokens[i]) && tokens[i + 1] == "0" && tokens[i + 2].rfind("R", 0) == 0) {
            out.push_back(std::stoi(tokens[i]));
            i += 2;
        }
    return out;
}

// The page objects in order, from the page tree's root down.
void pagesInOrder(const std::map<int, std::string>& objects, int node, std::vector<int>& pages) {
    const auto found = objects.find(node);
    if (found == objects.end()) return;
    if (found->second.find("/Type /Pages") == std::string::npos) return pages.push_back(node);
    for (int kid : references(found->second, "/Kids [")) pagesInOrder(objects, kid, pages);
}

// A literal string's text: "(1. Summary)" with its escapes undone.
std::string literal(const std::string& object, size_t open) {
    std::string text;
    for (size_t i = open + 1; i < object.size() && object[i] != ')'; ++i) text += object[i] == '\\' ? object[++i] : object[i];
    return text;
}

}  // namespace

std::vector<PdfHeading> pdfOutline(const std::string& pdfPath) {
    std::ifstream in(pdfPath, std::ios::binary);
    const std::string pdf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::map<int, std::string> objects = pdfObjects(pdf);
    std::vector<int> pages;
    for (const auto& [number, object] : objects)
        if (object.find("/Type /Catalog") != std::string::npos) {
            const std::vector<int> root = references(object, "/Pages");
            if (!root.empty()) pagesInOrder(objects, root.front(), pages);
        }
    std::vector<PdfHeading> headings;
    for (const auto& [number, object] : objects) {
        const size_t title = object.find("/Title ("), dest = object.find("/Dest [");
        if (title == std::string::npos || dest == std::string::npos) continue;
        PdfHeading h;
        h.title = literal(object, title + 7);
        const int page = references(object, "/Dest [").at(0);
        h.page = static_cast<int>(std::find(pages.begin(), pages.end(), page) - pages.begin()) + 1;
        double x = 0, y = 0, top = 0, ignored = 0;
        std::sscanf(object.c_str() + object.find("/XYZ", dest), "/XYZ %lf %lf", &x, &y);
        const std::string& pageObject = objects.at(page);
        std::sscanf(pageObject.c_str() + pageObject.find("/MediaBox ["), "/MediaBox [%lf %lf %lf %lf", &ignored, &ignored,
                    &ignored, &top);
        h.fromTop = top - y;
        headings.push_back(h);
    }
    // Objects in number order are not the document's: the outline's items follow its pages.
    std::stable_sort(headings.begin(), headings.end(), [](const PdfHeading& a, const PdfHeading& b) {
        return a.page != b.page ? a.page < b.page : a.fromTop < b.fromTop;
    });
    return headings;
}

int pdfPageCount(const std::string& pdfPath) {
    std::ifstream in(pdfPath, std::ios::binary);
    const std::string pdf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int pages = 0;
    for (size_t at = pdf.find("/Type"); at != std::string::npos; at = pdf.find("/Type", at + 1)) {
        size_t p = at + 5;
        while (p < pdf.size() && std::isspace(static_cast<unsigned char>(pdf[p]))) ++p;
        if (pdf.compare(p, 5, "/Page") == 0 && (p + 5 >= pdf.size() || !std::isalnum(static_cast<unsigned char>(pdf[p + 5]))))
            ++pages;
    }
    return pages;
}

}  // namespace zarn::testing
