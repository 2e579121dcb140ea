#include "platform/http/live_server.h"

#include <fcntl.h>
#include <microhttpd.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/http/listen_address.h"

namespace zarn {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr size_t kStreamBlock = 16 * 1024;
constexpr int kStreamSocketBuffer = 64 * 1024;
constexpr auto kWatchEvery = 200ms;
constexpr auto kCutGrace = 500ms;  // for the streams cut at the end to go
// How far above the gate's bounds libmicrohttpd's are: it counts a connection a moment
// longer than the gate does (it tells of the close first).
constexpr unsigned kLibraryMargin = 16;

constexpr size_t kLargestBody = 64 * 1024;
constexpr const char* kPageSecurity =
    "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; img-src data:; "
    "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";
constexpr char kRequestTimeout[] =
    "HTTP/1.1 408 Request Timeout\r\nConnection: close\r\nContent-Type: text/plain\r\nContent-Length: 20\r\n\r\n"
    "408 Request Timeout\n";

// A request's markers in libmicrohttpd's per-request pointer: its line has come, its head
// passed the checks, it is answered.
int requestBegun, requestChecked, requestAnswered;

MHD_Result result(int ok) { return ok == MHD_YES ? MHD_YES : MHD_NO; }

int send(MHD_Connection* c, unsigned code, std::string_view type, std::string body,
         std::initializer_list<std::pair<const char*, const char*>> headers = {}) {
    MHD_Response* r = MHD_create_response_from_buffer(body.size(), body.data(), MHD_RESPMEM_MUST_COPY);
    if (!r) return MHD_NO;
    if (!type.empty()) MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, std::string(type).c_str());
    MHD_add_response_header(r, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    MHD_add_response_header(r, "X-Content-Type-Options", "nosniff");
    for (const auto& [name, value] : headers) MHD_add_response_header(r, name, value);
    const int queued = MHD_queue_response(c, code, r);
    MHD_destroy_response(r);
    return queued;
}

int refuse(MHD_Connection* c, unsigned code, const char* reason,
           std::initializer_list<std::pair<const char*, const char*>> headers = {}) {
    return send(c, code, "text/plain; charset=utf-8", std::to_string(code) + " " + reason + "\n", headers);
}

// A path that names a parent, or holds a control character or a backslash (a blank is
// a name's own: a site's, say).
bool unsafePath(std::string_view path) {
    for (const char c : path)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == '\\') return true;
    for (size_t at = 0; at < path.size();) {
        const size_t end = std::min(path.find('/', at), path.size());
        if (path.substr(at, end - at) == "..") return true;
        at = end + 1;
    }
    return false;
}

// Equal, in a time that does not depend on where they differ. A token holds no blank, so
// a blank in a query's token is a '+' that was decoded as form data decodes it.
bool sameToken(std::string_view given, std::string_view token, bool fromQuery) {
    unsigned char differ = given.size() != token.size();
    for (size_t i = 0; i < token.size(); ++i) {
        const char c = i < given.size() ? given[i] : 0;
        differ |= static_cast<unsigned char>(token[i] ^ (fromQuery && c == ' ' ? '+' : c));
    }
    return differ == 0;
}

// Two descriptors of one socket.
bool sameSocket(int a, int b) {
    struct stat first {}, second {};
    return fstat(a, &first) == 0 && fstat(b, &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

// Every signal blocked while the server's threads start, so they inherit none.
class SignalsBlocked {
public:
    SignalsBlocked() {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &before_);
    }
    ~SignalsBlocked() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }

private:
    sigset_t before_;
};

}  // namespace

struct LiveServer::Connection {
    enum class Phase { Waiting, Heading, Answering };
    uint64_t id = 0;
    int fd = -1;
    sockaddr_storage peer{};
    Phase phase = Phase::Waiting;  // for a request; its head has begun; it is being answered
    Clock::time_point since = Clock::now();
    bool streaming = false;
    bool timedOut = false;
    std::string body;  // of the request being answered, for the handler
    bool bodyTooLarge = false;
};

