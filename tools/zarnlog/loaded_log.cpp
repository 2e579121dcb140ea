#include "tools/zarnlog/loaded_log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace zarn {

bool loadLog(std::vector<uint8_t> bytes, LoadedLog& log) {
    log.bytes = std::move(bytes);
    log.records.clear();
    LogReader reader(log.bytes.data(), log.bytes.size());
    if (!reader.readHeader(log.header)) {
        log.problem = reader.problem();
        return false;
    }
    LogRecord r;
    ReadStatus status;
    while ((status = reader.next(r)) == ReadStatus::Record) log.records.push_back(r);
    log.damaged = status == ReadStatus::Bad;
    log.problem = reader.problem();
    log.badOffset = reader.badOffset();
    return true;
}

bool loadLogFile(const std::string& path, LoadedLog& log) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        log.problem = std::strerror(errno);
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        log.problem = "read error";
        return false;
    }
    return loadLog(std::move(bytes), log);
}

std::string isoTime(const LocalTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

std::string clockTime(const LocalTime& t) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    return text;
}

}  // namespace zarn
