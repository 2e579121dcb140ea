#include "testing/servers/server_folder.h"

#include <grp.h>
#include <linux/magic.h>
#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace zarn::testing {

ServerUser ServerUser::pick(std::initializer_list<const char*> candidates) {
    ServerUser user;
    if (geteuid() != 0) {
        user.uid = geteuid();
        user.gid = getegid();
        return user;
    }
    const passwd* found = nullptr;
    for (const char* name : candidates)
        if ((found = getpwnam(name))) break;
    if (!found) found = getpwnam("nobody");
    if (!found) return user;  // no unprivileged user at all: run as root rather than not at all
    user.name = found->pw_name;
    user.uid = found->pw_uid;
    user.gid = found->pw_gid;
    return user;
}

bool ServerUser::become() const {
    if (!drops()) return true;
    const gid_t group = gid;
    return setgroups(1, &group) == 0 && setgid(gid) == 0 && setuid(uid) == 0;
}

void resetSignals() {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    for (int s = 1; s < NSIG; ++s)
        if (s != SIGKILL && s != SIGSTOP) sigaction(s, &byDefault, nullptr);
}

std::string roomInMemory() {
    struct statfs fs {};
    constexpr unsigned long long kRoom = 2ULL << 30;
    if (statfs("/dev/shm", &fs) == 0 && fs.f_type == TMPFS_MAGIC &&
        static_cast<unsigned long long>(fs.f_bavail) * static_cast<unsigned long long>(fs.f_bsize) >= kRoom)
        return "/dev/shm";
    return "/tmp";
}

ServerFolder::ServerFolder(const std::string& prefix, const ServerUser& user, const std::string& under)
    : user_(user) {
    std::string tmpl = under + "/" + prefix + "-XXXXXX";
    if (!mkdtemp(tmpl.data())) return;
    path_ = tmpl;
    giveToUser(path_);
}

ServerFolder::~ServerFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

void ServerFolder::giveToUser(const std::string& path) const {
    if (user_.drops() && chown(path.c_str(), user_.uid, user_.gid) != 0) {
        // The server then fails to read it and says so in its log.
    }
}

std::string ServerFolder::makeFolder(const std::string& name) const {
    const std::string path = file(name);
    std::error_code ignored;
    std::filesystem::create_directories(path, ignored);
    giveToUser(path);
    return path;
}

std::string ServerFolder::write(const std::string& name, const std::string& text, mode_t mode) const {
    const std::string path = file(name);
    const auto parent = std::filesystem::path(path).parent_path();
    if (parent != std::filesystem::path(path_)) makeFolder(parent.lexically_relative(path_).string());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    chmod(path.c_str(), mode);
    giveToUser(path);
    return path;
}

std::string ServerFolder::read(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ServerFolder::copy(const std::string& name, const std::string& hostFile, mode_t mode) const {
    std::ifstream in(hostFile, std::ios::binary);
    return write(name, std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), mode);
}

}  // namespace zarn::testing
