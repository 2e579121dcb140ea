#include "recording/gpsd_client.h"

#include <gps.h>
#include <pthread.h>
#include <signal.h>

#include <memory>

namespace zarn {
namespace {

constexpr int kPollMicroseconds = 200000;  // how soon a stop is noticed

GpsFix fixOf(const gps_data_t& data) {
    GpsFix fix;
    fix.mode = data.fix.mode;
    if (data.set & LATLON_SET) {
        fix.latitude = data.fix.latitude;
        fix.longitude = data.fix.longitude;
    }
    if (data.set & ALTITUDE_SET) fix.altitude = data.fix.altMSL;
    if (data.set & TIME_SET) fix.utc = static_cast<double>(data.fix.time.tv_sec) + data.fix.time.tv_nsec * 1e-9;
    return fix;
}

}  // namespace

GpsdClient::GpsdClient(GpsdAddress address, GpsListener& listener)
    : address_(std::move(address)), listener_(listener), thread_([this] { run(); }) {}

GpsdClient::~GpsdClient() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

bool GpsdClient::sleepUntil(Clock::time_point until) {
    std::unique_lock lock(mutex_);
    return !wake_.wait_until(lock, until, [this] { return stopping_.load(); });
}

void GpsdClient::setStatus(GpsStatus status) {
    if (status_.exchange(status) != status) listener_.onStatus(status);
}

void GpsdClient::run() {
    // A gpsd that hangs up as libgps writes to it must not end the program.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    Clock::time_point nextAttempt = Clock::now();
    while (sleepUntil(nextAttempt)) {
        nextAttempt = Clock::now() + kRetryInterval;
        follow();
        if (status_ != GpsStatus::Unreachable) {
            setStatus(GpsStatus::Unreachable);
            listener_.onLost();
        }
    }
}

// One connection, from opening to whatever ends it.
void GpsdClient::follow() {
    auto data = std::make_unique<gps_data_t>();
    if (gps_open(address_.host.c_str(), address_.port.c_str(), data.get()) != 0) return;
    if (gps_stream(data.get(), WATCH_ENABLE | WATCH_JSON, nullptr) == 0) readReports(*data);
    gps_close(data.get());
}

// Until a stop, gpsd closing the connection, a read that fails (garbage
// included) or a peer that never greets as gpsd does.
void GpsdClient::readReports(gps_data_t& data) {
    const Clock::time_point opened = Clock::now();
    Clock::time_point lastFix{};
    while (!stopping_) {
        const Clock::time_point now = Clock::now();
        if (status_ == GpsStatus::Unreachable && now - opened > kSilenceLimit) return;
        if (status_ == GpsStatus::Fix && now - lastFix > kSilenceLimit) {
            setStatus(GpsStatus::NoFix);
            listener_.onLost();
        }
        if (!gps_waiting(&data, kPollMicroseconds)) continue;
        data.set = 0;  // a line libgps cannot parse leaves the last report's flags
        if (gps_read(&data, nullptr, 0) < 0) return;
        if ((data.set & VERSION_SET) && status_ == GpsStatus::Unreachable) setStatus(GpsStatus::NoFix);
        if (status_ == GpsStatus::Unreachable || !(data.set & MODE_SET)) continue;
        const GpsFix fix = fixOf(data);
        if (usableFix(fix)) lastFix = Clock::now();
        setStatus(usableFix(fix) ? GpsStatus::Fix : GpsStatus::NoFix);
        listener_.onReport(fix);
    }
}

}  // namespace zarn