namespace {

GateLimits gateLimits(const LiveServerLimits& limits) {
    GateLimits g;
    g.firstLine = limits.requestDeadline;
    g.passedOn = limits.connections;
    g.passedOnPerAddress = limits.connectionsPerAddress;
    return g;
}

// A stream's connection, suspended while it has nothing to send.
class ConnectionWaker : public StreamWaker {
public:
    ConnectionWaker(LiveServer& server, MHD_Connection* c, uint64_t id) : server_(server), c_(c), id_(id) {}
    void sleep() override { MHD_suspend_connection(c_); }
    void wake() override { MHD_resume_connection(c_); }
    void cut() override { server_.cut(id_); }

private:
    LiveServer& server_;
    MHD_Connection* c_;
    uint64_t id_;
};

struct StreamResponse {
    StreamHub& hub;
    std::shared_ptr<EventStream> stream;
};

ssize_t readStream(void* cls, uint64_t, char* to, size_t size) {
    const long n = static_cast<StreamResponse*>(cls)->stream->read(to, size);
    if (n == EventStream::kEnd) return MHD_CONTENT_READER_END_OF_STREAM;
    if (n == EventStream::kDropped) return MHD_CONTENT_READER_END_WITH_ERROR;
    return n;
}

void freeStream(void* cls) {
    auto* response = static_cast<StreamResponse*>(cls);
    response->hub.leave(response->stream);
    delete response;
}

MHD_Result addParameter(void* cls, MHD_ValueKind, const char* key, const char* value) {
    static_cast<HttpRequest*>(cls)->query.emplace_back(key, value ? value : "");
    return MHD_YES;
}

MHD_Result onRequest(void* cls, MHD_Connection* c, const char* url, const char* method, const char*,
                     const char* upload, size_t* bodyBytes, void** request) {
    return result(static_cast<LiveServer*>(cls)->onRequest(c, url, method, upload, bodyBytes, request));
}

void onConnection(void* cls, MHD_Connection* c, void** context, MHD_ConnectionNotificationCode code) {
    static_cast<LiveServer*>(cls)->onConnection(c, context, code == MHD_CONNECTION_NOTIFY_STARTED);
}

void onCompleted(void* cls, MHD_Connection* c, void**, MHD_RequestTerminationCode code) {
    static_cast<LiveServer*>(cls)->onCompleted(c, code == MHD_REQUEST_TERMINATED_TIMEOUT_REACHED);
}

void* onRequestLine(void* cls, const char*, MHD_Connection* c) {
    static_cast<LiveServer*>(cls)->onRequestLine(c);
    return &requestBegun;
}

}  // namespace

const std::string* HttpRequest::parameter(const std::string& name) const {
    for (const auto& [key, value] : query)
        if (key == name) return &value;
    return nullptr;
}

LiveServer::LiveServer(int listenFd, std::string token, std::vector<std::string> hosts, StreamHub& hub,
                       LiveContent content, LiveServerLimits limits)
    : token_(std::move(token)),
      hosts_(std::move(hosts)),
      hub_(hub),
      content_(std::move(content)),
      limits_(limits),
      gate_(listenFd, [this](int fd, const sockaddr* peer, socklen_t length) { return handOn(fd, peer, length); },
            gateLimits(limits)) {}

LiveServer::~LiveServer() { stop(0ms); }

bool LiveServer::start(std::string& error) {
    const SignalsBlocked blocked;
    daemon_ = MHD_start_daemon(
        MHD_USE_EPOLL_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_NO_LISTEN_SOCKET, 0, nullptr, nullptr,
        &zarn::onRequest, this, MHD_OPTION_CONNECTION_LIMIT, limits_.connections + kLibraryMargin,
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, limits_.connectionsPerAddress + kLibraryMargin,
        MHD_OPTION_CONNECTION_TIMEOUT, limits_.idleSeconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT,
        limits_.connectionMemory, MHD_OPTION_NOTIFY_CONNECTION, &zarn::onConnection, this,
        MHD_OPTION_NOTIFY_COMPLETED, &zarn::onCompleted, this, MHD_OPTION_URI_LOG_CALLBACK, &zarn::onRequestLine,
        this, MHD_OPTION_END);
    if (!daemon_) {
        error = "the HTTP server did not start";
        return false;
    }
    if (!gate_.start(error)) return false;
    hub_.onWakeLater([this] {
        {
            std::lock_guard lock(watchMutex_);
            flushAsked_ = true;
        }
        watchWake_.notify_one();
    });
    watcher_ = std::thread([this] { watch(); });
    return true;
}

