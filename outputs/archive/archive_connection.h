#pragma once
// ArchiveConnection: one libpq connection to the archive database.
//
// - open() takes anything libpq takes (keyword=value or a postgresql:// URI);
//   PG* variables, ~/.pgpass and PGPASSFILE work as in psql. The client
//   encoding is UTF-8; TCP keep-alives and a user timeout notice a network
//   that went away within a minute (a conninfo may set its own).
// - Every wait on the server (connecting, a statement, COPY) polls the
//   socket a tenth of a second at a time: once `abort` is set, the call under
//   way fails within that time and the connection is closed (the server
//   rolls back what was open). Connecting gives up after connect_timeout
//   (the conninfo's, PGCONNECT_TIMEOUT, else 10 s or what connectWithin() set).
// - Statements take their values as parameters, never spliced into the text.
// - target() names the server as "host=H port=P dbname=D user=U", never with
//   a password, for messages.

#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct pg_conn;
struct pg_result;

namespace zarn {

using SqlValue = std::optional<std::string>;  // nullopt: NULL

// The rows of a statement's result, each cell its text or nullopt for NULL.
struct SqlRows {
    std::vector<std::vector<SqlValue>> rows;
    bool empty() const { return rows.empty(); }
    // The cell's text; "" for NULL or a cell that is not there.
    std::string text(size_t row, size_t column) const;
};

class ArchiveConnection {
public:
    explicit ArchiveConnection(const std::atomic<bool>* abort = nullptr) : abort_(abort) {}
    ~ArchiveConnection();
    ArchiveConnection(const ArchiveConnection&) = delete;
    ArchiveConnection& operator=(const ArchiveConnection&) = delete;

    // `program` is the application name the server shows (PGAPPNAME wins).
    bool open(const std::string& conninfo, const std::string& program, std::string& error);
    bool isOpen() const { return conn_ != nullptr; }
    // The time open() gives a server when neither the conninfo nor PGCONNECT_TIMEOUT says.
    void connectWithin(int seconds) { connectSeconds_ = seconds; }
    void close();
    const std::string& target() const { return target_; }

    bool exec(const std::string& sql, const std::vector<SqlValue>& params, SqlRows* rows, std::string& error);
    bool exec(const std::string& sql, std::string& error) { return exec(sql, {}, nullptr, error); }
    // COPY ... FROM STDIN with `data` in the COPY's format.
    bool copyIn(const std::string& copy, std::string_view data, std::string& error);

    // Waits up to `milliseconds` for notifications on the channels LISTENed to, their payloads
    // added to `payloads` (and their channels to `channels`, when given); false when the connection
    // failed (it is closed then).
    bool awaitNotifications(int milliseconds, std::vector<std::string>& payloads, std::string& error,
                            std::vector<std::string>* channels = nullptr);

    // The SQLSTATE of the last failure the server reported ("53100" a full disk); "" for others.
    const std::string& sqlState() const { return sqlState_; }
    // The server's version number (150004 for 15.4).
    int serverVersion() const;

private:
    enum class Wait { Read, Write };
    bool await(Wait wait, std::string& error);
    bool flush(std::string& error);
    bool results(pg_result** last, std::string& error);
    bool fail(std::string& error, const std::string& what);
    bool aborted() const { return abort_ && abort_->load(); }

    const std::atomic<bool>* abort_;
    pg_conn* conn_ = nullptr;
    int connectSeconds_ = 10;
    std::string target_;
    std::string sqlState_;
};

// Why libpq would not take `conninfo`, in words that quote none of it (libpq's
// quote it, password and all); empty when it would.
std::string conninfoProblem(const std::string& conninfo);
// Whether `conninfo` spells out a password (better kept in ~/.pgpass).
bool conninfoHasPassword(const std::string& conninfo);
// A program's archive: `given` (its --archive), else ZARN_ARCHIVE; "" for neither. What libpq
// would refuse goes to `problem`, named by where it came from; a password spelled out on the
// command line, where every user can read it, is warned of on stderr by `program`.
std::string chosenArchive(const std::string& given, const char* program, std::string& problem);

}  // namespace zarn
