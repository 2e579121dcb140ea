#pragma once
// Clients of zarn-record's live page for its end-to-end tests, on plain sockets, so
// that a test says every byte it sends and sees every byte it gets.
//
// - StreamClient: one GET of /api/stream, read as it comes (read() takes what the
//   socket has): the response's head, its chunks undone, its events taken apart.
// - exchange(): raw bytes to the page and the first line of what comes back.
// - httpGet(): a GET and its status and body.
// - openConnection(): a connection from a loopback address of the test's choosing
//   (127.0.0.2 and up are this machine too), as another client would come.
// Nothing here waits on the page for more than some seconds: a page that hangs fails
// the test instead of stopping it.

#include <chrono>
#include <string>
#include <vector>

namespace zarn::testing {

struct StreamEvent {
    std::string type;  // "status", "record", "live", "end"
    std::string data;
};

class StreamClient {
public:
    StreamClient() = default;
    ~StreamClient();
    StreamClient(const StreamClient&) = delete;
    StreamClient& operator=(const StreamClient&) = delete;

    // Connects and asks for `target`; `headers` are more lines, each with its CRLF;
    // `receiveBuffer` > 0 makes the socket's receive buffer that small (a client that
    // takes little). False when it cannot connect.
    bool open(int port, const std::string& target = "/api/stream", const std::string& headers = "",
              int receiveBuffer = 0);
    // Takes what the socket has, without waiting; false once the server has closed it.
    bool read();
    int fd() const { return fd_; }
    bool closed() const { return closed_; }
    int status() const { return status_; }  // the response's, 0 before its head
    const std::vector<StreamEvent>& events() const { return events_; }
    // The "offset" of each record event, in the order they came.
    std::vector<long long> recordOffsets() const;
    bool saw(const std::string& type) const;

private:
    void take(const char* bytes, size_t n);
    void body(const char* bytes, size_t n);

    int fd_ = -1;
    bool closed_ = false;
    int status_ = 0;
    std::string head_, raw_, text_;
    bool chunked_ = false, inBody_ = false;
    size_t chunkLeft_ = 0;
    enum class Chunk { Size, Data, End } chunk_ = Chunk::Size;
    std::vector<StreamEvent> events_;
};

// Sends `request` on a new connection and waits up to `wait` for the answer's first
// line ("HTTP/1.1 400 Bad Request"); "" when the connection closed without one.
std::string exchange(int port, const std::string& request, std::chrono::milliseconds wait = std::chrono::seconds(5));

struct HttpAnswer {
    int status = 0;
    std::string head, body;
};
HttpAnswer httpGet(int port, const std::string& target, const std::string& headers = "",
                   const std::string& from = "127.0.0.1");

// To 127.0.0.1:port from `from`; -1 when it is not accepted within 2 s.
int openConnection(int port, const std::string& from = "127.0.0.1");

// Processor seconds (user and system) a process has used.
double processorSeconds(int pid);

}  // namespace zarn::testing
