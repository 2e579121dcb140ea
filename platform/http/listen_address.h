#pragma once
// Where a page listens and who may read it, checked before the program gets to work.
//
// - parseListenAddress("[ADDR:]PORT"): "8080" is 127.0.0.1:8080; an address only
//   when given: "0.0.0.0:8080", "[::]:8080", "[::1]:8080", "192.0.2.7:8080", or a
//   host name ("localhost:8080"). The port is 1 to 65535.
// - openListenSocket: the address resolved, bound and listening (close-on-exec);
//   -1 with the reason ("Address already in use") when it cannot be had. The
//   server takes the descriptor over.
// - reachableFromNetwork: anything but a loopback address; the program says
//   then that the page is open to the network.
// - Host names: a page bound to loopback answers only requests whose Host is
//   localhost, 127.0.0.1, [::1], the address it is bound to, or a name given with
//   --allow-host (parseHostName: a host name, an IPv4 address, or an IPv6 one in
//   brackets); a port after it is allowed, any letter case. So a page on loopback
//   cannot be read through another site's name that resolves to it.
// - readTokenFile: the token is the file's first line without its line end and
//   surrounding blanks. The file must be a regular file that only its owner can
//   read and write (mode 600 or stricter), and hold 16 to 4096 printable ASCII
//   characters without blanks; else nullopt with what is wrong.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarn {

struct ListenAddress {
    std::string host = "127.0.0.1";  // as given; an IPv6 address without its brackets
    uint16_t port = 0;
    // "127.0.0.1:8080", "[::]:8080"
    std::string text() const;
};

std::optional<ListenAddress> parseListenAddress(const std::string& text, std::string& error);
int openListenSocket(const ListenAddress& address, std::string& error);
// Of a bound socket: not on a loopback address.
bool reachableFromNetwork(int listenFd);
std::optional<std::string> readTokenFile(const std::string& path, std::string& error);

// Lower-cased; nullopt with what is wrong.
std::optional<std::string> parseHostName(const std::string& text, std::string& error);
// The names a page on `address` answers: the loopback's, the address's own, and `more`.
std::vector<std::string> servedHosts(const ListenAddress& address, const std::vector<std::string>& more);
// `host` is a request's Host: NAME[:PORT].
bool hostAllowed(std::string_view host, const std::vector<std::string>& names);

}  // namespace zarn
