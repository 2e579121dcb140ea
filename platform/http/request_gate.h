#pragma once
// RequestGate: a page's listening socket. It accepts each connection and
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
// - Bounds, each answered 503 past it, so that a burst or one busy peer cannot
//   take every place: at most GateLimits::held connections wait for their line
//   at once, GateLimits::heldPerAddress of them from one address; at most
//   GateLimits::passedOn handed on and not yet ended (the receiver says when one
//   ends), GateLimits::passedOnPerAddress of them from one address.

#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>

namespace zarn {

struct GateLimits {
    std::chrono::milliseconds firstLine{10000};
    size_t held = 64;
    size_t heldPerAddress = 16;
    size_t passedOn = 240;
    size_t passedOnPerAddress = 128;
    size_t longestLine = 8192;
};

// "GET /api/status HTTP/1.1", without its line end.
bool wellFormedRequestLine(std::string_view line);

// A short plain answer ("503 Service Unavailable") on a connection that is then closed.
void answerAndClose(int fd, const char* status);

class RequestGate {
public:
    // The connection's socket (non-blocking, close-on-exec) and its peer. True: the
    // receiver owns the socket from then on, and calls ended() when it closes it;
    // false: it did not take it, and has answered and closed it.
    using HandOn = std::function<bool(int fd, const sockaddr* peer, socklen_t peerLength)>;

    // Takes `listenFd` over.
    RequestGate(int listenFd, HandOn handOn, GateLimits limits = {});
    ~RequestGate();
    RequestGate(const RequestGate&) = delete;
    RequestGate& operator=(const RequestGate&) = delete;

    bool start(std::string& error);
    // Closes the listening socket and every connection still held.
    void stop();
    // A connection handed on has ended; from any thread.
    void ended(const sockaddr* peer);

private:
    enum class Seen { Nothing, Closed, Line, BadLine, LongLine };
    struct Held {
        sockaddr_storage peer{};
        socklen_t peerLength = 0;
        std::string address;
        std::chrono::steady_clock::time_point since;
    };
    void run();
    void acceptAll();
    void look(int fd);
    Seen peek(int fd) const;
    void passOn(int fd, const Held& h);
    void forget(int fd);
    void turnAway(int fd, const char* status);
    void drop(int fd);
    void timeOut(std::chrono::steady_clock::time_point now);

    int listenFd_;
    HandOn handOn_;
    const GateLimits limits_;
    int epoll_ = -1, wake_ = -1;
    std::unordered_map<int, Held> held_;
    std::unordered_map<std::string, size_t> heldFrom_;  // by address
    std::thread thread_;

    std::mutex passedMutex_;
    size_t passed_ = 0;
    std::unordered_map<std::string, size_t> passedFrom_;
};

}  // namespace zarn
