// zarn-record against zarn-board-sim, beside zarn itself: for each measurement the log
// carries the simulator's scene, its CSV rows are zarnlog's, and the requests the
// simulator captured are the bytes zarn sends for the same screen and options; a
// replayed survey gives both programs the same record payloads.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "board/board_state.h"
#include "recording/log_units.h"
#include "recording/synthetic_log.h"
#include "screens/spectrum_view.h"
#include "shell/main_frame.h"
#include "survey/csv_rows.h"
#include "testing/main_menu_e2e.h"
#include "testing/record_child.h"
#include "testing/run_command.h"

namespace zarn {
namespace {

using namespace std::chrono_literals;
using testing::LoggedRecord;
using testing::LoggedRecords;
using testing::RecordChild;
using Frames = std::vector<std::vector<uint8_t>>;

struct Measurement {
    const char* name;
    std::vector<std::string> args;  // zarn-record's
    const char* optionsFile;        // zarn's, below the device root
    const char* optionsText;
    CPoint button;  // on the main menu
    uint8_t type;
};

// The same choice both ways: zarn's options file as its dialog keeps it, zarn-record's command line.
const Measurement kMeasurements[] = {
    {"SingleChannelInBothBands", {"--single", "881.52,1962.5"}, "opt.zrn", "1\n1\n0\n881.52\n1962.5\n", {120, 40},
     kModeSingleChannel},
    {"ChannelTable", {"--table", ZARN_SOURCE_DIR "/resources/samples/cellular_survey.kct"}, nullptr, nullptr,
     {120, 75}, kModeChannelTable},
    {"SpectrumOfTheCellularBand", {"--spectrum", "870:893"}, "opts.zrn", "0\n0\n881.5\n23\n", {120, 110},
     kModeSpectrum},
    {"BestServersOf800", {"--servers", "800"}, "optv.zrn", "0\n-1\n", {120, 145}, kModeBestServers},
};

class RecordBesideZarn : public testing::MainMenuE2e {
protected:
    void SetUp() override {
        MainMenuE2e::SetUp();
        frameStartup().waitMs = 0;  // zarn's start-up pauses send nothing
        setUpCellularPlan(boardState().cellularPlan);  // as a new process has them
        setUpPcsPlan(boardState().pcsPlan);
    }
    // zarn in process on the main menu, then the screen opened as a user opens it.
    void openInZarn(const Measurement& m, std::vector<std::string> simArgs = {}) {
        ASSERT_NO_FATAL_FAILURE(startOnMainMenu(std::move(simArgs)));
        if (m.optionsFile) writeFile(m.optionsFile, m.optionsText);
        std::filesystem::copy_file(ZARN_SOURCE_DIR "/resources/samples/cellular_survey.kct",
                                   device.root + "/My Documents/cellular_survey.kct");
        shell->backend.whenIdle([this, &m] {
            if (m.type == kModeChannelTable) shell->backend.type("cellular_survey");
            shell->backend.key(VK_RETURN);
        });
        shell->tap(m.button.x, m.button.y);
        ASSERT_EQ(boardState().screenMode, m.type);
    }
    // Ends zarn and its simulator; the requests the simulator captured.
    Frames endZarn() {
        shell.reset();
        device.sim.stop();
        return testing::requestFrames(testing::readWholeFile(device.capturePath()));
    }
    // zarn-record against a simulator of its own (on --port, beside zarn's), in the same device root.
    void startRecord(std::vector<std::string> args, RecordChild& child, std::vector<std::string> simArgs = {}) {
        simArgs.insert(simArgs.end(), {"--no-register", "--capture", recordCapture()});
        std::string error;
        ASSERT_TRUE(sim.start(ZARN_BOARD_SIM_PATH, simArgs, error)) << error;
        args.insert(args.end(), {"--raster", "50", "-o", log(), "--port", sim.ptyPath()});
        ASSERT_TRUE(child.start(args, {{"ZARN_ROOT", device.root}}));
    }
    int finishRecord(RecordChild& child) {
        const int status = child.wait(30s);
        sim.stop();
        return status;
    }
    std::string log() const { return device.root + "/survey.zrn"; }
    std::string recordCapture() const { return device.root + "/capture-record.bin"; }

