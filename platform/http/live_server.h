#pragma once
// LiveServer: the HTTP/1.1 server of zarn-record's live page and of zarn-fleet, on
// libmicrohttpd. One thread of its own polls every connection (epoll), once the
// RequestGate (request_gate.h) has seen its first request line whole; another times
// out requests that do not come and keeps the streams alive. Nothing it does waits on
// the program's own work, and nothing it serves comes from the file system.
//
//   GET /             the page (LiveContent::page)
//   GET /api/status   the status's JSON
//   GET /api/stream   Server-Sent Events from the StreamHub, beginning with the status
//   GET /metrics      Prometheus's text exposition
//   GET /favicon.ico  204: the page has its icon inside
//   anything else     LiveContent::handle, when given (GET, HEAD and POST; a body up
//                     to 64 KiB, else 413)
// HEAD as GET without the body. Everything else is refused:
//   400 a malformed request, a path with a ".." segment, a control character or a backslash
//   401 no token or a wrong one, when a token is asked (a bearer header or ?token=;
//       in the query a blank stands for the '+' a form-encoding client made of it);
//       the operator's token, when there is one, is taken wherever the token is
//   421 a Host that is not among the names given, when names are given (a page on
//       loopback is thus not readable through another site's name: DNS rebinding)
//   404 any other path; 405 any other method (only the handler changes anything)
//   408 a request whose head has not all come within 10 s of its first line (a
//       slow-loris client), and the connection is closed
//   414 a request line longer than 8 KiB; 431 a head larger than the connection's
//       memory (32 KiB); 503 more streams than the hub takes, or more connections
//       than LiveServerLimits allows, all told or from one address
// The gate answers a first request line that is bad, long or slow; libmicrohttpd
// the rest of what is malformed or oversized. A connection that neither sends nor takes anything for
// 30 s is closed, and so is one that has not sent a request line 20 s after it
// opened or after its last answer; a stream gets a comment every 15 s, so that
// a client that went away is found. libmicrohttpd's own connection limits are set
// above the gate's, which it must never reach: a connection handed to it at its
// limit stops its thread for good.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/http/event_stream.h"
#include "platform/http/request_gate.h"

struct MHD_Daemon;
struct MHD_Connection;

namespace zarn {

// A request that the fixed paths do not serve, for LiveContent::handle.
struct HttpRequest {
    std::string method, path;
    std::vector<std::pair<std::string, std::string>> query;  // decoded, in order
    std::string body;
    bool operatorToken = false;  // it carries the operator's token
    // The value of the query's `name`; nullptr when it has none.
    const std::string* parameter(const std::string& name) const;
};

struct HttpReply {
    unsigned status = 200;
    std::string type = "application/json";
    std::string body;
};

struct LiveContent {
    std::string page;
    std::function<std::string()> status;      // JSON; none: /api/status goes to handle
    std::function<std::string()> metrics;     // text exposition
    // A stream's first: the current status, with the stream counted (called under the hub's lock).
    std::function<StreamEvent(const StreamHub::Counts&)> firstEvent;
    // The rest, on the server's thread; none: 404.
    std::function<HttpReply(const HttpRequest&)> handle{};
    std::string operatorToken{};  // empty: none
    std::string pageSecurity{};   // the page's Content-Security-Policy; empty: scripts and styles inline only
};

struct LiveServerLimits {
    std::chrono::milliseconds requestDeadline{10000};  // for a request's head, from its first line
    std::chrono::seconds waiting{20};                   // for a request line, from the last answer
    unsigned idleSeconds = 30;                          // without a byte either way
    std::chrono::seconds heartbeat{15};
    unsigned connections = 240;            // handed on and not yet closed
    unsigned connectionsPerAddress = 128;  // of them from one address
    size_t connectionMemory = 32 * 1024;
};

class LiveServer {
public:
    // Takes `listenFd` over; `token` empty: none asked; `hosts` (as hostAllowed takes
    // them, listen_address.h) empty: any Host.
    LiveServer(int listenFd, std::string token, std::vector<std::string> hosts, StreamHub& hub, LiveContent content,
               LiveServerLimits limits = {});
    ~LiveServer();
    LiveServer(const LiveServer&) = delete;
    LiveServer& operator=(const LiveServer&) = delete;

    bool start(std::string& error);
    // No new connection; the streams (which the hub has ended) get what is left of
    // `most` after half a second to take what they were sent, the rest are cut;
    // every thread joined, within `most` (at least half a second).
    void stop(std::chrono::milliseconds most);

    // One TCP connection, as the server tracks it.
    struct Connection;
    // Called by libmicrohttpd.
    int onRequest(MHD_Connection* c, const char* url, const char* method, const char* upload, size_t* bodyBytes,
                  void** request);
    void onConnection(MHD_Connection* c, void** context, bool started);
    void onRequestLine(MHD_Connection* c);
    void onCompleted(MHD_Connection* c, bool timedOut);
    // Cuts a connection that is busy sending (a dropped stream); nothing if it closed.
    void cut(uint64_t connection);

private:
    bool handOn(int fd, const sockaddr* peer, socklen_t length);
    int answer(MHD_Connection* c, const std::string& path, bool head);
    int stream(MHD_Connection* c, uint64_t connection);
    // The token given, from the query or a bearer header; nullopt: none.
    static std::optional<std::string> givenToken(MHD_Connection* c, bool& fromQuery);
    bool authorised(MHD_Connection* c) const;
    bool operatorAuthorised(MHD_Connection* c) const;
    int handle(MHD_Connection* c, const std::string& path, std::string_view verb);
    // With connectionsMutex_ held.
    static Connection* tracked(MHD_Connection* c);
    void watch();
    void timeOutRequests(std::chrono::steady_clock::time_point now);

    const std::string token_;
    const std::vector<std::string> hosts_;
    StreamHub& hub_;
    const LiveContent content_;
    const LiveServerLimits limits_;
    MHD_Daemon* daemon_ = nullptr;
    RequestGate gate_;  // hands each connection to daemon_ once its first line has come

    std::mutex connectionsMutex_;
    std::unordered_map<uint64_t, Connection*> connections_;
    uint64_t nextConnection_ = 1;

    std::mutex watchMutex_;
    std::condition_variable watchWake_;
    std::atomic<bool> stopping_{false};
    bool flushAsked_ = false;
    std::thread watcher_;
};

}  // namespace zarn
