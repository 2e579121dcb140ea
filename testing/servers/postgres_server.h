#pragma once
// PostgresServer: a real PostgreSQL 15 with PostGIS 3 for the tests, in its own cluster
// in a temporary folder, on a free port and a socket in that folder, as the `postgres`
// system user when the tests run as root. It never touches a cluster the machine runs.
//
// Authentication: the superuser `postgres` is trusted (socket and 127.0.0.1); every other
// role logs in with its SCRAM password, on the socket and on TCP. fsync is off: a killed
// server keeps every commit, only a crash of the machine would lose some.
//
// The cluster (initdb, and a database with PostGIS that WithPostgis databases copy) is
// made once per build in its test-cache folder and copied for each server, into memory
// when there is room (see roomInMemory()).
//
//   static PostgresServer* db;                          // SetUpTestSuite:
//   db = new PostgresServer; std::string error;
//   ASSERT_TRUE(db->start(error)) << error;
//   ASSERT_TRUE(db->createDatabase("survey", PostgresServer::WithPostgis, error)) << error;
//   run("zarnlog push a.zrn --archive '" + db->conninfo("survey") + "'");
//   EXPECT_EQ(db->scalar("survey", "SELECT count(*) FROM zarn.records"), "1200");
//   db->kill(); db->start(error);                       // killed mid-run, back on the same port
//
// start, stop (a fast shutdown: clients are cut off), kill (the postmaster and every
// backend), port, folder and log as every TestServer. Link zarn_test_servers.

#include <optional>
#include <string>
#include <vector>

#include "testing/servers/test_server.h"

namespace zarn::testing {

// A query's rows, each cell its text or nullopt for NULL; error is empty when it ran.
struct SqlResult {
    std::string error;
    std::vector<std::vector<std::optional<std::string>>> rows;
    bool ok() const { return error.empty(); }
};

struct PostgresOptions {
    std::vector<std::string> settings;  // more name=value server settings ("shared_buffers=256MB")
    bool inMemory = true;               // false: on /tmp, for a benchmark's gigabytes
};

class PostgresServer : public TestServer {
public:
    enum Extensions { Plain, WithPostgis };

    explicit PostgresServer(PostgresOptions options = {});

    const std::string& socketFolder() const { return folder_.path(); }

    // keyword=value conninfo strings. The superuser on the socket:
    std::string conninfo(const std::string& database = "postgres") const;
    // A role on TCP at 127.0.0.1 (its password comes from a .pgpass or the caller):
    std::string roleConninfo(const std::string& role, const std::string& database) const;

    bool createDatabase(const std::string& name, Extensions extensions, std::string& error);
    bool dropDatabase(const std::string& name, std::string& error);
    // A login role with a password; `options` as CREATE ROLE takes them ("NOSUPERUSER").
    bool createRole(const std::string& name, const std::string& password, std::string& error,
                    const std::string& options = "");
    // A .pgpass (mode 600) in the server's folder for `role`, on the socket and on TCP;
    // its path, for PGPASSFILE.
    std::string writePgpass(const std::string& role, const std::string& password) const;

    // A statement as the superuser, $1.. taking `params`; without params, a script of
    // several statements, whose last one gives the rows.
    SqlResult sql(const std::string& database, const std::string& statement,
                  const std::vector<std::string>& params = {}) const;
    // The first cell of the first row ("" for none or NULL); throws std::runtime_error
    // with the server's message when the statement fails, which the test reports.
    std::string scalar(const std::string& database, const std::string& statement,
                       const std::vector<std::string>& params = {}) const;

private:
    bool prepare(std::string& error) override;
    ServerCommand command() const override;
    bool ready() override;
    std::string cachedCluster() const;
    bool initCluster(std::string& error);
    bool exec(const std::string& database, const std::string& statement, std::string& error) const;
    // A statement that takes no parameters (CREATE ROLE ...), quoted by the server's format().
    std::string formatted(const std::string& format, const std::vector<std::string>& values, std::string& error) const;

    std::vector<std::string> settings_;
};

// The same through libpq with any conninfo.
SqlResult runSql(const std::string& conninfo, const std::string& statement,
                 const std::vector<std::string>& params = {});

}  // namespace zarn::testing
