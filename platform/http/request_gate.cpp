#include "platform/http/request_gate.h"

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <vector>

namespace zarn {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kLookEveryMs = 100;
constexpr const char* kBadRequest = "400 Bad Request";
constexpr const char* kTimedOut = "408 Request Timeout";
constexpr const char* kTooLong = "414 URI Too Long";
constexpr const char* kBusy = "503 Service Unavailable";

// RFC 9110's token characters.
bool tokenChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           (c != '\0' && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr);
}

// The peer's address as a key of the counts; an IPv4 address mapped into IPv6 is itself.
std::string addressOf(const sockaddr* peer) {
    if (peer->sa_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(*peer);
        return std::string(reinterpret_cast<const char*>(&v4.sin_addr), 4);
    }
    if (peer->sa_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(*peer);
        const char* bytes = reinterpret_cast<const char*>(&v6.sin6_addr);
        return IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr) ? std::string(bytes + 12, 4) : std::string(bytes, 16);
    }
    return {};
}

// One more from `address`, unless that would pass either bound.
bool countIn(std::unordered_map<std::string, size_t>& from, const std::string& address, size_t all, size_t most,
             size_t mostFromOne) {
    const auto found = from.find(address);
    const size_t already = found == from.end() ? 0 : found->second;
    if (all >= most || already >= mostFromOne) return false;
    ++from[address];
    return true;
}

void countOut(std::unordered_map<std::string, size_t>& from, const std::string& address) {
    const auto found = from.find(address);
    if (found == from.end()) return;
    if (--found->second == 0) from.erase(found);
}

}  // namespace

bool wellFormedRequestLine(std::string_view line) {
    const size_t first = line.find(' ');
    const size_t last = line.rfind(' ');
    if (first == std::string_view::npos || first == 0 || last == first) return false;
    for (const char c : line.substr(0, first))
        if (!tokenChar(c)) return false;
    const std::string_view target = line.substr(first + 1, last - first - 1);
    if (target.empty()) return false;
    for (const char c : target)
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f) return false;
    const std::string_view version = line.substr(last + 1);
    return version.size() == 8 && version.substr(0, 5) == "HTTP/" && std::isdigit(static_cast<unsigned char>(version[5])) &&
           version[6] == '.' && std::isdigit(static_cast<unsigned char>(version[7]));
}

void answerAndClose(int fd, const char* status) {
    const std::string body = std::string(status) + "\n";
    const std::string answer = std::string("HTTP/1.1 ") + status +
                               "\r\nConnection: close\r\nContent-Type: text/plain\r\nContent-Length: " +
                               std::to_string(body.size()) + "\r\n\r\n" + body;
    (void)!send(fd, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    shutdown(fd, SHUT_WR);
    // What the client sent is taken first: a close with it unread resets the connection, answer and all.
    char sink[4096];
    for (int i = 0; i < 16 && recv(fd, sink, sizeof sink, MSG_DONTWAIT) > 0; ++i) {
    }
    close(fd);
}

RequestGate::RequestGate(int listenFd, HandOn handOn, GateLimits limits)
    : listenFd_(listenFd), handOn_(std::move(handOn)), limits_(limits) {}

RequestGate::~RequestGate() {
    stop();
    if (listenFd_ >= 0) close(listenFd_);
}

bool RequestGate::start(std::string& error) {
    fcntl(listenFd_, F_SETFL, fcntl(listenFd_, F_GETFL) | O_NONBLOCK);  // accept until none is waiting
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    epoll_event listen{EPOLLIN, {.fd = listenFd_}}, wake{EPOLLIN, {.fd = wake_}};
    if (epoll_ < 0 || wake_ < 0 || epoll_ctl(epoll_, EPOLL_CTL_ADD, listenFd_, &listen) != 0 ||
        epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &wake) != 0) {
        error = std::strerror(errno);
        return false;
    }
    thread_ = std::thread([this] { run(); });
    return true;
}

void RequestGate::stop() {
    if (thread_.joinable()) {
        const uint64_t one = 1;
        (void)!write(wake_, &one, sizeof one);
        thread_.join();
    }
    for (const auto& [fd, held] : held_) close(fd);
    held_.clear();
    heldFrom_.clear();
    for (int* fd : {&epoll_, &wake_, &listenFd_}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
}

void RequestGate::ended(const sockaddr* peer) {
    std::lock_guard lock(passedMutex_);
    const std::string address = addressOf(peer);
    if (passedFrom_.count(address) == 0) return;
    countOut(passedFrom_, address);
    --passed_;
}

void RequestGate::run() {
    std::vector<epoll_event> events(64);
    for (;;) {
        const int n = epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), kLookEveryMs);
        if (n < 0 && errno != EINTR) return;
        for (int i = 0; i < n; ++i) {
            const int fd = events[static_cast<size_t>(i)].data.fd;
            if (fd == wake_) return;
            if (fd == listenFd_) acceptAll();
            else look(fd);
        }
        timeOut(Clock::now());
    }
}

