#include "outputs/archive/archive_connection.h"

#include <libpq-fe.h>
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace zarn {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTickMs = 100;
constexpr size_t kCopyChunk = size_t{1} << 20;

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

// libpq's text on one line: its line ends, tabs and runs of blanks one blank each.
std::string oneLine(const char* text) {
    std::string out;
    for (const char* c = text ? text : ""; *c; ++c) {
        const bool blank = *c == '\n' || *c == '\t' || *c == ' ';
        if (!blank) out += *c;
        else if (!out.empty() && out.back() != ' ') out += ' ';
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// The server's words for a failed statement: its message, and its hint.
std::string serverMessage(const PGresult* r, PGconn* conn) {
    const char* primary = PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY);
    if (!primary) return oneLine(PQerrorMessage(conn));
    std::string text = primary;
    if (const char* hint = PQresultErrorField(r, PG_DIAG_MESSAGE_HINT)) text += " (" + std::string(hint) + ")";
    return text;
}

int connectSeconds(PGconn* conn, int otherwise) {
    int seconds = 0;
    if (PQconninfoOption* options = PQconninfo(conn)) {
        for (PQconninfoOption* o = options; o->keyword; ++o)
            if (!std::strcmp(o->keyword, "connect_timeout") && o->val) seconds = std::atoi(o->val);
        PQconninfoFree(options);
    }
    return seconds > 0 ? std::max(seconds, 2) : otherwise;
}

std::string describe(PGconn* conn) {
    const auto part = [](const char* key, const char* value) {
        return value && *value ? std::string(key) + "=" + value : std::string();
    };
    std::string text;
    for (const std::string& p : {part("host", PQhost(conn)), part("port", PQport(conn)), part("dbname", PQdb(conn)),
                                 part("user", PQuser(conn))})
        if (!p.empty()) text += (text.empty() ? "" : " ") + p;
    return text;
}

}  // namespace

std::string SqlRows::text(size_t row, size_t column) const {
    if (row >= rows.size() || column >= rows[row].size() || !rows[row][column]) return {};
    return *rows[row][column];
}

ArchiveConnection::~ArchiveConnection() { close(); }

void ArchiveConnection::close() {
    if (conn_) PQfinish(conn_);
    conn_ = nullptr;
}

int ArchiveConnection::serverVersion() const { return conn_ ? PQserverVersion(conn_) : 0; }

bool ArchiveConnection::fail(std::string& error, const std::string& what) {
    error = what;
    if (aborted() || !conn_ || PQstatus(conn_) == CONNECTION_BAD) close();
    return false;
}

bool ArchiveConnection::awaitNotifications(int milliseconds, std::vector<std::string>& payloads, std::string& error,
                                            std::vector<std::string>* channels) {
    if (!conn_) return fail(error, "not connected");
    const auto take = [&] {
        while (PGnotify* n = PQnotifies(conn_)) {
            payloads.emplace_back(n->extra ? n->extra : "");
            if (channels) channels->emplace_back(n->relname ? n->relname : "");
            PQfreemem(n);
        }
    };
    take();
    if (!payloads.empty()) return true;
    pollfd p{PQsocket(conn_), POLLIN, 0};
    if (p.fd < 0) return fail(error, "the connection is gone");
    const int ready = ::poll(&p, 1, milliseconds);
    if (ready < 0 && errno != EINTR) return fail(error, std::strerror(errno));
    if (ready > 0 && (!PQconsumeInput(conn_) || PQstatus(conn_) == CONNECTION_BAD))
        return fail(error, oneLine(PQerrorMessage(conn_)));
    take();
    return true;
}

bool ArchiveConnection::open(const std::string& conninfo, const std::string& program, std::string& error) {
    close();
    sqlState_.clear();
    target_.clear();
    if (std::string problem = conninfoProblem(conninfo); !problem.empty()) return error = std::move(problem), false;
    // Ours first, so that the conninfo overrides them; the encoding last, as every text we send is UTF-8.
    std::vector<const char*> keys, values;
    const auto set = [&](const char* key, const char* value) {
        keys.push_back(key);
        values.push_back(value);
    };
    if (!std::getenv("PGAPPNAME")) set("application_name", program.c_str());
    set("keepalives_idle", "30");
    set("keepalives_interval", "10");
    set("keepalives_count", "3");
    set("tcp_user_timeout", "60000");
    set("dbname", conninfo.c_str());
    set("client_encoding", "UTF8");
    set(nullptr, nullptr);
    conn_ = PQconnectStartParams(keys.data(), values.data(), 1);
    if (!conn_) return error = "out of memory", false;
    target_ = describe(conn_);
    const int seconds = connectSeconds(conn_, connectSeconds_);
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    PostgresPollingStatusType polled = PGRES_POLLING_WRITING;
    while (PQstatus(conn_) != CONNECTION_BAD && polled != PGRES_POLLING_OK && polled != PGRES_POLLING_FAILED) {
        if (aborted()) return fail(error, "given up at the end");
        if (Clock::now() >= deadline) return fail(error, "no answer within " + std::to_string(seconds) + " s");
        pollfd p{PQsocket(conn_), static_cast<short>(polled == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
        const int ready = ::poll(&p, 1, kTickMs);
        if (ready < 0 && errno != EINTR) return fail(error, std::strerror(errno));
        if (ready > 0) polled = PQconnectPoll(conn_);
    }
    target_ = describe(conn_);
    if (PQstatus(conn_) != CONNECTION_OK) {
        error = oneLine(PQerrorMessage(conn_));
        if (PQconnectionNeedsPassword(conn_))
            error += "; a password goes in ~/.pgpass (mode 600, a line host:port:database:user:password) or the "
                     "file PGPASSFILE names, never on the command line";
        close();
        return false;
    }
    PQsetnonblocking(conn_, 1);
    return true;
}

bool ArchiveConnection::await(Wait wait, std::string& error) {
    for (;;) {
        if (aborted()) return fail(error, "given up at the end");
        pollfd p{PQsocket(conn_), static_cast<short>(wait == Wait::Read ? POLLIN : POLLOUT | POLLIN), 0};
        const int ready = ::poll(&p, 1, kTickMs);
        if (ready < 0 && errno != EINTR) return fail(error, std::strerror(errno));
        if (ready > 0) return true;
    }
}

// Sends what libpq holds, reading what the server says meanwhile so that neither side stalls.
bool ArchiveConnection::flush(std::string& error) {
    for (;;) {
        const int left = PQflush(conn_);
        if (left == 0) return true;
        if (left < 0) return fail(error, oneLine(PQerrorMessage(conn_)));
        if (!await(Wait::Write, error)) return false;
        if (!PQconsumeInput(conn_)) return fail(error, oneLine(PQerrorMessage(conn_)));
    }
}

// Every result of what was sent, up to a COPY's start; the first failure's message.
bool ArchiveConnection::results(PGresult** copyStarted, std::string& error) {
    std::string failure;
    for (;;) {
        while (PQisBusy(conn_)) {
            if (!await(Wait::Read, error)) return false;
            if (!PQconsumeInput(conn_)) return fail(error, oneLine(PQerrorMessage(conn_)));
        }
        PGresult* r = PQgetResult(conn_);
        if (!r) break;
        const ExecStatusType status = PQresultStatus(r);
        if (status == PGRES_COPY_IN && copyStarted) {
            *copyStarted = r;
            return true;
        }
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && status != PGRES_COPY_IN && failure.empty()) {
            failure = serverMessage(r, conn_);
            const char* state = PQresultErrorField(r, PG_DIAG_SQLSTATE);
            sqlState_ = state ? state : "";
        }
        PQclear(r);
    }
    if (failure.empty() && PQstatus(conn_) == CONNECTION_BAD) failure = oneLine(PQerrorMessage(conn_));
    if (!failure.empty()) return fail(error, failure);
    return true;
}

bool ArchiveConnection::exec(const std::string& sql, const std::vector<SqlValue>& params, SqlRows* rows,
                             std::string& error) {
    sqlState_.clear();
    if (!conn_) return error = "not connected", false;
    std::vector<const char*> values;
    for (const SqlValue& p : params) values.push_back(p ? p->c_str() : nullptr);
    // Without parameters through the simple protocol, which takes a script of several statements.
    const int sent = params.empty() ? PQsendQuery(conn_, sql.c_str())
                                    : PQsendQueryParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr,
                                                        values.data(), nullptr, nullptr, 0);
    if (!sent) return fail(error, oneLine(PQerrorMessage(conn_)));
    if (!flush(error)) return false;
    if (!rows) return results(nullptr, error);
    // The rows of the last result: read here rather than in results(), which keeps none.
    rows->rows.clear();
    std::string failure;
    for (;;) {
        while (PQisBusy(conn_)) {
            if (!await(Wait::Read, error)) return false;
            if (!PQconsumeInput(conn_)) return fail(error, oneLine(PQerrorMessage(conn_)));
        }
        Result r(PQgetResult(conn_), &PQclear);
        if (!r) break;
        const ExecStatusType status = PQresultStatus(r.get());
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            if (failure.empty()) {
                failure = serverMessage(r.get(), conn_);
                const char* state = PQresultErrorField(r.get(), PG_DIAG_SQLSTATE);
                sqlState_ = state ? state : "";
            }
            continue;
        }
        rows->rows.clear();
        for (int row = 0; row < PQntuples(r.get()); ++row) {
            auto& cells = rows->rows.emplace_back();
            for (int column = 0; column < PQnfields(r.get()); ++column)
                cells.push_back(PQgetisnull(r.get(), row, column) ? SqlValue{}
                                                                   : SqlValue{PQgetvalue(r.get(), row, column)});
        }
    }
    if (failure.empty() && PQstatus(conn_) == CONNECTION_BAD) failure = oneLine(PQerrorMessage(conn_));
    if (!failure.empty()) return fail(error, failure);
    return true;
}

