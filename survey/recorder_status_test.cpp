// The status of a recorder: the measurement read off the board state as each screen
// sets it up, and the JSON every output shows, read back with a JSON parser.
#include "survey/recorder_status.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "recording/log_units.h"

namespace zarn {
namespace {

using nlohmann::json;

TEST(RecorderStatus, TheMeasurementIsWhatTheBoardStateIsSetUpFor) {
    BoardState board;
    EXPECT_EQ(measurementOf(board).kind, "") << "no measurement before a screen opens one";

    board.setScreenMode(kModeSingleChannel);
    board.cellularPlan.tuneChannel(384);
    board.pcsPlan.tuneMegahertz(1962.5);
    board.singleChannelMode = 1;
    board.singleChannelBand = 1;
    MeasurementStatus m = measurementOf(board);
    EXPECT_EQ(m.kind, "single");
    ASSERT_EQ(m.channels.size(), 1u) << "only the active band";
    EXPECT_EQ(m.channels[0].band, 1);
    EXPECT_EQ(m.channels[0].hz, 1962500000u);
    board.pcsPlan.setPcsRaster(30000);
    EXPECT_EQ(measurementOf(board).channels[0].channel, 1082u) << "the raster's number, as the records give it";
    board.pcsPlan.setPcsRaster(0);
    EXPECT_EQ(measurementOf(board).channels[0].channel, kUnknownChannel) << "a PCS number needs the raster";
    board.singleChannelMode = 2;
    ASSERT_EQ(measurementOf(board).channels.size(), 2u);
    EXPECT_EQ(measurementOf(board).channels[0].hz, 881520000u);

    board.setScreenMode(kModeChannelTable);
    board.channelTableCount = 2;
    board.channelTable[0] = {0, 384, 0};
    board.channelTable[1] = {0, 1, 0};
    m = measurementOf(board);
    EXPECT_EQ(m.kind, "table");
    ASSERT_EQ(m.channels.size(), 2u);
    EXPECT_EQ(m.channels[1].hz, 870030000u);

    board.setScreenMode(kModeSpectrum);
    board.bandIndex = 0;
    board.sweepStart = 380;
    board.sweepCount = 240;
    board.sweepStep = 1;
    m = measurementOf(board);
    EXPECT_EQ(m.kind, "spectrum");
    EXPECT_EQ(m.band, 0);
    EXPECT_EQ(m.firstHz, 880410000u);
    EXPECT_EQ(m.lastHz, 887580000u);
}

TEST(RecorderStatus, ItsJsonHasEveryPartAndNullForWhatIsNotKnown) {
    RecorderStatus s;
    s.started = "2024-05-14T11:00:00";
    s.ageSeconds = 65;
    s.measurement = {"spectrum", 0, 880410000, 887580000, {}, {}};
    s.board = {true, "/dev/pts/3", "SIM 2.10", "ZS004217", 1, 51234};
    s.gps.state = GpsPosition::State::NoFix;
    s.log.path = "/srv/caf\xe9.zrn";  // a path of any bytes
    s.log.count(218, 3000);
    s.log.count(218, 6000);
    s.log.count(14, 6020);
    s.outputs.push_back({"csv", 2, 1, 0, true, "standard output: Broken pipe", std::nullopt});
    std::string text;
    appendStatusJson(s, text);
    const json j = json::parse(text);
    EXPECT_EQ(j["age_s"], 65);
    EXPECT_EQ(j["measurement"]["band"], "800");
    EXPECT_EQ(j["measurement"]["first_mhz"], 880.41);
    EXPECT_EQ(j["board"]["serial_number"], "ZS004217");
    EXPECT_EQ(j["board"]["lost"], 1);
    EXPECT_EQ(j["gps"], json::parse(R"({"state":"no fix","lat":null,"lon":null,"altitude_m":null})"));
    EXPECT_EQ(j["log"]["path"], "/srv/caf\xef\xbf\xbd.zrn");
    EXPECT_EQ(j["log"]["bytes"], 6020);
    EXPECT_EQ(j["log"]["records_by_kind"], json::parse(R"({"spectrum":2,"frames":1})"));
    EXPECT_EQ(j["outputs"][0]["error"], "standard output: Broken pipe");
    EXPECT_TRUE(j["live"].is_null()) << "no page listens";
    EXPECT_TRUE(j["outputs"][0]["connected"].is_null());
    EXPECT_EQ(j["alarms"], json::array());
    EXPECT_TRUE(j["occupancy"].is_null());
    EXPECT_TRUE(j["archive"].is_null());

    s.outputs[0].connected = false;
    s.alarms = {{"hot", "hot: 881.52 > -70 for 10 hysteresis 3", true, 1, "2024-05-14T11:00:12", 881520000, -888},
                {"cold", "cold: 881.52 < -120 for 5 hysteresis 3", false, 0, "", 0, std::nullopt}};
    s.occupancy = OccupancyPeriod{stampSeconds({2024, 5, 14, 11, 0, 0}), 900, {false, -90}, {}, {}};
    s.occupancy->rows = {{0, 384, 881520000, 400, 372, -55.2, -792, -90}};
    text.clear();
    appendStatusJson(s, text);
    const json more = json::parse(text);
    EXPECT_EQ(more["outputs"][0]["connected"], false);
    EXPECT_EQ(more["alarms"][0]["state"], "ON");
    EXPECT_EQ(more["alarms"][0]["dbm"], -55.5);
    EXPECT_TRUE(more["alarms"][1]["time"].is_null());
    EXPECT_EQ(more["occupancy"]["busiest"]["occupancy"], 0.93);
    EXPECT_FALSE(more["occupancy"].contains("rows")) << "the status carries the figures, the message the rows";

    s.live = {"[::1]:8080", 2, 5, 1};
    s.gps = {GpsPosition::State::Fix, 47.376887, 8.541694, 408.0};
    s.archive = ArchiveStatus{false, 38, 2, "host=db dbname=zarn: Connection refused"};
    text.clear();
    appendStatusJson(s, text);
    EXPECT_NE(text.find(R"("gps":{"state":"fix","lat":47.376887,"lon":8.541694,"altitude_m":408})"), std::string::npos)
        << text;
    EXPECT_EQ(json::parse(text)["live"],
              json::parse(R"({"address":"[::1]:8080","clients":2,"clients_total":5,"clients_dropped":1})"));
    EXPECT_NE(text.find(R"("archive":{"up":false,"stored":38,"behind":2,"error":"host=db dbname=zarn: Connection refused"})"),
              std::string::npos)
        << text;
}

}  // namespace
}  // namespace zarn
