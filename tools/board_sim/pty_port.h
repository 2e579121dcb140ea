#pragma once
// PtyPort: the simulator's end of a pseudo-terminal. The simulator keeps the other end
// open itself (in raw mode), so the program may close and reopen its end at any time
// without the simulator seeing a hang-up.

#include <cstddef>
#include <cstdint>
#include <string>

namespace zarn::sim {

class PtyPort {
public:
    PtyPort() = default;
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    bool open(std::string& error);
    const std::string& path() const { return path_; }
    int fd() const { return master_; }
    // Non-blocking: bytes read (0 when none), bytes written (0 when the queue is full).
    size_t readSome(uint8_t* buffer, size_t capacity);
    size_t writeSome(const uint8_t* bytes, size_t length);

private:
    int master_ = -1;
    int keeper_ = -1;
    std::string path_;
};

}  // namespace zarn::sim