    SimProcess sim;
};

class EachMeasurement : public RecordBesideZarn, public ::testing::WithParamInterface<Measurement> {};

double strongestNear(const Sweep& sweep, uint32_t hz) {
    double best = -200;
    for (const SweepPoint& p : sweep.points)
        if (p.measured() && p.hz + 30000 >= hz && p.hz <= hz + 30000) best = std::max(best, dbmOfLevel(p.level));
    return best;
}

// The scene's carriers where the scene puts them: 870.03, 881.52, 885.00, 891.99 MHz
// from -55 to -90 dBm, 1962.50 MHz in PCS, a noise floor at -110 dBm between them.
void expectScene(const Measurement& m, const LoggedRecords& logged) {
    ASSERT_GE(logged.records.size(), 2u);
    const LogPlans plans(logged.pcsRaster);
    const LoggedRecord& last = logged.records.back();
    const LogRecord r{0, {}, {}, last.type, last.payload.data(), last.payload.size()};
    switch (m.type) {
    case kModeSingleChannel: {
        SingleChannelReading reading;
        ASSERT_TRUE(decodeSingleChannel(plans, r, reading));
        EXPECT_EQ(reading.band[0].hz, 881520000u);
        EXPECT_EQ(reading.band[1].hz, 1962500000u);
        EXPECT_GT(dbmOfLevel(reading.band[0].level), -70);
        EXPECT_GT(dbmOfLevel(reading.band[1].level), -75);
        break;
    }
    case kModeChannelTable: {
        std::vector<TableReading> slots;
        ASSERT_TRUE(decodeTable(plans, r, slots));
        ASSERT_EQ(slots.size(), 13u);
        EXPECT_EQ(slots[6].channel, 384);  // 881.52 MHz
        EXPECT_GT(dbmOfLevel(slots[6].level), -70);
        EXPECT_LT(dbmOfLevel(slots[2].level), -95);  // channel 100: noise
        break;
    }
    case kModeSpectrum: {
        Sweep sweep;
        ASSERT_TRUE(decodeSweep(plans, r, sweep));
        // Each at its level, less its fading and a little noise.
        const struct { uint32_t hz; double dbm; } carriers[] = {
            {870030000, -62 - 4}, {881520000, -55 - 3}, {885000000, -78 - 6}, {891990000, -90 - 2}};
        for (const auto& c : carriers) EXPECT_GT(strongestNear(sweep, c.hz), c.dbm - 3) << c.hz << " Hz";
        EXPECT_LT(strongestNear(sweep, 878000000), -95);
        break;
    }
    case kModeBestServers: {
        uint8_t band = 9;
        std::vector<ServerRank> ranks;
        ASSERT_TRUE(decodeBestServers(plans, r, band, ranks));
        EXPECT_EQ(band, 0);
        ASSERT_FALSE(ranks.empty());
        EXPECT_TRUE(ranks[0].hz == 881520000u || ranks[0].hz == 870030000u) << ranks[0].hz;
        EXPECT_GT(ranks[0].level, -70);
        break;
    }
    }
}

// zarnlog csv's text of the log's records of one kind, from the program itself.
std::string zarnlogCsv(const std::string& log, CsvKind kind) {
    const std::string folder = log + "-csv";
    const testing::CommandRun run =
        testing::runCommand(std::string(ZARNLOG_PATH) + " csv '" + log + "' -o '" + folder + "'");
    if (run.status != 0) return run.output;
    const std::string stem = std::filesystem::path(log).stem().string();
    return testing::readWholeFile(folder + "/" + stem + "-" + csvSuffix(kind) + ".csv");
}

TEST_P(EachMeasurement, RecordsTheSceneWithTheRequestsOfTheScreen) {
    const Measurement& m = GetParam();
    ASSERT_NO_FATAL_FAILURE(openInZarn(m));
    // The user's screen settings are theirs: zarn-record reads none and writes none.
    const auto settings = [this] {
        std::string all;
        for (const char* file : {"/opt.zrn", "/opts.zrn", "/optv.zrn"}) all += testing::readWholeFile(device.root + file) + "|";
        return all;
    };
    writeFile(m.optionsFile ? m.optionsFile : "opt.zrn", "the user's own\n");
    const std::string before = settings();
    RecordChild child;  // meanwhile, against a simulator of its own
    std::vector<std::string> args = m.args;
    args.insert(args.end(), {"--seconds", "2", "--csv", "-"});
    ASSERT_NO_FATAL_FAILURE(startRecord(args, child, {"--unpaced"}));
    pumpUntil([] { return false; }, 500ms);  // zarn's measurement under way
    const Frames zarnSent = endZarn();
    ASSERT_EQ(finishRecord(child), 0) << child.err();
    const Frames recordSent = testing::requestFrames(testing::readWholeFile(recordCapture()));
    ASSERT_FALSE(recordSent.empty());
    EXPECT_EQ(recordSent.back(), (std::vector<uint8_t>{8, 0})) << "the board is put to idle at the end";
    EXPECT_EQ(Frames(recordSent.begin(), recordSent.end() - 1), zarnSent);

    const LoggedRecords logged = testing::readLogged(log());
    ASSERT_TRUE(logged.readable);
    EXPECT_EQ(logged.damaged, 0u);
    EXPECT_EQ(logged.pcsRaster, 50000u);
    // The board's firmware and serial number first, in the frames it sent, as a log zarn
    // records from its menu holds them; then only the measurement's records.
    ASSERT_GE(logged.records.size(), 2u);
    const auto text = [](const std::string& s) {
        std::vector<uint8_t> bytes(s.begin(), s.end());
        bytes.push_back(0);
        return bytes;
    };
    EXPECT_EQ(logged.records[0].type, 1);
    EXPECT_EQ(logged.records[0].payload, text("SIM 2.10"));
    EXPECT_EQ(logged.records[1].type, 2);
    EXPECT_EQ(logged.records[1].payload, text("ZS004217"));
    for (size_t i = 2; i < logged.records.size(); ++i) ASSERT_EQ(logged.records[i].type, m.type) << i;
    expectScene(m, logged);
    EXPECT_EQ(child.out(), zarnlogCsv(log(), csvKindOf(m.type))) << "every row as zarnlog csv writes it";
    EXPECT_EQ(settings(), before);
}

INSTANTIATE_TEST_SUITE_P(, EachMeasurement, ::testing::ValuesIn(kMeasurements),
                         [](const auto& info) { return std::string(info.param.name); });

// Sweep k of the survey has its carrier at offset 380 + 8k: each record says which sweep it holds.
constexpr int kSurveySweeps = 10;
int sweepOf(const LoggedRecord& r) {
    const LogPlans plans(50000);
    Sweep sweep;
    if (!decodeSweep(plans, {0, {}, {}, r.type, r.payload.data(), r.payload.size()}, sweep)) return -1;
    const SweepPoint* best = nullptr;
    for (const SweepPoint& p : sweep.points)
        if (p.measured() && (!best || p.level > best->level)) best = &p;
    return best && (best->offset - 380) % 8 == 0 ? (best->offset - 380) / 8 : -1;
}

// The middle sweep records of a log by the sweep they hold; the first and the last may be cut.
std::map<int, std::vector<uint8_t>> middleSweeps(const LoggedRecords& logged) {
    const auto& records = logged.records;
    size_t first = 0;
    while (first < records.size() && records[first].type != kModeSpectrum) ++first;
    std::map<int, std::vector<uint8_t>> sweeps;
    for (size_t i = first + 1; i + 1 < records.size(); ++i) sweeps[sweepOf(records[i])] = records[i].payload;
    return sweeps;
}

TEST_F(RecordBesideZarn, AReplayedSurveyGivesTheSpectrumScreensRecordPayloads) {
    const std::string survey = ::testing::TempDir() + "zarn_record_replayed_survey.zrn";
    {
        SyntheticLog log(survey);
        for (int k = 0; k < kSurveySweeps; ++k)
            log.sweep(0, 367, 101, [k](uint16_t o) { return static_cast<int16_t>(o == 380 + 8 * k ? -45 * 16 : -105 * 16 - o % 7); });
        ASSERT_TRUE(log.ok());
    }
    const Measurement spectrum{"", {"--spectrum", "880:883"}, "opts.zrn", "0\n0\n881.5\n3\n", {120, 110}, kModeSpectrum};
    ASSERT_NO_FATAL_FAILURE(openInZarn(spectrum, {"--replay", survey}));
    // The same survey played to zarn-record by a simulator of its own, meanwhile.
    RecordChild child;
    ASSERT_NO_FATAL_FAILURE(startRecord({"--spectrum", "880:883", "--seconds", "5"}, child, {"--replay", survey}));
    const std::string zarnLog = device.root + "/My Documents/zarnlog.zrn";
    shell->backend.whenIdle([this] { shell->backend.key(VK_RETURN); });
    shell->command(ID_LOG_START);
    pumpUntil([&] { return testing::readLogged(zarnLog).records.size() >= 5; }, 20s);
    shell->command(ID_LOG_STOP);
    const LoggedRecords byZarn = testing::readLogged(zarnLog);
    endZarn();
    ASSERT_EQ(finishRecord(child), 0) << child.err();
    const LoggedRecords byRecord = testing::readLogged(log());
    const auto fromZarn = middleSweeps(byZarn), fromRecord = middleSweeps(byRecord);
    int compared = 0;
    for (const auto& [k, payload] : fromRecord) {
        const auto same = fromZarn.find(k);
        if (k < 0 || same == fromZarn.end()) continue;
        EXPECT_EQ(payload, same->second) << "sweep " << k;
        ++compared;
    }
    EXPECT_GE(compared, 3) << byZarn.records.size() << " records by zarn, " << byRecord.records.size() << " by zarn-record";
    std::remove(survey.c_str());
}

}  // namespace
}  // namespace zarn
