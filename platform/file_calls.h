#pragma once
// The device's file and shell calls used to install programs, on the device
// file system of device_root.h. Paths are device paths ("\Program Files\x");
// text is UTF-8. Every call that fails sets the calling thread's last-error
// code, which GetLastError returns until the next failing call (a call that
// succeeds leaves it alone, as on the device).
//
//  - SHGetAutoRunPath: the full path of the storage card's autorun program,
//    "\Storage Card\autorun.exe". Fails (ERROR_PATH_NOT_FOUND, path emptied)
//    when there is no storage card: its host folder does not exist.
//  - CreateDirectory: one folder; its parent must exist. Fails with
//    ERROR_ALREADY_EXISTS for an existing folder or file, ERROR_PATH_NOT_FOUND
//    for a missing parent or a refused path (one that leaves the root).
//  - CopyFile(from, to, failIfExists): copies the bytes and the permission to
//    run. With failIfExists FALSE an existing file is overwritten in place.
//    Fails with ERROR_FILE_NOT_FOUND (no such source file),
//    ERROR_PATH_NOT_FOUND (a folder of either path missing, or refused),
//    ERROR_FILE_EXISTS (failIfExists and the target exists),
//    ERROR_ACCESS_DENIED (a folder in the way, no permission),
//    ERROR_SHARING_VIOLATION (the target is a running program),
//    ERROR_DISK_FULL, ERROR_WRITE_FAULT (any other write error); copying a
//    file onto itself fails with ERROR_SHARING_VIOLATION and leaves it whole;
//    a copy that fails part way removes what it wrote.
//  - SHCreateShortcut(shortcut, target): writes the shortcut file, one line
//    in the device's form: the number of characters of the target, '#', the
//    target, no line end; an existing shortcut is replaced. Fails like the
//    target side of CopyFile.
//  - FormatMessage with FORMAT_MESSAGE_FROM_SYSTEM: the system's text for an
//    error code, ending in "\r\n", into *text; returns its length in
//    characters. An unknown code, or a call without FROM_SYSTEM, returns 0,
//    leaves *text empty and sets ERROR_MR_MID_NOT_FOUND. The text is the
//    caller's string, so nothing is to be released (LocalFree is not needed).

#include <cstdint>
#include <string>

namespace zarn {

constexpr uint32_t ERROR_SUCCESS = 0;
constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr uint32_t ERROR_PATH_NOT_FOUND = 3;
constexpr uint32_t ERROR_ACCESS_DENIED = 5;
constexpr uint32_t ERROR_WRITE_FAULT = 29;
constexpr uint32_t ERROR_SHARING_VIOLATION = 32;
constexpr uint32_t ERROR_FILE_EXISTS = 80;
constexpr uint32_t ERROR_DISK_FULL = 112;
constexpr uint32_t ERROR_ALREADY_EXISTS = 183;
constexpr uint32_t ERROR_MR_MID_NOT_FOUND = 317;

constexpr uint32_t FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x0100;
constexpr uint32_t FORMAT_MESSAGE_IGNORE_INSERTS = 0x0200;
constexpr uint32_t FORMAT_MESSAGE_FROM_SYSTEM = 0x1000;

constexpr size_t MAX_PATH = 260;

uint32_t GetLastError();
void SetLastError(uint32_t code);

bool SHGetAutoRunPath(std::string& path);
bool CreateDirectory(const std::string& path, void* security = nullptr);
bool CopyFile(const std::string& from, const std::string& to, bool failIfExists);
bool SHCreateShortcut(const std::string& shortcut, const std::string& target);
uint32_t FormatMessage(uint32_t flags, const void* source, uint32_t code, uint32_t language, std::string* text);

}  // namespace zarn