// A connection whose first line has come already is handed on at once; one that must
// wait for it takes a place, if there is one for its address.
void RequestGate::acceptAll() {
    for (;;) {
        Held h;
        h.peerLength = sizeof h.peer;
        const int fd = accept4(listenFd_, reinterpret_cast<sockaddr*>(&h.peer), &h.peerLength,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;  // none waiting, or a peer that gave up meanwhile
        h.address = addressOf(reinterpret_cast<const sockaddr*>(&h.peer));
        h.since = Clock::now();
        switch (peek(fd)) {
        case Seen::Line: passOn(fd, h); continue;
        case Seen::BadLine: answerAndClose(fd, kBadRequest); continue;
        case Seen::LongLine: answerAndClose(fd, kTooLong); continue;
        case Seen::Closed: close(fd); continue;
        case Seen::Nothing: break;
        }
        if (!countIn(heldFrom_, h.address, held_.size(), limits_.held, limits_.heldPerAddress)) {
            answerAndClose(fd, kBusy);
            continue;
        }
        // Edge-triggered: peeked bytes stay in the socket, each arrival is one event (and
        // what came since the peek is one on adding).
        epoll_event e{EPOLLIN | EPOLLRDHUP | EPOLLET, {.fd = fd}};
        if (epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &e) != 0) {
            countOut(heldFrom_, h.address);
            close(fd);
            continue;
        }
        held_[fd] = h;
    }
}

RequestGate::Seen RequestGate::peek(int fd) const {
    std::string seen(limits_.longestLine + 2, '\0');
    const ssize_t n = recv(fd, seen.data(), seen.size(), MSG_PEEK);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return Seen::Nothing;
    if (n <= 0) return Seen::Closed;  // closed or reset before a request
    seen.resize(static_cast<size_t>(n));
    const size_t start = seen.find_first_not_of("\r\n");
    if (start != std::string::npos && seen[start] == '\x16') return Seen::BadLine;  // TLS
    const size_t end = start == std::string::npos ? std::string::npos : seen.find('\n', start);
    if (end == std::string::npos) return seen.size() > limits_.longestLine ? Seen::LongLine : Seen::Nothing;
    std::string_view line(seen.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return wellFormedRequestLine(line) ? Seen::Line : Seen::BadLine;
}

// Hands a held connection on once its first request line has come, or turns it away.
void RequestGate::look(int fd) {
    const auto found = held_.find(fd);
    if (found == held_.end()) return;
    switch (peek(fd)) {
    case Seen::Nothing: return;
    case Seen::Closed: return drop(fd);
    case Seen::BadLine: return turnAway(fd, kBadRequest);
    case Seen::LongLine: return turnAway(fd, kTooLong);
    case Seen::Line: break;
    }
    const Held h = found->second;
    forget(fd);
    passOn(fd, h);
}

void RequestGate::passOn(int fd, const Held& h) {
    bool room = false;
    {
        std::lock_guard lock(passedMutex_);
        room = countIn(passedFrom_, h.address, passed_, limits_.passedOn, limits_.passedOnPerAddress);
        passed_ += room;
    }
    if (!room) return answerAndClose(fd, kBusy);
    if (!handOn_(fd, reinterpret_cast<const sockaddr*>(&h.peer), h.peerLength))
        ended(reinterpret_cast<const sockaddr*>(&h.peer));
}

// No longer held; the socket stays open.
void RequestGate::forget(int fd) {
    const auto found = held_.find(fd);
    if (found == held_.end()) return;
    epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
    countOut(heldFrom_, found->second.address);
    held_.erase(found);
}

void RequestGate::turnAway(int fd, const char* status) {
    forget(fd);
    answerAndClose(fd, status);
}

void RequestGate::drop(int fd) {
    forget(fd);
    close(fd);
}

// A 408 to a line begun and not ended in time; a connection that sent nothing just closes.
void RequestGate::timeOut(Clock::time_point now) {
    std::vector<int> late;
    for (const auto& [fd, held] : held_)
        if (now - held.since >= limits_.firstLine) late.push_back(fd);
    for (const int fd : late) {
        char byte;
        if (recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) > 0) turnAway(fd, kTimedOut);
        else drop(fd);
    }
}

}  // namespace zarn
