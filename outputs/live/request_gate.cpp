#include "outputs/live/request_gate.h"

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

std::string plainAnswer(const char* status) {
    const std::string body = std::string(status) + "\n";
    return std::string("HTTP/1.1 ") + status + "\r\nConnection: close\r\nContent-Type: text/plain\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

const std::string kBadRequest = plainAnswer("400 Bad Request");
const std::string kTimedOut = plainAnswer("408 Request Timeout");
const std::string kTooLong = plainAnswer("414 URI Too Long");
const std::string kBusy = plainAnswer("503 Service Unavailable");

// RFC 9110's token characters.
bool tokenChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           (c != '\0' && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr);
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
    for (int* fd : {&epoll_, &wake_, &listenFd_}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
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

void RequestGate::acceptAll() {
    for (;;) {
        Held h;
        h.peerLength = sizeof h.peer;
        const int fd = accept4(listenFd_, reinterpret_cast<sockaddr*>(&h.peer), &h.peerLength,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;  // none waiting, or a peer that gave up meanwhile
        if (held_.size() >= limits_.held) {
            turnAway(fd, kBusy);
            continue;
        }
        // Edge-triggered: peeked bytes stay in the socket, each arrival is one event.
        epoll_event e{EPOLLIN | EPOLLRDHUP | EPOLLET, {.fd = fd}};
        if (epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &e) != 0) {
            close(fd);
            continue;
        }
        h.since = Clock::now();
        held_[fd] = h;
        look(fd);
    }
}

// Hands the connection on once its first request line has come, or turns it away.
void RequestGate::look(int fd) {
    const auto found = held_.find(fd);
    if (found == held_.end()) return;
    std::string seen(limits_.longestLine + 2, '\0');
    const ssize_t n = recv(fd, seen.data(), seen.size(), MSG_PEEK);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (n <= 0) {  // closed or reset before a request
        epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
        close(fd);
        held_.erase(found);
        return;
    }
    seen.resize(static_cast<size_t>(n));
    const size_t start = seen.find_first_not_of("\r\n");
    if (start != std::string::npos && seen[start] == '\x16') return turnAway(fd, kBadRequest);  // TLS
    const size_t end = start == std::string::npos ? std::string::npos : seen.find('\n', start);
    if (end == std::string::npos) {
        if (seen.size() > limits_.longestLine) turnAway(fd, kTooLong);
        return;
    }
    std::string_view line(seen.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!wellFormedRequestLine(line)) return turnAway(fd, kBadRequest);
    const Held h = found->second;
    epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
    held_.erase(found);
    handOn_(fd, reinterpret_cast<const sockaddr*>(&h.peer), h.peerLength);
}

void RequestGate::turnAway(int fd, std::string_view answer) {
    (void)!send(fd, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    shutdown(fd, SHUT_WR);
    epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
    close(fd);
    held_.erase(fd);
}

// A 408 to a line begun and not ended in time; a connection that sent nothing just closes.
void RequestGate::timeOut(Clock::time_point now) {
    std::vector<int> late;
    for (const auto& [fd, held] : held_)
        if (now - held.since >= limits_.firstLine) late.push_back(fd);
    for (const int fd : late) {
        char byte;
        if (recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) > 0) {
            turnAway(fd, kTimedOut);
        } else {
            epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
            close(fd);
            held_.erase(fd);
        }
    }
}

}  // namespace zarn
