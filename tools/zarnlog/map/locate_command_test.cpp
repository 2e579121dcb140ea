// zarnlog locate end to end: a drive simulated around a transmitter at a known
// place goes in as a log and its track; the line, the layers read back
// through GDAL, and what is refused.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <regex>

#include "survey/locate/simulated_drive.h"
#include "survey/track_distance.h"
#include "tools/zarnlog/zarnlog_test_support.h"

// Last: they define TRUE and FALSE as macros.
#include <gdal.h>
#include <ogr_api.h>

using namespace zarn;

namespace {

using zarn::testing::Outcome;
using zarn::testing::zarnlog;
using Folder = zarn::testing::TempFolder;

struct Line {
    Place estimate;
    double major = 0, minor = 0;
    long long samples = 0;
};

// The figures of the fit's line; nullopt when it is not one.
std::optional<Line> fitLine(const std::string& out) {
    static const std::regex kLine(
        R"(^881\.52 MHz: (-?[0-9.]+), (-?[0-9.]+); 95 % region ([0-9]+) m by ([0-9]+) m, the long axis at [0-9]+°, )"
        R"(around -?[0-9.]+, -?[0-9.]+; n [0-9.]+, P0 -?[0-9.]+ dBm at 1 m, shadowing [0-9.]+ dB; ([0-9]+) samples, )"
        R"([0-9.]+ km of drive\n)");
    std::smatch m;
    if (!std::regex_search(out, m, kLine)) return std::nullopt;
    return Line{{std::stod(m[1]), std::stod(m[2])}, std::stod(m[3]), std::stod(m[4]), std::stoll(m[5])};
}

struct Feature {
    std::map<std::string, std::string> fields;
    OGRGeometryH geometry = nullptr;  // owned by `Layer`
};

// A layer's features read back through GDAL.
struct Layer {
    explicit Layer(const std::string& file) {
        GDALAllRegister();
        data = GDALOpenEx(file.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
        if (!data) return;
        OGRLayerH layer = GDALDatasetGetLayer(data, 0);
        while (OGRFeatureH f = OGR_L_GetNextFeature(layer)) {
            Feature feature;
            for (int i = 0; i < OGR_F_GetFieldCount(f); ++i)
                if (OGR_F_IsFieldSetAndNotNull(f, i))
                    feature.fields[OGR_Fld_GetNameRef(OGR_F_GetFieldDefnRef(f, i))] = OGR_F_GetFieldAsString(f, i);
            feature.geometry = OGR_F_StealGeometry(f);
            features.push_back(feature);
            OGR_F_Destroy(f);
        }
    }
    ~Layer() {
        for (Feature& f : features) OGR_G_DestroyGeometry(f.geometry);
        if (data) GDALClose(data);
    }
    GDALDatasetH data = nullptr;
    std::vector<Feature> features;
};

bool holds(OGRGeometryH area, const Place& p) {
    OGRGeometryH point = OGR_G_CreateGeometry(wkbPoint);
    OGR_G_SetPoint_2D(point, 0, p.lon, p.lat);
    const bool inside = OGR_G_Contains(area, point);
    OGR_G_DestroyGeometry(point);
    return inside;
}

// A drive around the transmitter, as the log drive.zrn with drive.gpx beside it, written once.
class LocateCommand : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        shared = new Folder;
        DriveScene scene;
        scene.seed = 7;
        simulated = new SimulatedDrive(simulateDrive(scene));
        ASSERT_TRUE(writeDriveLog(*simulated, shared->file("drive.zrn"), shared->file("drive.gpx")));
    }
    static void TearDownTestSuite() {
        delete simulated;
        delete shared;
    }
    static inline Folder* shared = nullptr;
    static inline SimulatedDrive* simulated = nullptr;
};

