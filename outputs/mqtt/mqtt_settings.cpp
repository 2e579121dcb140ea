#include "outputs/mqtt/mqtt_settings.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <strings.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

namespace zarn {
namespace {

// A secret's file: regular, and no access for its group or others.
bool privateFile(const std::string& path, const char* what, std::string& error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error = std::string(what) + " " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = std::string(what) + " " + path + ": not a regular file";
        return false;
    }
    if (st.st_mode & 077) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        error = std::string(what) + " " + path + " is readable by " + ((st.st_mode & 007) ? "everyone" : "its group") +
                " (mode " + mode + "); it holds a secret: chmod 600 " + path;
        return false;
    }
    return true;
}

// OpenSSL's reasons since the last call, the last one first.
std::string openSslReason() {
    std::string reason;
    for (unsigned long e; (e = ERR_get_error()) != 0;) {
        char text[256];
        ERR_error_string_n(e, text, sizeof text);
        const char* lib = ERR_reason_error_string(e);
        reason = lib ? lib : text;
    }
    return reason.empty() ? "no certificate in it" : reason;
}

int noPassphrase(char*, int, int, void*) { return -1; }

// Named as an address of this machine, without asking a resolver.
bool loopbackHost(const std::string& host) {
    if (strcasecmp(host.c_str(), "localhost") == 0) return true;
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, host.c_str(), &v6) != 1) return false;
    return IN6_IS_ADDR_LOOPBACK(&v6) || (IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127);
}

}  // namespace

bool parseBrokerUrl(const std::string& url, MqttSettings& s, std::string& error) {
    const auto fail = [&](const std::string& why) {
        error = "'" + url + "' " + why;
        return false;
    };
    std::string rest;
    if (url.rfind("mqtt://", 0) == 0) {
        s.tls = false;
        s.port = 1883;
        rest = url.substr(7);
    } else if (url.rfind("mqtts://", 0) == 0) {
        s.tls = true;
        s.port = 8883;
        rest = url.substr(8);
    } else {
        return fail("is not a broker URL: mqtt://HOST[:PORT] or mqtts://HOST[:PORT]");
    }
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    if (rest.find('@') != std::string::npos)
        return fail("holds a user or password: give them in a file of mode 600 with --mqtt-auth FILE");
    if (rest.find_first_of("/?#") != std::string::npos) return fail("has a path: only mqtt://HOST[:PORT] is taken");
    std::string host = rest, port;
    bool portGiven = false;
    if (rest.rfind('[', 0) == 0) {
        const size_t close = rest.find(']');
        if (close == std::string::npos) return fail("has no ']' after its IPv6 address");
        host = rest.substr(1, close - 1);
        if (close + 1 < rest.size()) {
            if (rest[close + 1] != ':') return fail("has text after its IPv6 address");
            port = rest.substr(close + 2);
            portGiven = true;
        }
    } else if (const size_t colon = rest.rfind(':'); colon != std::string::npos) {
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        portGiven = true;
        if (host.find(':') != std::string::npos) return fail("has an IPv6 address without [ ]");
    }
    if (host.empty()) return fail("names no host");
    for (char c : host)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == ':' || c == '_'))
            return fail("has a host name with '" + std::string(1, c) + "' in it");
    if (portGiven) {
        int number = 0;
        const auto [end, problem] = std::from_chars(port.data(), port.data() + port.size(), number);
        if (port.empty() || problem != std::errc() || end != port.data() + port.size() || number < 1 ||
            number > 65535)
            return fail("has a port that is not 1 to 65535");
        s.port = number;
    }
    s.url = url;
    s.host = host;
    return true;
}

bool readMqttAuth(const std::string& path, MqttSettings& s, std::string& error) {
    if (!privateFile(path, "--mqtt-auth", error)) return false;
    std::ifstream in(path);
    std::string user, password;
    if (!in || !std::getline(in, user)) {
        error = "--mqtt-auth " + path + ": cannot read it, or it is empty";
        return false;
    }
    std::getline(in, password);
    for (std::string* line : {&user, &password})
        if (!line->empty() && line->back() == '\r') line->pop_back();
    if (user.empty()) {
        error = "--mqtt-auth " + path + ": the first line, the user name, is empty";
        return false;
    }
    s.user = user;
    s.password = password;
    return true;
}

bool checkTls(const MqttSettings& s, std::string& error) {
    ERR_clear_error();
    std::unique_ptr<SSL_CTX, void (*)(SSL_CTX*)> context(SSL_CTX_new(TLS_client_method()), SSL_CTX_free);
    if (!context) {
        error = "TLS: " + openSslReason();
        return false;
    }
    if (!s.caFile.empty() && SSL_CTX_load_verify_locations(context.get(), s.caFile.c_str(), nullptr) != 1) {
        error = "--mqtt-ca " + s.caFile + " does not load: " + openSslReason();
        return false;
    }
    if (s.certFile.empty() != s.keyFile.empty()) {
        error = "a client certificate needs both --mqtt-cert and --mqtt-key";
        return false;
    }
    if (s.certFile.empty()) return true;
    if (!privateFile(s.keyFile, "--mqtt-key", error)) return false;
    SSL_CTX_set_default_passwd_cb(context.get(), noPassphrase);
    if (SSL_CTX_use_certificate_chain_file(context.get(), s.certFile.c_str()) != 1) {
        error = "--mqtt-cert " + s.certFile + " does not load: " + openSslReason();
        return false;
    }
    if (SSL_CTX_use_PrivateKey_file(context.get(), s.keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        error = "--mqtt-key " + s.keyFile + " does not load (a key that needs a passphrase cannot be used): " +
                openSslReason();
        return false;
    }
    if (SSL_CTX_check_private_key(context.get()) != 1) {
        error = "--mqtt-key " + s.keyFile + " is not the key of --mqtt-cert " + s.certFile;
        return false;
    }
    return true;
}

bool checkTopicPrefix(const std::string& prefix, std::string& error) {
    if (prefix.empty() || prefix.front() == '/' || prefix.back() == '/' || prefix.find("//") != std::string::npos) {
        error = "'" + prefix + "' is not a topic prefix: levels like zarn/site1, none of them empty";
        return false;
    }
    if (prefix.find_first_of("+#") != std::string::npos || prefix.find('\0') != std::string::npos) {
        error = "'" + prefix + "': a topic prefix has no wildcard ('+', '#')";
        return false;
    }
    return true;
}

bool checkPasswordInClear(const MqttSettings& s, bool trusted, std::string& error) {
    if (s.tls || s.password.empty() || trusted || loopbackHost(s.host)) return true;
    error = "--mqtt-auth would send its password in clear to " + s.url +
            ": use mqtts://, or say --mqtt-insecure-auth where the network between is trusted";
    return false;
}

}  // namespace zarn
