// guide_servers COMMAND...: runs COMMAND beside the servers the guides name, set up as the
// guides' own setup steps leave them: a PostgreSQL with PostGIS whose database `zarn` is owned
// by the role `team` ("the team's password"). GUIDE_PG_PORT tells COMMAND where it listens;
// the servers stop when COMMAND ends, whose exit status this gives.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "testing/servers/postgres_server.h"

namespace {

bool setUpArchive(zarn::testing::PostgresServer& db, std::string& error) {
    if (!db.start(error) || !db.createRole("team", "the team's password", error)) return false;
    if (!db.createDatabase("zarn", zarn::testing::PostgresServer::WithPostgis, error)) return false;
    const auto owner = db.sql("zarn", "ALTER DATABASE zarn OWNER TO team; ALTER SCHEMA public OWNER TO team");
    error = owner.error;
    return owner.ok();
}

int run(char** command) {
    const pid_t child = fork();
    if (child == 0) {
        execvp(command[0], command);
        std::perror(command[0]);
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return 1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: guide_servers COMMAND [ARG...]\n");
        return 2;
    }
    zarn::testing::PostgresServer db;
    std::string error;
    if (!setUpArchive(db, error)) {
        std::fprintf(stderr, "guide_servers: PostgreSQL: %s\n", error.c_str());
        return 1;
    }
    setenv("GUIDE_PG_PORT", std::to_string(db.port()).c_str(), 1);
    const int status = run(argv + 1);
    db.stop();
    return status;
}