void LiveServer::stop(std::chrono::milliseconds most) {
    {
        std::lock_guard lock(watchMutex_);
        if (stopping_ || !daemon_) return;
        stopping_ = true;
    }
    watchWake_.notify_all();
    if (watcher_.joinable()) watcher_.join();
    gate_.stop();
    hub_.end(streamEvent("end", "{}"));
    const auto until = Clock::now() + std::max<std::chrono::milliseconds>(most - kCutGrace, 0ms);
    while (hub_.counts().streams > 0 && Clock::now() < until) std::this_thread::sleep_for(10ms);
    std::vector<uint64_t> streaming;
    {
        std::lock_guard lock(connectionsMutex_);
        for (const auto& [id, connection] : connections_)
            if (connection->streaming) streaming.push_back(id);
    }
    for (const uint64_t id : streaming) cut(id);
    const auto cutUntil = Clock::now() + kCutGrace;
    while (hub_.counts().streams > 0 && Clock::now() < cutUntil) std::this_thread::sleep_for(10ms);
    MHD_stop_daemon(daemon_);
    daemon_ = nullptr;
}

// libmicrohttpd closes a socket it refuses, though not on every path; a second descriptor
// of it tells whether it did, and answers the client either way.
bool LiveServer::handOn(int fd, const sockaddr* peer, socklen_t length) {
    const int spare = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (spare < 0) {
        answerAndClose(fd, "503 Service Unavailable");
        return false;
    }
    if (MHD_add_connection(daemon_, fd, peer, length) == MHD_YES) {
        close(spare);
        return true;
    }
    if (sameSocket(fd, spare)) close(fd);
    answerAndClose(spare, "503 Service Unavailable");
    return false;
}

void LiveServer::onConnection(MHD_Connection* c, void** context, bool started) {
    std::unique_lock lock(connectionsMutex_);
    if (started) {
        auto* connection = new Connection;
        connection->id = nextConnection_++;
        if (const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD))
            connection->fd = info->connect_fd;
        if (const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
            info && info->client_addr)
            std::memcpy(&connection->peer, info->client_addr,
                        info->client_addr->sa_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in));
        connections_[connection->id] = connection;
        *context = connection;
        return;
    }
    // Before libmicrohttpd closes the socket: cut() finds it gone from here on.
    auto* connection = static_cast<Connection*>(*context);
    if (!connection) return;
    connections_.erase(connection->id);
    const sockaddr_storage peer = connection->peer;
    delete connection;
    *context = nullptr;
    lock.unlock();
    gate_.ended(reinterpret_cast<const sockaddr*>(&peer));
}

LiveServer::Connection* LiveServer::tracked(MHD_Connection* c) {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    return info ? static_cast<Connection*>(info->socket_context) : nullptr;
}

void LiveServer::onRequestLine(MHD_Connection* c) {
    std::lock_guard lock(connectionsMutex_);
    if (Connection* connection = tracked(c)) {
        connection->phase = Connection::Phase::Heading;
        connection->since = Clock::now();
    }
}

void LiveServer::onCompleted(MHD_Connection* c, bool timedOut) {
    bool stalledStream = false;
    {
        std::lock_guard lock(connectionsMutex_);
        if (Connection* connection = tracked(c)) {
            stalledStream = connection->streaming && timedOut;
            connection->phase = Connection::Phase::Waiting;
            connection->since = Clock::now();
            connection->streaming = false;
        }
    }
    // A stream whose client took nothing for the idle time: dropped as a full queue is.
    if (stalledStream) hub_.countDropped();
}

