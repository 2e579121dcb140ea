#include "platform/file_calls.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/device_root.h"
#include "platform/utf16.h"

namespace zarn {
namespace {

thread_local uint32_t lastError = ERROR_SUCCESS;

bool fail(uint32_t code) {
    lastError = code;
    return false;
}

bool exists(const std::string& host) {
    struct stat st {};
    return stat(host.c_str(), &st) == 0;
}

bool parentExists(const std::string& host) {
    size_t slash = host.rfind('/');
    return slash == std::string::npos || exists(host.substr(0, slash == 0 ? 1 : slash));
}

// What a failed open or write of a target means on the device.
uint32_t targetError(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case ETXTBSY: return ERROR_SHARING_VIOLATION;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return ERROR_ACCESS_DENIED;
    default: return ERROR_WRITE_FAULT;
    }
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Copies the open source into the open target; false with errno set.
bool copyBytes(int from, int to) {
    char buffer[64 * 1024];
    for (;;) {
        ssize_t n = read(from, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (!writeAll(to, buffer, static_cast<size_t>(n))) return false;
    }
}

// Opens a target for writing from scratch, mode bits as given; -1 with the error set.
int openTarget(const std::string& host, mode_t mode) {
    int fd = open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) fail(targetError(errno));
    return fd;
}

// Closes a target; on a failed write (error != 0) or close, removes it and records the error.
bool finishTarget(int fd, const std::string& host, int error) {
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0) return true;
    unlink(host.c_str());
    return fail(targetError(error));
}

struct SystemText {
    uint32_t code;
    const char* text;
};
const SystemText kSystemTexts[] = {
    {ERROR_SUCCESS, "The operation completed successfully."},
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified."},
    {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified."},
    {ERROR_ACCESS_DENIED, "Access is denied."},
    {ERROR_WRITE_FAULT, "The system cannot write to the specified device."},
    {ERROR_SHARING_VIOLATION, "The process cannot access the file because it is being used by another process."},
    {ERROR_FILE_EXISTS, "The file exists."},
    {ERROR_DISK_FULL, "There is not enough space on the disk."},
    {ERROR_ALREADY_EXISTS, "Cannot create a file when that file already exists."},
};

}  // namespace

uint32_t GetLastError() { return lastError; }
void SetLastError(uint32_t code) { lastError = code; }

bool SHGetAutoRunPath(std::string& path) {
    path.clear();
    if (hostPath("\\Storage Card").empty()) return fail(ERROR_PATH_NOT_FOUND);
    path = "\\Storage Card\\autorun.exe";
    return true;
}

bool CreateDirectory(const std::string& path, void*) {
    const std::string host = hostPath(path);
    if (host.empty()) return fail(ERROR_PATH_NOT_FOUND);
    if (mkdir(host.c_str(), 0755) == 0) return true;
    return fail(errno == EEXIST ? ERROR_ALREADY_EXISTS : targetError(errno));
}

bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
    const std::string source = hostPath(from), target = hostPath(to);
    if (source.empty() || target.empty()) return fail(ERROR_PATH_NOT_FOUND);
    int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return fail(errno == ENOENT && parentExists(source) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    struct stat src {}, dst {};
    bool targetExists = stat(target.c_str(), &dst) == 0;
    uint32_t refusal = ERROR_SUCCESS;
    if (fstat(in, &src) != 0 || !S_ISREG(src.st_mode)) refusal = ERROR_ACCESS_DENIED;
    else if (targetExists && failIfExists) refusal = ERROR_FILE_EXISTS;
    else if (targetExists && src.st_dev == dst.st_dev && src.st_ino == dst.st_ino) refusal = ERROR_SHARING_VIOLATION;
    if (refusal != ERROR_SUCCESS) {
        close(in);
        return fail(refusal);
    }
    int out = openTarget(target, src.st_mode & 0777);
    if (out < 0) {
        close(in);
        return false;
    }
    int error = copyBytes(in, out) ? 0 : errno;
    if (error == 0 && fchmod(out, src.st_mode & 0777) != 0) error = errno;
    close(in);
    return finishTarget(out, target, error);
}

bool SHCreateShortcut(const std::string& shortcut, const std::string& target) {
    const std::string host = hostPath(shortcut);
    if (host.empty()) return fail(ERROR_PATH_NOT_FOUND);
    const std::string line = std::to_string(utf8ToUtf16(target).size()) + "#" + target;
    int out = openTarget(host, 0644);
    if (out < 0) return false;
    return finishTarget(out, host, writeAll(out, line.data(), line.size()) ? 0 : errno);
}

uint32_t FormatMessage(uint32_t flags, const void*, uint32_t code, uint32_t, std::string* text) {
    if (text) text->clear();
    if (text && (flags & FORMAT_MESSAGE_FROM_SYSTEM))
        for (const SystemText& t : kSystemTexts)
            if (t.code == code) {
                *text = std::string(t.text) + "\r\n";
                return static_cast<uint32_t>(utf8ToUtf16(*text).size());
            }
    lastError = ERROR_MR_MID_NOT_FOUND;
    return 0;
}

}  // namespace zarn
