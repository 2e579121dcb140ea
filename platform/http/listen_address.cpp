#include "platform/http/listen_address.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

namespace zarn {
namespace {

constexpr size_t kShortestToken = 16, kLongestToken = 4096;
constexpr int kBacklog = 64;

bool parsePort(const std::string& text, uint16_t& port) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    const long value = std::stol(text);
    if (value < 1 || value > 65535) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

bool digits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

bool sameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string modeText(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%03o", static_cast<unsigned>(mode & 0777));
    return text;
}

}  // namespace

std::string ListenAddress::text() const {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::optional<ListenAddress> parseListenAddress(const std::string& text, std::string& error) {
    ListenAddress a;
    std::string portText = text;
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':') {
            error = "'" + text + "' is not [ADDR:]PORT (an IPv6 address goes in brackets: [::1]:8080)";
            return std::nullopt;
        }
        a.host = text.substr(1, close - 1);
        portText = text.substr(close + 2);
    } else if (const size_t colon = text.rfind(':'); colon != std::string::npos) {
        a.host = text.substr(0, colon);
        portText = text.substr(colon + 1);
        if (a.host.find(':') != std::string::npos) {
            error = "'" + text + "': an IPv6 address goes in brackets: [::1]:8080";
            return std::nullopt;
        }
    }
    if (a.host.empty()) {
        error = "'" + text + "' names no address before the port";
        return std::nullopt;
    }
    if (!parsePort(portText, a.port)) {
        error = "'" + text + "' is not [ADDR:]PORT with a port from 1 to 65535";
        return std::nullopt;
    }
    return a;
}

int openListenSocket(const ListenAddress& address, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(address.port);
    if (const int status = getaddrinfo(address.host.c_str(), port.c_str(), &hints, &found); status != 0) {
        error = address.host + ": " + gai_strerror(status);
        return -1;
    }
    const int fd = socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol);
    int yes = 1;
    const bool ok = fd >= 0 && setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) == 0 &&
                    bind(fd, found->ai_addr, found->ai_addrlen) == 0 && listen(fd, kBacklog) == 0;
    const int problem = errno;
    freeaddrinfo(found);
    if (ok) return fd;
    error = std::strerror(problem);
    if (fd >= 0) close(fd);
    return -1;
}

bool reachableFromNetwork(int listenFd) {
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    if (getsockname(listenFd, reinterpret_cast<sockaddr*>(&bound), &length) != 0) return true;
    if (bound.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(bound);
        return (ntohl(v4.sin_addr.s_addr) >> 24) != 127;
    }
    if (bound.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(bound);
        if (IN6_IS_ADDR_LOOPBACK(&v6.sin6_addr)) return false;
        // ::ffff:127.x.x.x
        return !(IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr) && v6.sin6_addr.s6_addr[12] == 127);
    }
    return true;
}

std::optional<std::string> readTokenFile(const std::string& path, std::string& error) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    struct stat about {};
    if (fd < 0 || fstat(fd, &about) != 0) {
        error = path + ": " + std::strerror(errno);
        if (fd >= 0) close(fd);
        return std::nullopt;
    }
    std::string text;
    if (S_ISREG(about.st_mode) && (about.st_mode & 077) == 0) {
        char buffer[kLongestToken + 2];
        for (ssize_t n; text.size() <= kLongestToken && (n = read(fd, buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    if (!S_ISREG(about.st_mode)) {
        error = path + ": not a regular file";
        return std::nullopt;
    }
    if ((about.st_mode & 077) != 0) {
        error = path + ": mode " + modeText(about.st_mode) + " lets others read the token; chmod 600 " + path;
        return std::nullopt;
    }
    const std::string line = text.substr(0, text.find('\n'));
    const size_t first = line.find_first_not_of(" \t\r"), last = line.find_last_not_of(" \t\r");
    const std::string token = first == std::string::npos ? "" : line.substr(first, last - first + 1);
    for (const char c : token) {
        if (c <= ' ' || c > '~') {
            error = path + ": the token holds a blank or a character that is not printable ASCII";
            return std::nullopt;
        }
    }
    if (token.size() < kShortestToken || token.size() > kLongestToken) {
        error = path + ": the token has " + std::to_string(token.size()) + " characters; give 16 to 4096";
        return std::nullopt;
    }
    return token;
}

std::optional<std::string> parseHostName(const std::string& text, std::string& error) {
    std::string name = text;
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    in6_addr v6{};
    if (name.size() > 2 && name.front() == '[' && name.back() == ']' &&
        inet_pton(AF_INET6, name.substr(1, name.size() - 2).c_str(), &v6) == 1)
        return name;
    if (!name.empty() && name.size() <= 253 && name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789.-") ==
                                                   std::string::npos)
        return name;
    error = "'" + text + "' is not a host name without a port (an IPv6 address goes in brackets: [fd00::7])";
    return std::nullopt;
}

std::vector<std::string> servedHosts(const ListenAddress& address, const std::vector<std::string>& more) {
    std::vector<std::string> names{"localhost", "127.0.0.1", "[::1]"};
    const std::string own = address.host.find(':') != std::string::npos ? "[" + address.host + "]" : address.host;
    for (const std::string& name : more) names.push_back(name);
    if (std::none_of(names.begin(), names.end(), [&](const std::string& n) { return sameLetters(n, own); }))
        names.push_back(own);
    return names;
}

bool hostAllowed(std::string_view host, const std::vector<std::string>& names) {
    const size_t nameEnd = !host.empty() && host.front() == '[' ? host.find(']') + 1 : host.find(':');
    const std::string_view name = host.substr(0, nameEnd), port = host.substr(std::min(nameEnd, host.size()));
    if (name.empty() || (!port.empty() && (port.front() != ':' || port.size() > 6 || !digits(port.substr(1)))))
        return false;
    return std::any_of(names.begin(), names.end(), [&](const std::string& n) { return sameLetters(name, n); });
}

}  // namespace zarn