void LiveServer::cut(uint64_t id) {
    std::lock_guard lock(connectionsMutex_);
    const auto found = connections_.find(id);
    if (found == connections_.end() || found->second->fd < 0) return;
    // Reset, not a graceful close: what the peer did not take is thrown away.
    const linger reset{1, 0};
    setsockopt(found->second->fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    shutdown(found->second->fd, SHUT_RDWR);
}

// Refused at once, before any body (libmicrohttpd then closes the connection); else
// answered once the whole request has come, so the connection stays for the next one.
int LiveServer::onRequest(MHD_Connection* c, const char* url, const char* method, const char* upload,
                          size_t* bodyBytes, void** request) {
    if (*request == &requestAnswered) return MHD_NO;
    const std::string_view verb = method;
    const std::string path = url;
    if (*request == &requestChecked) {
        if (*bodyBytes > 0) {
            // A POST's body is kept for the handler, up to its bound; a GET's taken and forgotten.
            if (verb == MHD_HTTP_METHOD_POST) {
                std::lock_guard lock(connectionsMutex_);
                if (Connection* connection = tracked(c)) {
                    if (connection->body.size() + *bodyBytes > kLargestBody) connection->bodyTooLarge = true;
                    else connection->body.append(upload, *bodyBytes);
                }
            }
            *bodyBytes = 0;
            return MHD_YES;
        }
        *request = &requestAnswered;
        uint64_t id = 0;
        {
            std::lock_guard lock(connectionsMutex_);
            if (Connection* connection = tracked(c)) id = connection->id;
        }
        if (path == "/api/stream" && verb == MHD_HTTP_METHOD_GET) return stream(c, id);
        if (verb == MHD_HTTP_METHOD_POST) return handle(c, path, verb);
        return answer(c, path, verb == MHD_HTTP_METHOD_HEAD);
    }
    *request = &requestChecked;
    {
        std::lock_guard lock(connectionsMutex_);
        Connection* connection = tracked(c);
        if (!connection || connection->timedOut) return MHD_NO;  // the 408 went out
        connection->phase = Connection::Phase::Answering;
        connection->body.clear();
        connection->bodyTooLarge = false;
    }
    if (!hosts_.empty()) {
        const char* host = MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_HOST);
        if (!host || !hostAllowed(host, hosts_))
            return send(c, MHD_HTTP_MISDIRECTED_REQUEST, "text/plain; charset=utf-8",
                        "421 Misdirected Request: not a name this page answers (--allow-host NAME adds one)\n");
    }
    const bool posting = verb == MHD_HTTP_METHOD_POST && content_.handle;
    if (verb != MHD_HTTP_METHOD_GET && verb != MHD_HTTP_METHOD_HEAD && !posting)
        return refuse(c, MHD_HTTP_METHOD_NOT_ALLOWED, "Method Not Allowed",
                      {{"Allow", content_.handle ? "GET, HEAD, POST" : "GET, HEAD"}});
    if (unsafePath(path)) return refuse(c, MHD_HTTP_BAD_REQUEST, "Bad Request");
    if (!authorised(c))
        return refuse(c, MHD_HTTP_UNAUTHORIZED, "Unauthorized", {{MHD_HTTP_HEADER_WWW_AUTHENTICATE, "Bearer"}});
    // Refused before the body comes, rather than taken whole and thrown away.
    if (const char* length = MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
        length && std::strtoull(length, nullptr, 10) > kLargestBody)
        return refuse(c, MHD_HTTP_CONTENT_TOO_LARGE, "Content Too Large");
    return MHD_YES;
}

std::optional<std::string> LiveServer::givenToken(MHD_Connection* c, bool& fromQuery) {
    fromQuery = true;
    if (const char* given = MHD_lookup_connection_value(c, MHD_GET_ARGUMENT_KIND, "token")) return given;
    fromQuery = false;
    const char* header = MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_AUTHORIZATION);
    if (!header || strncasecmp(header, "Bearer ", 7) != 0) return std::nullopt;
    std::string_view given = header + 7;
    while (!given.empty() && given.front() == ' ') given.remove_prefix(1);
    return std::string(given);
}

bool LiveServer::authorised(MHD_Connection* c) const {
    if (token_.empty()) return true;
    bool fromQuery = false;
    const auto given = givenToken(c, fromQuery);
    return given && (sameToken(*given, token_, fromQuery) || operatorAuthorised(c));
}

bool LiveServer::operatorAuthorised(MHD_Connection* c) const {
    if (content_.operatorToken.empty()) return false;
    bool fromQuery = false;
    const auto given = givenToken(c, fromQuery);
    return given && sameToken(*given, content_.operatorToken, fromQuery);
}

int LiveServer::handle(MHD_Connection* c, const std::string& path, std::string_view verb) {
    if (!content_.handle) return refuse(c, MHD_HTTP_NOT_FOUND, "Not Found");
    HttpRequest request;
    request.method = verb;
    request.path = path;
    MHD_get_connection_values(c, MHD_GET_ARGUMENT_KIND, &addParameter, &request);
    request.operatorToken = operatorAuthorised(c);
    {
        std::lock_guard lock(connectionsMutex_);
        if (Connection* connection = tracked(c)) {
            if (connection->bodyTooLarge) return refuse(c, MHD_HTTP_CONTENT_TOO_LARGE, "Content Too Large");
            request.body = std::move(connection->body);
        }
    }
    const HttpReply reply = content_.handle(request);
    return send(c, reply.status, reply.type, verb == MHD_HTTP_METHOD_HEAD ? std::string() : reply.body);
}

