// The track beside a log as GpxTrack writes it, point by point, followed by the pusher:
// what the file gained is taken, and a record's place is settled only once no point to
// come can change it.
#include "outputs/archive/growing_track.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "recording/gpx_track.h"
#include "recording/synthetic_log.h"

namespace zarn {
namespace {

GpsFix fixAt(long long s) {
    GpsFix f;
    f.mode = 3;
    f.latitude = 47.0 + 1e-4 * static_cast<double>(s);
    f.longitude = 8.0;
    f.utc = 1.7e9 + static_cast<double>(s);
    return f;
}

struct Asked {
    long long record, now;  // seconds of the synthetic clock
    Placing placing;
    bool settled;
};

}  // namespace

TEST(GrowingTrack, TakesWhatTheFileGainedAndSettlesAPlaceOnlyWhenNoPointToComeCanChangeIt) {
    const std::string path = (std::filesystem::temp_directory_path() / ("growing-" + std::to_string(getpid()) + ".gpx")).string();
    long long now = 0;
    GrowingTrack track(path, [&] { return syntheticTime(now); });
    const auto ask = [&](const std::vector<Asked>& cases) {
        for (const Asked& a : cases) {
            SCOPED_TRACE("record " + std::to_string(a.record) + " at " + std::to_string(a.now));
            now = a.now;
            Place p;
            bool settled = !a.settled;
            EXPECT_EQ(track.place(syntheticTime(a.record), p, settled), a.placing);
            EXPECT_EQ(settled, a.settled);
        }
    };
    track.refresh();  // no file yet
    ask({{100, 101, Placing::Outside, false}, {100, 103, Placing::Outside, true}});

    auto gpx = std::make_unique<GpxTrack>(path);
    for (long long s = 110; s <= 115; ++s) ASSERT_TRUE(gpx->addFix(fixAt(s), syntheticTime(s)));
    track.refresh();
    EXPECT_EQ(track.points(), 6u);
    ask({{112, 116, Placing::Placed, true},
         {105, 116, Placing::Outside, true},    // before the first point: for good
         {118, 119, Placing::Outside, false},   // a point may yet close the gap around it
         {118, 128, Placing::Outside, true},    // none can any more
         {126, 127, Placing::Outside, true}});  // more than 10 s past the last point
    for (long long s = 116; s <= 119; ++s) ASSERT_TRUE(gpx->addFix(fixAt(s), syntheticTime(s)));
    gpx->endSegment();  // a lost fix, and points after it in a segment of their own
    for (long long s = 140; s <= 141; ++s) ASSERT_TRUE(gpx->addFix(fixAt(s), syntheticTime(s)));
    track.refresh();
    track.refresh();  // nothing new: nothing twice
    EXPECT_EQ(track.points(), 12u);
    ask({{118, 142, Placing::Placed, true}, {130, 142, Placing::InGap, true}});

    // A new track in its place starts again.
    gpx = std::make_unique<GpxTrack>(path);
    ASSERT_TRUE(gpx->addFix(fixAt(200), syntheticTime(200)));
    track.refresh();
    EXPECT_EQ(track.points(), 1u);
    ask({{201, 201, Placing::Outside, false}});
    track.setFinal();
    ask({{201, 201, Placing::Outside, true}});
    std::filesystem::remove(path);
}

}  // namespace zarn
