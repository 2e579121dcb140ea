// Coverage maps end to end: zarn records a single-channel log from
// zarn-board-sim, with a carrier that fades, while the real gpsd under
// gpsfake replays a drive; zarnlog makes a map and a coverage picture of it,
// and GDAL reads the map back. With ZARN_KEEP_LOG=DIR the picture is kept
// there as sim-coverage.png (docs/surveys-and-maps.md shows it).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "testing/gps_fake.h"
#include "testing/main_menu_e2e.h"
#include "testing/run_command.h"

// Last: they define TRUE and FALSE as macros.
#include <cpl_conv.h>
#include <gdal.h>
#include <ogr_api.h>

namespace zarn {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::string kDrive = std::string(ZARN_SOURCE_DIR) + "/tests/gps/drive.nmea";

using testing::CommandRun;
using testing::runCommand;

int countOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct Located {
    std::string time;  // the device's clock
    double lat = 0, lon = 0;
};

// Each feature of a layer: a time field, read as text, and its point.
std::vector<Located> readLayer(const std::string& path, const char* layerName, const char* timeField) {
    GDALAllRegister();
    CPLSetConfigOption("GPX_USE_EXTENSIONS", "YES");
    std::vector<Located> out;
    GDALDatasetH data = GDALOpenEx(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
    EXPECT_NE(data, nullptr) << path << ": " << CPLGetLastErrorMsg();
    if (!data) return out;
    OGRLayerH layer = GDALDatasetGetLayerByName(data, layerName);
    EXPECT_NE(layer, nullptr) << layerName;
    while (OGRFeatureH f = layer ? OGR_L_GetNextFeature(layer) : nullptr) {
        OGRGeometryH g = OGR_F_GetGeometryRef(f);
        out.push_back({OGR_F_GetFieldAsString(f, OGR_F_GetFieldIndex(f, timeField)), OGR_G_GetY(g, 0), OGR_G_GetX(g, 0)});
        OGR_F_Destroy(f);
    }
    GDALClose(data);
    return out;
}

class MapE2e : public testing::MainMenuE2e {
protected:
    void TearDown() override {
        MainMenuE2e::TearDown();
        gps.stop();
        unsetenv("ZARN_GPSD");
    }
    testing::GpsFake gps;
};

TEST_F(MapE2e, ASurveyWithATrackBecomesAMapWhoseRecordsLieOnTheDrive) {
    std::string error;
    ASSERT_TRUE(gps.start(kDrive, 0.033, error)) << error;  // ten drive seconds a second
    setenv("ZARN_GPSD", gps.address().c_str(), 1);
    const std::string scene = fs::temp_directory_path() / ("zarn-map-scene-" + std::to_string(getpid()));
    std::ofstream(scene) << "noise -110\ncarrier 0 881.52 -70 30 22 6\n";
    ASSERT_NO_FATAL_FAILURE(startOnMainMenu({"--scene", scene}));
    fs::remove(scene);
    testing::recordSingleChannel(*shell, device.root);
    const std::string log = device.root + "/My Documents/zarnlog.zrn", track = device.root + "/My Documents/zarnlog.gpx";
    // A dozen seconds of it, unless the drive ends first.
    pumpUntil([&] { return countOf(readText(track), "<trkpt") >= 12; }, 14s);
    ASSERT_GE(countOf(readText(track), "<trkpt"), 5) << readText(track);
    shell->command(ID_LOG_STOP);
    gps.stop();

    const std::string zarnlog = ZARNLOG_PATH, map = device.root + "/maps/survey.gpkg";
    const CommandRun made = runCommand(zarnlog + " map '" + log + "' -o '" + map + "'");
    ASSERT_EQ(made.status, 0) << made.output;
    size_t placed = 0, notPlaced = 0;
    const size_t at = made.output.find("placed ");
    ASSERT_NE(at, std::string::npos) << made.output;
    ASSERT_EQ(std::sscanf(made.output.c_str() + at, "placed %zu, not placed %zu", &placed, &notPlaced), 2) << made.output;
    EXPECT_GT(placed, 10u);

    // Every record on the point of its second of the device's clock, as GDAL reads the track.
    std::map<std::string, Located> points;
    for (const Located& p : readLayer(track, "track_points", "zarn_localtime")) points[p.time] = p;
    const std::vector<Located> features = readLayer(map, "single", "time");
    EXPECT_EQ(features.size(), placed);
    for (const Located& f : features) {
        SCOPED_TRACE(f.time);
        ASSERT_EQ(points.count(f.time), 1u);
        EXPECT_NEAR(f.lat, points[f.time].lat, 1e-7);
        EXPECT_NEAR(f.lon, points[f.time].lon, 1e-7);
    }

    const std::string picture = device.root + "/coverage.png";
    const CommandRun plotted = runCommand(zarnlog + " plot '" + log + "' -o '" + picture + "'");
    ASSERT_EQ(plotted.status, 0) << plotted.output;
    EXPECT_NE(plotted.output.find("placed " + std::to_string(placed) + ", not placed"), std::string::npos) << plotted.output;
    if (const char* keep = getenv("ZARN_KEEP_LOG"))
        fs::copy_file(picture, std::string(keep) + "/sim-coverage.png", fs::copy_options::overwrite_existing);
}

}  // namespace
}  // namespace zarn