int LiveServer::answer(MHD_Connection* c, const std::string& path, bool head) {
    if (path == "/" || path == "/index.html")
        return send(c, MHD_HTTP_OK, "text/html; charset=utf-8", content_.page,
                    {{"Content-Security-Policy",
                      content_.pageSecurity.empty() ? kPageSecurity : content_.pageSecurity.c_str()},
                     {"Referrer-Policy", "no-referrer"}});
    if (path == "/api/status" && content_.status)
        return send(c, MHD_HTTP_OK, "application/json", content_.status());
    if (path == "/metrics") return send(c, MHD_HTTP_OK, "text/plain; version=0.0.4; charset=utf-8", content_.metrics());
    if (path == "/api/stream" && head) return send(c, MHD_HTTP_OK, "text/event-stream", "");
    if (path == "/favicon.ico") return send(c, MHD_HTTP_NO_CONTENT, "", "");
    return handle(c, path, head ? MHD_HTTP_METHOD_HEAD : MHD_HTTP_METHOD_GET);
}

int LiveServer::stream(MHD_Connection* c, uint64_t id) {
    auto stream = hub_.join(content_.firstEvent, std::make_unique<ConnectionWaker>(*this, c, id));
    if (!stream) return refuse(c, MHD_HTTP_SERVICE_UNAVAILABLE, "Service Unavailable", {{"Retry-After", "10"}});
    auto* cls = new StreamResponse{hub_, stream};
    MHD_Response* r = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, kStreamBlock, &readStream, cls, &freeStream);
    if (!r) {
        freeStream(cls);
        return MHD_NO;
    }
    MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, "text/event-stream");
    MHD_add_response_header(r, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    MHD_add_response_header(r, "X-Accel-Buffering", "no");  // nginx passes each event on at once
    {
        std::lock_guard lock(connectionsMutex_);
        if (const auto found = connections_.find(id); found != connections_.end()) {
            found->second->streaming = true;
            // Little kept in the kernel for a client: its queue here is the bound that counts.
            setsockopt(found->second->fd, SOL_SOCKET, SO_SNDBUF, &kStreamSocketBuffer, sizeof kStreamSocketBuffer);
        }
    }
    const int queued = MHD_queue_response(c, MHD_HTTP_OK, r);
    MHD_destroy_response(r);
    return queued;
}

// The requests' deadlines every kWatchEvery, the heartbeat, and the streams' put-off
// wakes when the hub asks and when they are due.
void LiveServer::watch() {
    auto look = Clock::now() + kWatchEvery, beat = Clock::now() + limits_.heartbeat;
    auto flushAt = Clock::time_point::max();
    std::unique_lock lock(watchMutex_);
    while (!stopping_) {
        watchWake_.wait_until(lock, std::min(look, flushAt), [this] { return stopping_ || flushAsked_; });
        const bool asked = std::exchange(flushAsked_, false);
        lock.unlock();
        const auto now = Clock::now();
        if (asked || now >= flushAt) flushAt = hub_.flush(now);
        if (now >= look) {
            timeOutRequests(now);
            look = now + kWatchEvery;
        }
        if (now >= beat) {
            hub_.heartbeat();
            beat = now + limits_.heartbeat;
        }
        lock.lock();
    }
}

// A 408 and the end to each connection whose request's head has not all come in time;
// the end to one that has been waiting for a request line too long, however little it
// sends meanwhile (before libmicrohttpd's own idle time, so that its end is known here).
void LiveServer::timeOutRequests(Clock::time_point now) {
    std::lock_guard lock(connectionsMutex_);
    for (auto& [id, connection] : connections_) {
        if (connection->timedOut || connection->fd < 0) continue;
        const auto waited = now - connection->since;
        const bool late = connection->phase == Connection::Phase::Heading && waited >= limits_.requestDeadline;
        if (!late && !(connection->phase == Connection::Phase::Waiting && waited >= limits_.waiting)) continue;
        connection->timedOut = true;
        if (late) (void)::send(connection->fd, kRequestTimeout, sizeof kRequestTimeout - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        shutdown(connection->fd, SHUT_RDWR);
    }
}

}  // namespace zarn
