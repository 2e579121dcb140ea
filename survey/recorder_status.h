#pragma once
// RecorderStatus: what a recorder runs, as a value: the measurement, the board,
// gpsd, the log and each output. The program makes a snapshot when something
// changes (the log begun, the board lost or back) and whenever an output asks,
// and every output that shows or sends a status takes this one and its JSON.
//
//   {"started":"2024-05-14T11:00:00","age_s":65,
//    "measurement":{"kind":"spectrum","band":"800","first_mhz":870.0,"last_mhz":893.01,"title":null,"channels":[]},
//    "board":{"up":true,"port":"/dev/ttyUSB0","firmware":"2.10","serial_number":"ZS004217",
//             "lost":0,"frames_decoded":51234},
//    "gps":{"state":"fix","lat":47.376887,"lon":8.541694,"altitude_m":408},
//    "log":{"path":"/srv/site.zrn","bytes":123456,"records":40,"records_by_kind":{"spectrum":40}},
//    "outputs":[{"name":"csv","sent":40,"dropped":0,"queued":0,"failed":false,"error":null,
//                "connected":null}],
//    "live":{"address":"127.0.0.1:8080","clients":2,"clients_total":5,"clients_dropped":0},
//    "version":"1.4.0","alarms":[{..alarm_rules.h's state..}],
//    "occupancy":{..occupancy.h's period without its rows..},
//    "archive":{"up":true,"stored":38,"behind":2,"error":null}}
//
// - started: the device's local clock at the log's start (ISO 8601, as records
//   are stamped); age_s: whole seconds since.
// - measurement: kind as a record's JSON names it ("" before one runs); band
//   "800" or "1900" (null for single channel and table, whose channels say);
//   first_mhz, last_mhz the window swept (null where none); title: a channel
//   table file's title (null where none); channels: the tuned channel of each
//   active band (single), or the table's slots, as {band, channel, mhz, name},
//   name the slot's name in the table file (null where none). MHz are the CSV
//   rows' texts.
// - gps: state "off" (not asked), "unreachable", "no fix" or "fix"; lat, lon
//   (degrees, WGS 84) and altitude_m of the last fix, null without one.
// - log: records_by_kind counts each kind's records by its name.
// - outputs: each output of the fan-out (outputs/record_fanout.h): records it
//   took, records it could not send (its full queue turned them away, or its
//   peer was away), records waiting, and whether it failed, with why;
//   connected: whether an output with a peer (a broker, a database) reaches it
//   now, null for one without.
// - live: the live page's event stream, as the live output fills it in (null
//   where it is not): clients now, since the start, and dropped for taking too
//   little.
// - version: the program's. alarms: each rule's state (survey/alarm_rules.h).
//   occupancy: the last period's figures (survey/occupancy.h) without the rows,
//   null before a period has ended; the struct keeps the rows.
// - archive: zarn-record --archive (null without it): whether the last push
//   reached the database, the log's records stored there and those not yet,
//   and why it is not up.
//
// To add a part: a struct of its fields here, a member of RecorderStatus, and
// its few lines in recorder_status.cpp's appendStatusJson, a member each.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "board/board_state.h"
#include "survey/alarm_rules.h"
#include "survey/occupancy.h"

namespace zarn {

struct MeasuredChannel {
    uint8_t band = 0;
    uint32_t channel = 0;
    uint32_t hz = 0;  // 0: not known
    std::string name;  // a table slot's name; empty: none
};

struct MeasurementStatus {
    std::string kind;
    std::optional<uint8_t> band;
    uint32_t firstHz = 0, lastHz = 0;  // 0: no window
    std::string title;  // a channel table's title; empty: none
    std::vector<MeasuredChannel> channels;
};

struct BoardStatus {
    bool up = false;  // answering
    std::string port;
    std::string firmware, serialNumber;
    uint64_t lost = 0;  // times it was lost
    uint64_t framesDecoded = 0;
};

struct GpsPosition {
    enum class State { Off, Unreachable, NoFix, Fix };
    State state = State::Off;
    std::optional<double> lat, lon, altitude;
};
// "off", "unreachable", "no fix" or "fix", as the status and the site's health say it.
const char* gpsStateName(GpsPosition::State s);

struct LogStatus {
    std::string path;
    uint64_t bytes = 0;
    uint64_t records = 0;
    std::map<std::string, uint64_t> recordsByKind;
    // Takes a record of `type` just written, the log `bytes` long after it.
    void count(uint8_t type, uint64_t logBytes);
};

struct OutputStatus {
    std::string name;
    uint64_t sent = 0;
    uint64_t dropped = 0;
    uint64_t queued = 0;
    bool failed = false;
    std::string error;
    std::optional<bool> connected;
};

struct LiveStatus {
    std::string address;  // where the page listens; empty: the part is null
    uint64_t clients = 0, clientsTotal = 0, clientsDropped = 0;
};

struct ArchiveStatus {
    bool up = false;
    uint64_t stored = 0;
    uint64_t behind = 0;
    std::string error;
};

struct RecorderStatus {
    std::string started;
    long long ageSeconds = 0;
    MeasurementStatus measurement;
    BoardStatus board;
    GpsPosition gps;
    LogStatus log;
    std::vector<OutputStatus> outputs;
    LiveStatus live;
    std::string version;
    std::vector<AlarmState> alarms;
    std::optional<OccupancyPeriod> occupancy;
    std::optional<ArchiveStatus> archive;
};

// The measurement the board state is set up for (its screen mode, tuning, window, table).
MeasurementStatus measurementOf(const BoardState& board);

// Appends the status's object, without a line end.
void appendStatusJson(const RecorderStatus& status, std::string& out);

}  // namespace zarn
