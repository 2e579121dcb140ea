// Grid cells in the UTM zone of a survey's centre, through PROJ: the zone of a place,
// metres that match the projection's known values, and cells whose corners are
// whole multiples of the size when projected back.
#include "survey/grid_cell.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zarn {
namespace {

struct Zone {
    LatLon centre;
    int epsg;
};

TEST(CellGrid, TheZoneIsTheUtmZoneOfTheCentreNorthOrSouth) {
    const Zone zones[] = {
        {{47.376887, 8.541694}, 32632},    // Zurich
        {{-33.8688, 151.2093}, 32756},     // Sydney
        {{0.0, 0.0}, 32631},               // the equator counts as north, 0 E opens zone 31
        {{-0.000001, -0.000001}, 32730},
        {{10, -180}, 32601},
        {{10, 180}, 32660},                // not zone 61
        {{-60, 179.999}, 32760},
    };
    for (const Zone& z : zones) EXPECT_EQ(utmEpsgFor(z.centre), z.epsg) << z.centre.lat << " " << z.centre.lon;
}

TEST(CellGrid, MetresAreTheProjectionsAndLatitudeComesFirst) {
    CellGrid grid;
    std::string error;
    ASSERT_TRUE(grid.open(32632, 100, error)) << error;
    // Zone 32's central meridian is 9 E: easting 500 km there, northing 0 on the equator;
    // one degree north is the meridian arc of WGS 84 (110 574.389 m) times the scale 0.9996.
    const auto origin = grid.metres({0, 9});
    ASSERT_TRUE(origin);
    EXPECT_NEAR(origin->first, 500000, 1e-6);
    EXPECT_NEAR(origin->second, 0, 1e-6);
    const auto degreeNorth = grid.metres({1, 9});
    ASSERT_TRUE(degreeNorth);
    EXPECT_NEAR(degreeNorth->second, 110574.389 * 0.9996, 0.01);
    // East of the central meridian is more easting: longitude is not taken for latitude.
    EXPECT_GT(grid.metres({47.376887, 8.541694})->first, 400000);
    EXPECT_LT(grid.metres({47.376887, 8.541694})->first, 500000);
    const auto back = grid.place(origin->first, degreeNorth->second);
    ASSERT_TRUE(back);
    EXPECT_NEAR(back->lat, 1, 1e-9);
    EXPECT_NEAR(back->lon, 9, 1e-9);

    CellGrid south;
    ASSERT_TRUE(south.open(32756, 250, error)) << error;
    EXPECT_NEAR(south.metres({-0.0, 153})->second, 10000000, 1e-6) << "false northing south of the equator";
}

TEST(CellGrid, APlaceLiesInItsCellAndTheCellsCornersAreWholeSizesApart) {
    CellGrid grid;
    std::string error;
    const LatLon zurich{47.376887, 8.541694};
    ASSERT_TRUE(grid.open(utmEpsgFor(zurich), 250, error)) << error;
    const auto m = grid.metres(zurich);
    const auto cell = grid.cellOf(zurich);
    ASSERT_TRUE(m && cell);
    EXPECT_EQ(cell->column, static_cast<long long>(std::floor(m->first / 250)));
    EXPECT_EQ(cell->row, static_cast<long long>(std::floor(m->second / 250)));
    const auto g = grid.geometry(*cell);
    ASSERT_TRUE(g);
    EXPECT_EQ(grid.cellOf(g->centre), cell);
    const double west = cell->column * 250.0, south = cell->row * 250.0;
    const double xs[4] = {west, west + 250, west + 250, west}, ys[4] = {south, south, south + 250, south + 250};
    for (int i = 0; i < 4; ++i) {
        const auto corner = grid.metres(g->corners[i]);
        ASSERT_TRUE(corner);
        EXPECT_NEAR(corner->first, xs[i], 1e-6) << "corner " << i;
        EXPECT_NEAR(corner->second, ys[i], 1e-6) << "corner " << i;
    }
    EXPECT_LT(g->corners[0].lat, g->corners[3].lat) << "south-west, then round to north-west";
    EXPECT_LT(g->corners[0].lon, g->corners[1].lon);
    // Either side of the cell's west edge, a centimetre apart: neighbouring columns.
    const auto inside = grid.place(west + 0.005, south + 1), outside = grid.place(west - 0.005, south + 1);
    EXPECT_EQ(grid.cellOf(*inside)->column, cell->column);
    EXPECT_EQ(grid.cellOf(*outside)->column, cell->column - 1);
}

TEST(CellGrid, WhatCannotBeACellIsRefused) {
    CellGrid grid;
    std::string error;
    EXPECT_FALSE(grid.open(32632, 0, error));
    EXPECT_FALSE(grid.open(32632, NAN, error));
    EXPECT_FALSE(grid.open(1, 100, error));
    EXPECT_NE(error.find("EPSG:1"), std::string::npos) << error;
    EXPECT_FALSE(grid.cellOf({47, 8})) << "a grid that did not open has no cells";
    ASSERT_TRUE(grid.open(32632, 100, error)) << error;
    EXPECT_FALSE(grid.cellOf({NAN, 8}));
    EXPECT_FALSE(grid.cellOf({95, 8}));
}

}  // namespace
}  // namespace zarn
