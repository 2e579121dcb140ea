#include "testing/servers/postgres_server.h"

#include <libpq-fe.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "testing/servers/run_program.h"

namespace zarn::testing {
namespace {


const std::string kBin = ZARN_POSTGRES_BIN_DIR;
const char* const kSuperuser = "postgres";
// Databases WithPostgis are copies of this one: a copy is quicker than CREATE EXTENSION.
const char* const kPostgisTemplate = "zarn_postgis_template";

// `value` with `special` and the backslash each behind a backslash.
std::string backslashed(const std::string& value, char special) {
    std::string out;
    for (char c : value) {
        if (c == special || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

// A conninfo value, quoted as libpq reads it.
std::string quoted(const std::string& value) { return "'" + backslashed(value, '\'') + "'"; }
// A .pgpass field.
std::string passField(const std::string& value) { return backslashed(value, ':'); }

using Connection = std::unique_ptr<PGconn, decltype(&PQfinish)>;
using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

// Keeps the owner and the modes postgres insists on.
std::vector<std::string> copyCommand(const std::string& from, const std::string& to) {
    return {"cp", "-r", "--preserve=mode,ownership", from, to};
}

}  // namespace

SqlResult runSql(const std::string& conninfo, const std::string& statement, const std::vector<std::string>& params) {
    SqlResult out;
    Connection c(PQconnectdb((conninfo + " connect_timeout=10").c_str()), &PQfinish);
    if (PQstatus(c.get()) != CONNECTION_OK) {
        out.error = PQerrorMessage(c.get());
        return out;
    }
    std::vector<const char*> values;
    for (const auto& p : params) values.push_back(p.c_str());
    // Without parameters a script of several statements runs too.
    Result r(params.empty() ? PQexec(c.get(), statement.c_str())
                            : PQexecParams(c.get(), statement.c_str(), static_cast<int>(values.size()), nullptr,
                                           values.data(), nullptr, nullptr, 0),
             &PQclear);
    const ExecStatusType status = PQresultStatus(r.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        out.error = PQresultErrorMessage(r.get());
        if (out.error.empty()) out.error = PQerrorMessage(c.get());
        return out;
    }
    for (int row = 0; row < PQntuples(r.get()); ++row) {
        auto& cells = out.rows.emplace_back();
        for (int col = 0; col < PQnfields(r.get()); ++col)
            cells.push_back(PQgetisnull(r.get(), row, col) ? std::nullopt
                                                           : std::optional<std::string>(PQgetvalue(r.get(), row, col)));
    }
    return out;
}

PostgresServer::PostgresServer(PostgresOptions options)
    : TestServer("zarn-pg", {"postgres"}, options.inMemory ? roomInMemory() : "/tmp"),
      settings_(std::move(options.settings)) {}

// fsync=off only risks what the machine's crash would lose. A commit still reaches the
// kernel before it returns, so a killed server keeps it, as tests of a crash need.
ServerCommand PostgresServer::command() const {
    ServerCommand command{kBin + "/postgres",
                          {"-D", folder_.file("data"), "-p", std::to_string(port_), "-k", folder_.path(), "-c",
                           "listen_addresses=127.0.0.1", "-c", "fsync=off"},
                          {{"LC_ALL", "C.UTF-8"}},
                          folder_.path(),
                          SIGINT};  // a fast shutdown: SIGTERM would wait for every client to leave
    for (const auto& s : settings_) command.args.insert(command.args.end(), {"-c", s});
    return command;
}

bool PostgresServer::ready() { return PQping(conninfo().c_str()) == PQPING_OK; }

// A cluster with the PostGIS template in it, made once for every server of this build:
// initdb and CREATE EXTENSION postgis take seconds, a copy a fraction of one.
std::string PostgresServer::cachedCluster() const {
    const ProgramRun version = runProgram({kBin + "/postgres", "--version"});
    if (version.status != 0) return {};
    std::ostringstream name;
    name << ZARN_TEST_CACHE_DIR << "/postgres-" << std::hex << std::hash<std::string>{}(version.output);
    return name.str();
}

bool PostgresServer::initCluster(std::string& error) {
    const ProgramRun init = runProgram({kBin + "/initdb", "-D", folder_.file("data"), "-U", kSuperuser, "-A", "trust",
                                        "-E", "UTF8", "--locale=C.UTF-8", "--no-sync", "--no-instructions",
                                        "--wal-segsize=1"},  // a small cluster to copy
                                       "", user_);
    if (init.status != 0) {
        error = "initdb failed (are postgresql-15 and postgresql-15-postgis-3 installed?):\n" + init.output;
        return false;
    }
    // The superuser is trusted; every other role proves its password.
    folder_.write("data/pg_hba.conf",
                  "local all postgres trust\n"
                  "host  all postgres 127.0.0.1/32 trust\n"
                  "local all all scram-sha-256\n"
                  "host  all all 127.0.0.1/32 scram-sha-256\n",
                  0600);
    if (!launch(error) || !exec("postgres", std::string("CREATE DATABASE ") + kPostgisTemplate, error) ||
        !exec(kPostgisTemplate, "CREATE EXTENSION postgis", error))
        return false;
    stop();
    return true;
}

bool PostgresServer::prepare(std::string& error) {
    // A cache this user cannot read or write is passed over.
    const std::string cache = cachedCluster();
    std::error_code ignored;
    if (!cache.empty() && std::filesystem::exists(cache + "/PG_VERSION", ignored)) {
        const ProgramRun copy = runProgram(copyCommand(cache, folder_.file("data")));
        if (copy.status == 0) return true;
        std::filesystem::remove_all(folder_.file("data"), ignored);
    }
    if (!initCluster(error)) return false;
    if (!cache.empty()) {
        // Made aside and renamed, so a server beside us never copies half a cluster.
        const std::string aside = cache + ".part-" + std::to_string(getpid());
        std::filesystem::create_directories(ZARN_TEST_CACHE_DIR, ignored);
        if (runProgram(copyCommand(folder_.file("data"), aside)).status != 0 ||
            rename(aside.c_str(), cache.c_str()) != 0)
            std::filesystem::remove_all(aside, ignored);
    }
    return true;
}

std::string PostgresServer::conninfo(const std::string& database) const {
    return "host=" + quoted(folder_.path()) + " port=" + std::to_string(port_) + " user=" + kSuperuser +
           " dbname=" + quoted(database);
}

std::string PostgresServer::roleConninfo(const std::string& role, const std::string& database) const {
    return "host=127.0.0.1 port=" + std::to_string(port_) + " user=" + quoted(role) + " dbname=" + quoted(database);
}

SqlResult PostgresServer::sql(const std::string& database, const std::string& statement,
                              const std::vector<std::string>& params) const {
    return runSql(conninfo(database), statement, params);
}

std::string PostgresServer::scalar(const std::string& database, const std::string& statement,
                                   const std::vector<std::string>& params) const {
    const SqlResult r = sql(database, statement, params);
    if (!r.ok()) throw std::runtime_error(statement + ": " + r.error);
    if (r.rows.empty() || r.rows[0].empty() || !r.rows[0][0]) return {};
    return *r.rows[0][0];
}

bool PostgresServer::exec(const std::string& database, const std::string& statement, std::string& error) const {
    const SqlResult r = sql(database, statement);
    if (!r.ok()) error = statement + ": " + r.error;
    return r.ok();
}

std::string PostgresServer::formatted(const std::string& format, const std::vector<std::string>& values,
                                      std::string& error) const {
    std::string call = "SELECT format($1";
    for (size_t i = 0; i < values.size(); ++i) call += ", $" + std::to_string(i + 2) + "::text";
    std::vector<std::string> params{format};
    params.insert(params.end(), values.begin(), values.end());
    const SqlResult r = sql("postgres", call + ")", params);
    if (!r.ok()) error = r.error;
    return r.ok() && !r.rows.empty() && r.rows[0][0] ? *r.rows[0][0] : std::string();
}

bool PostgresServer::createDatabase(const std::string& name, Extensions extensions, std::string& error) {
    const std::string create = formatted("CREATE DATABASE %I", {name}, error);
    return !create.empty() &&
           exec("postgres",
                create + (extensions == WithPostgis ? std::string(" TEMPLATE ") + kPostgisTemplate : "") +
                    " STRATEGY FILE_COPY",  // a copy of the files, quicker than logging every block
                error);
}

bool PostgresServer::dropDatabase(const std::string& name, std::string& error) {
    const std::string drop = formatted("DROP DATABASE IF EXISTS %I WITH (FORCE)", {name}, error);
    return !drop.empty() && exec("postgres", drop, error);
}

bool PostgresServer::createRole(const std::string& name, const std::string& password, std::string& error,
                                const std::string& options) {
    const std::string create = formatted("CREATE ROLE %I LOGIN PASSWORD %L", {name, password}, error);
    return !create.empty() && exec("postgres", create + " " + options, error);
}

std::string PostgresServer::writePgpass(const std::string& role, const std::string& password) const {
    const std::string tail = ":" + std::to_string(port_) + ":*:" + passField(role) + ":" + passField(password) + "\n";
    const std::string path = folder_.file("pgpass-" + role);
    // The tests' own, as they connect with it; libpq ignores a file that others can read.
    std::ofstream(path, std::ios::trunc) << passField(folder_.path()) << tail << "127.0.0.1" << tail << "localhost"
                                         << tail;
    chmod(path.c_str(), 0600);
    return path;
}

}  // namespace zarn::testing