TEST_F(LocateCommand, AroundATransmitterTheRegionHoldsItAndTheLayersSayWhatWasFitted) {
    const Folder& folder = *shared;
    const SimulatedDrive& drive = *simulated;
    const Place transmitter = drive.transmitters.at(0);

    const Outcome fit = zarnlog({"locate", folder.file("drive.zrn"), "--channel", "384", "--band", "800", "-o",
                                 folder.file("where.geojson")});
    ASSERT_EQ(fit.status, 0) << fit.err;
    const std::optional<Line> line = fitLine(fit.out);
    ASSERT_TRUE(line) << fit.out;
    EXPECT_EQ(line->samples, static_cast<long long>(drive.readings.size()));
    const double error = metresBetween(line->estimate, transmitter);
    EXPECT_LT(error, 400);
    EXPECT_LE(error, line->major);

    const Layer where(folder.file("where-transmitter.geojson"));
    ASSERT_EQ(where.features.size(), 2u);
    const Feature& estimate = where.features[0];
    const Feature& region = where.features[1];
    EXPECT_EQ(estimate.fields.at("kind"), "estimate");
    EXPECT_EQ(estimate.fields.at("samples"), std::to_string(line->samples));
    EXPECT_EQ(OGR_G_GetGeometryType(estimate.geometry), wkbPoint);
    EXPECT_NEAR(OGR_G_GetY(estimate.geometry, 0), line->estimate.lat, 1e-6);
    EXPECT_EQ(region.fields.at("kind"), "region");
    ASSERT_EQ(OGR_G_GetGeometryType(region.geometry), wkbPolygon);
    EXPECT_TRUE(holds(region.geometry, transmitter));
    // The polygon is the ellipse of the line, in square degrees.
    const double squareDegrees = M_PI * line->major * line->minor / (111195.0 * 111195.0 * std::cos(transmitter.lat * M_PI / 180));
    EXPECT_NEAR(OGR_G_Area(region.geometry) / squareDegrees, 1, 0.03);

    const Layer readings(folder.file("where-readings.geojson"));
    ASSERT_EQ(readings.features.size(), drive.readings.size());
    size_t censored = 0;
    for (const Feature& r : readings.features) {
        const double dbm = std::stod(r.fields.at("dbm")), model = std::stod(r.fields.at("model_dbm"));
        ASSERT_NEAR(std::stod(r.fields.at("residual_db")), dbm - model, 1e-6);
        censored += r.fields.at("censored") == "1";
    }
    // The drive's far streets lie at the receiver's floor.
    EXPECT_GT(censored, drive.readings.size() / 10);
    EXPECT_LT(censored, drive.readings.size() * 9 / 10);

    const Outcome centroid = zarnlog({"locate", folder.file("drive.zrn"), "--mhz", "881.52", "--method", "centroid"});
    ASSERT_EQ(centroid.status, 0) << centroid.err;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(centroid.out, m, std::regex(R"(^881\.52 MHz: (-?[0-9.]+), (-?[0-9.]+) \(weighted centroid)")))
        << centroid.out;
    EXPECT_GT(metresBetween({std::stod(m[1]), std::stod(m[2])}, transmitter), error);

    // The report locates it as locate does, and draws the region on the channel's map.
    const Outcome report = zarnlog({"report", folder.file("drive.zrn"), "-o", folder.file("drive.html")});
    ASSERT_EQ(report.status, 0) << report.err;
    const std::string page = zarn::testing::readText(folder.file("drive.html"));
    const std::string sources = page.substr(page.find("<section id=\"sources\">"));
    const std::string estimateText = fit.out.substr(fit.out.find(": ") + 2, fit.out.find(';') - fit.out.find(": ") - 2);
    EXPECT_NE(sources.find("<td>" + estimateText + "</td>"), std::string::npos) << estimateText;
    EXPECT_NE(sources.find("class=\"region\""), std::string::npos);
    EXPECT_NE(sources.find("class=\"estimate\""), std::string::npos);
}

TEST_F(LocateCommand, RefusesWhatTellsNothingAndBadCommandLines) {
    const Folder& folder = *shared;
    const SimulatedDrive& drive = *simulated;
    SimulatedDrive few = drive, still = drive;
    few.readings.resize(20);
    still.readings.resize(40);
    for (SimulatedReading& r : still.readings) r.place = drive.readings[0].place;
    ASSERT_TRUE(writeDriveLog(few, folder.file("few.zrn"), folder.file("few.gpx")));
    ASSERT_TRUE(writeDriveLog(still, folder.file("still.zrn"), folder.file("still.gpx")));
    std::filesystem::copy_file(folder.file("drive.zrn"), folder.file("untracked.zrn"));
    const std::string log = folder.file("drive.zrn");
    const struct {
        std::vector<std::string> args;
        int status;
        const char* says;
    } cases[] = {
        {{folder.file("untracked.zrn"), "--mhz", "881.52"}, 1, "untracked.gpx"},
        {{log, "--mhz", "870.03"}, 1, "no placed reading of 870.03 MHz"},
        {{log, "--mhz", "1962.5"}, 1, "floor"},
        {{folder.file("few.zrn"), "--mhz", "881.52"}, 1, "30"},
        {{folder.file("still.zrn"), "--mhz", "881.52"}, 1, "50 m"},
        {{log, "--mhz", "1000"}, 2, "outside the 800 MHz band"},
        {{log, "--channel", "384"}, 2, "--band"},
        {{log, "--mhz", "881.52", "--channel", "384", "--band", "800"}, 2, "not both"},
        {{log, "--mhz", "881.52", "--archive", "dbname=zarn"}, 2, "logs or --archive"},
        {{log, "--mhz", "881.52", "--site", "van"}, 2, "with --archive only"},
        {{log, "--mhz", "881.52", "-o", folder.file("where.csv")}, 2, ".gpkg, .geojson or .kml"},
        {{log, "--mhz", "881.52", "--method", "median"}, 2, "not fit or centroid"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"locate"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome o = zarnlog(args);
        EXPECT_EQ(o.status, c.status) << c.says << "\n" << o.err;
        EXPECT_NE(o.err.find(c.says), std::string::npos) << o.err;
        EXPECT_EQ(o.out, "") << c.says;
    }
}

}  // namespace
