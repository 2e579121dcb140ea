// The PostgreSQL fixture: a real server with PostGIS, roles that must prove their
// password, and a kill survived on the same port.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "testing/servers/postgres_server.h"

namespace zarn::testing {
namespace {

class PostgresServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server = new PostgresServer;
        std::string error;
        ASSERT_TRUE(server->start(error)) << error;
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override { ASSERT_NE(server, nullptr); }
    static PostgresServer* server;
};

PostgresServer* PostgresServerTest::server = nullptr;

TEST_F(PostgresServerTest, PostgisAnswersInAFreshDatabaseAndRowsOutliveAKill) {
    std::string error;
    ASSERT_TRUE(server->createDatabase("smoke", PostgresServer::WithPostgis, error)) << error;
    EXPECT_NE(server->scalar("smoke", "SELECT postgis_full_version()").find("POSTGIS=\"3."), std::string::npos);
    // Parameters reach the server as they are, quotes and all.
    EXPECT_EQ(server->scalar("smoke", "SELECT ST_AsText(ST_SetSRID(ST_MakePoint($1, $2), 4326)) || $3",
                             {"13.5", "52.25", " it's"}),
              "POINT(13.5 52.25) it's");

    ASSERT_TRUE(server->sql("smoke", "CREATE TABLE kept (n int); INSERT INTO kept VALUES (7)").ok());
    const int port = server->port();
    server->kill();
    EXPECT_FALSE(server->sql("smoke", "SELECT 1").ok());
    ASSERT_TRUE(server->start(error)) << error;
    EXPECT_EQ(server->port(), port);
    EXPECT_EQ(server->scalar("smoke", "SELECT n FROM kept"), "7");

    ASSERT_TRUE(server->createDatabase("plain", PostgresServer::Plain, error)) << error;
    EXPECT_EQ(server->scalar("plain", "SELECT count(*) FROM pg_extension WHERE extname = 'postgis'"), "0");
    const SqlResult nothing = server->sql("plain", "SELECT NULL::text");
    ASSERT_TRUE(nothing.ok()) << nothing.error;
    EXPECT_FALSE(nothing.rows.at(0).at(0).has_value());
}

TEST_F(PostgresServerTest, ARoleLogsInWithItsPgpassAndNotWithoutIt) {
    std::string error;
    const std::string password = "pa:ss\\'word";
    ASSERT_TRUE(server->createRole("pusher", password, error)) << error;
    const std::string pgpass = server->writePgpass("pusher", password);
    const std::string conninfo = server->roleConninfo("pusher", "postgres");

    setenv("PGPASSFILE", server->folder().file("no-such-pgpass").c_str(), 1);
    const SqlResult refused = runSql(conninfo, "SELECT current_user");
    EXPECT_NE(refused.error.find("password"), std::string::npos) << refused.error;

    setenv("PGPASSFILE", pgpass.c_str(), 1);
    const SqlResult tcp = runSql(conninfo, "SELECT current_user");
    ASSERT_TRUE(tcp.ok()) << tcp.error;
    EXPECT_EQ(tcp.rows.at(0).at(0), "pusher");
    const SqlResult socket = runSql("host=" + server->socketFolder() + " port=" + std::to_string(server->port()) +
                                        " user=pusher dbname=postgres",
                                    "SELECT current_user");
    EXPECT_TRUE(socket.ok()) << socket.error;
    unsetenv("PGPASSFILE");
}

}  // namespace
}  // namespace zarn::testing