bool ArchiveConnection::copyIn(const std::string& copy, std::string_view data, std::string& error) {
    sqlState_.clear();
    if (!conn_) return error = "not connected", false;
    if (!PQsendQuery(conn_, copy.c_str())) return fail(error, oneLine(PQerrorMessage(conn_)));
    if (!flush(error)) return false;
    PGresult* started = nullptr;
    if (!results(&started, error)) return false;
    if (!started) return fail(error, "the server did not begin the COPY");
    PQclear(started);
    // A server that fails the COPY part-way (a full disk) ends it: the rest is not sent, its reason read.
    bool ended = false;
    while (!data.empty() && !ended) {
        const std::string_view chunk = data.substr(0, kCopyChunk);
        const int put = PQputCopyData(conn_, chunk.data(), static_cast<int>(chunk.size()));
        if (put < 0) ended = true;
        else if (put == 0 && !await(Wait::Write, error)) return false;
        else if (put == 1) data.remove_prefix(chunk.size());
        if (!ended && !flush(error)) return false;
    }
    while (!ended) {
        const int put = PQputCopyEnd(conn_, nullptr);
        if (put < 0) break;
        if (put == 1) break;
        if (!await(Wait::Write, error)) return false;
    }
    if (!flush(error)) return false;
    if (!results(nullptr, error)) return false;
    if (ended) return fail(error, oneLine(PQerrorMessage(conn_)));
    return true;
}

