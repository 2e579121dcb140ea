#pragma once
// ServerUser: who a test's server runs as. When the tests run as root (as CI does),
// servers drop to an existing unprivileged system user; otherwise they run as the
// tests do.
//
// ServerFolder: a fresh temporary folder that belongs to that user, removed with
// everything in it when the object ends. Files the tests put there for the server
// (configurations, certificates, pages) are handed to the user too.

#include <sys/types.h>

#include <initializer_list>
#include <string>

namespace zarn::testing {

struct ServerUser {
    std::string name;  // empty: the tests' own user
    uid_t uid = 0;
    gid_t gid = 0;
    bool drops() const { return !name.empty(); }
    // In a child between fork and exec: takes on this user's ids; false when it cannot.
    bool become() const;

    // As root: the first of `candidates` that exists on this machine, else nobody.
    // Otherwise: the tests' own user.
    static ServerUser pick(std::initializer_list<const char*> candidates);
};

// In a child between fork and exec: no signal blocked or ignored, whatever the tests did.
void resetSignals();

// /dev/shm when it is memory with 2 GB to spare, else /tmp (a container's 64 MB /dev/shm,
// say). Servers keep their files there: this machine's disk takes a millisecond to make a
// file, and a PostgreSQL cluster or a browser profile has hundreds.
std::string roomInMemory();

class ServerFolder {
public:
    // A folder <under>/<prefix>-XXXXXX owned by `user`; path() is empty when it cannot be made.
    ServerFolder(const std::string& prefix, const ServerUser& user, const std::string& under = "/tmp");
    ~ServerFolder();
    ServerFolder(const ServerFolder&) = delete;
    ServerFolder& operator=(const ServerFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    const ServerUser& user() const { return user_; }

    // Writes `name` (folders made as needed) with `mode`, owned by the user; its full path.
    std::string write(const std::string& name, const std::string& text, mode_t mode = 0644) const;
    std::string read(const std::string& name) const;
    // A copy of a file the tests made, as write() writes it.
    std::string copy(const std::string& name, const std::string& hostFile, mode_t mode = 0644) const;
    // Makes a folder below this one that the user owns; its full path.
    std::string makeFolder(const std::string& name) const;
    // Hands a file or folder the tests made to the user.
    void giveToUser(const std::string& path) const;

private:
    ServerUser user_;
    std::string path_;
};

}  // namespace zarn::testing
