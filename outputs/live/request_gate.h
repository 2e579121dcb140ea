#pragma once
// RequestGate: the live page's listening socket. It accepts each connection and
// holds it, on a thread of its own, until the first request line has come whole;
// it reads nothing (it peeks), so the HTTP server that the connection is handed
// on to reads the request from its beginning.
//
// - A well-formed first line ("METHOD SP TARGET SP HTTP/d.d", empty lines before
//   it allowed) hands the connection on.
// - Anything else is answered and closed: 400 for a line that is not a request
//   line (a TLS handshake among them: the page speaks plain HTTP), 414 for one
//   longer than GateLimits::longestLine, 408 for one that has begun but not
//   ended within GateLimits::firstLine (a slow-loris client). A connection that
//   sends nothing in that time, or closes, is closed without a word.
// - At most GateLimits::held connections wait at once; one more is answered 503.

#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>

namespace zarn {

struct GateLimits {
    std::chrono::milliseconds firstLine{10000};
    size_t held = 64;
    size_t longestLine = 8192;
};

// "GET /api/status HTTP/1.1", without its line end.
bool wellFormedRequestLine(std::string_view line);

class RequestGate {
public:
    // The connection's socket (non-blocking, close-on-exec) and its peer; the
    // receiver owns the socket from then on.
    using HandOn = std::function<void(int fd, const sockaddr* peer, socklen_t peerLength)>;

    // Takes `listenFd` over.
    RequestGate(int listenFd, HandOn handOn, GateLimits limits = {});
    ~RequestGate();
    RequestGate(const RequestGate&) = delete;
    RequestGate& operator=(const RequestGate&) = delete;

    bool start(std::string& error);
    // Closes the listening socket and every connection still held.
    void stop();

private:
    struct Held {
        sockaddr_storage peer{};
        socklen_t peerLength = 0;
        std::chrono::steady_clock::time_point since;
    };
    void run();
    void acceptAll();
    void look(int fd);
    void turnAway(int fd, std::string_view answer);
    void timeOut(std::chrono::steady_clock::time_point now);

    int listenFd_;
    HandOn handOn_;
    const GateLimits limits_;
    int epoll_ = -1, wake_ = -1;
    std::unordered_map<int, Held> held_;
    std::thread thread_;
};

}  // namespace zarn