// libpq's reasons quote the conninfo, a password and all, and they end in journals:
// ours name the kind of mistake, never a word of the text.
std::string conninfoProblem(const std::string& conninfo) {
    char* message = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.c_str(), &message);
    const bool taken = options != nullptr;
    const std::string reason = message ? message : "";
    PQconninfoFree(options);
    PQfreemem(message);
    if (taken) return {};
    if (reason.empty()) return "out of memory";
    const auto says = [&](const char* text) { return reason.find(text) != std::string::npos; };
    std::string what = "not keyword=value pairs or a postgresql:// URI that libpq takes";
    if (says("missing \"=\"")) what = "a word without \"=\" (a value with blanks goes in single quotes: password='a b')";
    else if (says("unterminated quoted string")) what = "a quoted value that does not end";
    else if (says("invalid connection option")) what = "an option that libpq does not know";
    else if (says("URI")) what = "a postgresql:// URI that libpq cannot read";
    return "not a conninfo libpq takes: " + what + "; the text is not repeated here, as it may hold a password";
}

std::string chosenArchive(const std::string& given, const char* program, std::string& problem) {
    const char* fromEnvironment = std::getenv("ZARN_ARCHIVE");
    const std::string chosen = !given.empty() ? given : fromEnvironment ? fromEnvironment : "";
    problem.clear();
    if (chosen.empty()) return chosen;
    if (std::string why = conninfoProblem(chosen); !why.empty())
        problem = (given.empty() ? "ZARN_ARCHIVE: " : "--archive: ") + why;
    else if (!given.empty() && conninfoHasPassword(given))
        std::fprintf(stderr, "%s: --archive names a password, which every user of this machine can see; keep it in "
                             "~/.pgpass (mode 600) instead\n", program);
    return chosen;
}

bool conninfoHasPassword(const std::string& conninfo) {
    PQconninfoOption* options = PQconninfoParse(conninfo.c_str(), nullptr);
    bool found = false;
    for (PQconninfoOption* o = options; o && o->keyword; ++o)
        if (!std::strcmp(o->keyword, "password") && o->val && *o->val) found = true;
    PQconninfoFree(options);
    return found;
}

}  // namespace zarn
