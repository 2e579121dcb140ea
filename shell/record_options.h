#pragma once
// zarn-record's command line, checked before the board or the log is touched.
//
//  - readRecordOptions(argc, argv, options): the options into `options`; nullopt when
//    the program is to run, else the exit status to end with: 0 after --help or
//    --version, 2 after a usage error (an unknown option, no measurement or two, a
//    frequency in neither band, a window across the bands or reversed, no -o), 1 when
//    a file cannot be used (a channel table that does not load, an output folder that
//    does not exist or is not writable). Each with its reason on stderr.
//  - A channel table is loaded into the board state here, with the screen's own reader.
//  - The port: --port, else ZARN_PORT, taken as zarn takes it.
//  - The live page: --listen, else ZARN_LISTEN, bound here, last, so that a port in use
//    is said (exit 1) before the board is opened; --listen-token's file read here, a
//    file others may read refused as a usage error. Where the page is, and whether it
//    is open to the network, is said on stderr. On loopback, or with --allow-host, the
//    page answers only the Host names listen_address.h names.
//  - The archive: --archive, else ZARN_ARCHIVE; a conninfo libpq would not take is a
//    usage error, a password in --archive (seen by every user) is warned of.
//  - The site: one per recorder, for MQTT and the archive alike. --site without
//    either is a usage error (it would name nothing); ZARN_SITE, from a unit's
//    environment file, is left unused.
//  - --tasks: no measurement, --archive and a --site, -o a folder; each task run brings its own.
//  - A task's options: the measurement, the raster, occupancy and alarm rules (--alarm).

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "outputs/mqtt/mqtt_settings.h"
#include "screens/measurement_settings.h"
#include "survey/alarm_rules.h"
#include "survey/occupancy.h"

namespace zarn {

struct RecordOptions {
    uint8_t mode = 0;  // the screen mode of the measurement
    SingleChannelSettings single;
    SpectrumSettings spectrum;
    std::string tableFile;  // --table's file, as given
    int serverBand = -1;
    uint32_t pcsRaster = 30000;
    std::string output;     // the log's host path
    std::string csv;        // "-" for standard output, else empty
    double seconds = 0;     // 0: until a signal
    double giveUp = 0;      // 0: never
    std::string port;       // as given, made absolute
    int listenFd = -1;      // the live page's socket, listening; -1: no page
    std::string listen;     // its address, "127.0.0.1:8080"
    std::string listenToken;  // empty: none asked
    std::vector<std::string> listenHosts;  // the Host names it answers; empty: any
    // What is worked out and sent as it records (watch_options.h).
    bool occupancy = false;
    OccupancyThreshold threshold{true, 10};
    long long periodSeconds = 900;
    std::vector<AlarmRule> alarms;
    std::string onAlarm;       // the program's path
    double onAlarmLimit = 30;  // seconds
    std::optional<MqttSettings> mqtt;
    std::string archive;    // the archive's conninfo (--archive, else ZARN_ARCHIVE); empty: none
    double archiveDrain = 10;  // seconds for what is left at the end
    int heartbeat = 30;        // seconds between a registered site's health rows
    // The site MQTT and the archive name: --site, else ZARN_SITE, else the host's name.
    std::string site;
    bool siteGiven = false;  // by --site or ZARN_SITE, not the host
    std::string siteFrom;    // "--site", "ZARN_SITE" or "the host's name", for messages
    bool tasks = false;      // --tasks: `output` is the folder of the runs' logs
    int task = 0;            // the task a run of --tasks is for; 0: none
};

std::optional<int> readRecordOptions(int argc, char** argv, RecordOptions& options);

// A task's options (the words after zarn-record's name), checked as the recorder checks its
// own: nullopt when they hold one measurement it would run, else 2 (or 1 for a table that
// does not load), with the reason on stderr. A task carries what a site measures and no
// more: an option that runs a program, opens a port, names a place on the site (a file,
// a device, a folder) or sends elsewhere is refused, whoever wrote the task. `siteTable`, on
// the site: the file holding the task's own table, which --table reads whatever it names
// (empty: the task has none, and --table is refused).
std::optional<int> readTaskOptions(const std::vector<std::string>& args, RecordOptions& options, std::ostream& err,
                                   const std::optional<std::string>& siteTable = std::nullopt);

// Where the checks say what is wrong (stderr, or a task checker's stream), and a usage error said there: 2.
std::ostream& optionMessages();
int recordUsage(const std::string& problem);

}  // namespace zarn
