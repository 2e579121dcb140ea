// The main frame's positions: gpsd's status as the title bar's GPS mark, and
// the track beside every log the frame records.
#include <cstdio>
#include <cstdlib>

#include "recording/gpsd_address.h"
#include "recording/log_recorder.h"
#include "recording/track_recorder.h"
#include "shell/main_frame.h"

namespace zarn {

void CMainFrame::startPositions() {
    std::string error;
    const auto address = gpsdAddressFrom(std::getenv("ZARN_GPSD"), error);
    if (!error.empty()) std::fprintf(stderr, "zarn: %s; positions are off\n", error.c_str());
    if (!address) return;
    track_ = std::make_unique<TrackRecorder>(*address, [this](GpsStatus) { PostMessage(WM_GPS_STATUS); });
    logRecorder().setCompanion(track_.get());
}

void CMainFrame::stopPositions() {
    if (!track_) return;
    logRecorder().setCompanion(nullptr);
    track_.reset();
    titleMarks_.setGps(GpsMark::None);
}

LRESULT CMainFrame::OnGpsStatus() {
    if (!track_) return 1;
    switch (track_->status()) {
    case GpsStatus::Fix: titleMarks_.setGps(GpsMark::Fix); break;
    case GpsStatus::NoFix: titleMarks_.setGps(GpsMark::Searching); break;
    case GpsStatus::Unreachable: titleMarks_.setGps(GpsMark::None); break;
    }
    return 1;
}

}  // namespace zarn
