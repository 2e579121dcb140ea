#include "tools/zarn_record/live_client_testing.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

namespace zarn::testing {
namespace {

constexpr timeval kConnectWait{2, 0}, kAnswerWait{15, 0};

int connectTo(int port, int receiveBuffer = 0, const std::string& from = "127.0.0.1") {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (receiveBuffer > 0) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &kConnectWait, sizeof kConnectWait);  // connect() waits as long
    sockaddr_in source{}, a{};
    source.sin_family = a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (inet_pton(AF_INET, from.c_str(), &source.sin_addr) != 1 ||
        bind(fd, reinterpret_cast<const sockaddr*>(&source), sizeof source) != 0 ||
        connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool sendAll(int fd, const std::string& bytes) {
    for (size_t at = 0; at < bytes.size();) {
        const ssize_t n = send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        if (n <= 0) return false;
        at += static_cast<size_t>(n);
    }
    return true;
}

int statusOf(const std::string& head) {
    const size_t space = head.find(' ');
    return space == std::string::npos ? 0 : std::atoi(head.c_str() + space + 1);
}

}  // namespace

StreamClient::~StreamClient() {
    if (fd_ >= 0) close(fd_);
}

bool StreamClient::open(int port, const std::string& target, const std::string& headers, int receiveBuffer) {
    fd_ = connectTo(port, receiveBuffer);
    return fd_ >= 0 && sendAll(fd_, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/event-stream\r\n" +
                                         headers + "\r\n");
}

bool StreamClient::read() {
    if (closed_) return false;
    char buffer[65536];
    for (;;) {
        const ssize_t n = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            take(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
        closed_ = true;
        return false;
    }
}

void StreamClient::take(const char* bytes, size_t n) {
    if (!inBody_) {
        head_.append(bytes, n);
        const size_t end = head_.find("\r\n\r\n");
        if (end == std::string::npos) return;
        status_ = statusOf(head_);
        std::string lower = head_;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        chunked_ = lower.find("transfer-encoding: chunked") != std::string::npos;
        inBody_ = true;
        const std::string rest = head_.substr(end + 4);
        head_.resize(end);
        return body(rest.data(), rest.size());
    }
    body(bytes, n);
}

// The chunks undone, the events taken apart at their blank lines.
void StreamClient::body(const char* bytes, size_t n) {
    if (!chunked_) {
        text_.append(bytes, n);
    } else {
        raw_.append(bytes, n);
        for (;;) {
            if (chunk_ == Chunk::Size) {
                const size_t line = raw_.find("\r\n");
                if (line == std::string::npos) break;
                chunkLeft_ = std::strtoul(raw_.c_str(), nullptr, 16);
                raw_.erase(0, line + 2);
                if (chunkLeft_ == 0) break;  // the last chunk
                chunk_ = Chunk::Data;
            }
            if (chunk_ == Chunk::Data) {
                const size_t m = std::min(chunkLeft_, raw_.size());
                text_.append(raw_, 0, m);
                raw_.erase(0, m);
                chunkLeft_ -= m;
                if (chunkLeft_ > 0) break;
                chunk_ = Chunk::End;
            }
            if (raw_.size() < 2) break;  // the chunk's CRLF
            raw_.erase(0, 2);
            chunk_ = Chunk::Size;
        }
    }
    for (size_t end; (end = text_.find("\n\n")) != std::string::npos; text_.erase(0, end + 2)) {
        StreamEvent e;
        std::istringstream lines(text_.substr(0, end));
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("event: ", 0) == 0) e.type = line.substr(7);
            if (line.rfind("data: ", 0) == 0) e.data = line.substr(6);
        }
        if (!e.type.empty()) events_.push_back(std::move(e));
    }
}

std::vector<long long> StreamClient::recordOffsets() const {
    std::vector<long long> offsets;
    for (const StreamEvent& e : events_)
        if (e.type == "record") offsets.push_back(nlohmann::json::parse(e.data).at("offset").get<long long>());
    return offsets;
}

bool StreamClient::saw(const std::string& type) const {
    for (const StreamEvent& e : events_)
        if (e.type == type) return true;
    return false;
}

std::string exchange(int port, const std::string& request, std::chrono::milliseconds wait) {
    const int fd = connectTo(port);
    if (fd < 0) return "no connection";
    sendAll(fd, request);
    std::string got;
    const auto until = std::chrono::steady_clock::now() + wait;
    while (got.find("\r\n") == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        char buffer[4096];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        got.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return got.substr(0, got.find("\r\n"));
}

int openConnection(int port, const std::string& from) { return connectTo(port, 0, from); }

HttpAnswer httpGet(int port, const std::string& target, const std::string& headers, const std::string& from) {
    HttpAnswer answer;
    const int fd = connectTo(port, 0, from);
    if (fd < 0) return answer;
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &kAnswerWait, sizeof kAnswerWait);
    sendAll(fd, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + headers + "\r\n");
    std::string got;
    char buffer[65536];
    for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) got.append(buffer, static_cast<size_t>(n));
    close(fd);
    const size_t end = got.find("\r\n\r\n");
    if (end == std::string::npos) return answer;
    answer.head = got.substr(0, end);
    answer.body = got.substr(end + 4);
    answer.status = statusOf(answer.head);
    return answer;
}

double processorSeconds(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');  // the name may hold blanks
    if (close == std::string::npos) return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i == 14 || i == 15) ticks += std::stod(field);  // utime, stime
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace zarn::testing
