#pragma once
// GpsdClient: positions from gpsd through libgps, on a thread of its own so
// that neither the user interface nor the link thread ever waits for it. It
// tries to connect at most every kRetryInterval and hands each position
// report and each change of its status to its listener, on its own thread.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "recording/gps_fix.h"

struct gps_data_t;
#include "recording/gpsd_address.h"

namespace zarn {

enum class GpsStatus { Unreachable, NoFix, Fix };

class GpsListener {
public:
    virtual ~GpsListener() = default;
    virtual void onReport(const GpsFix& fix) = 0;
    // gpsd went away or its fix grew stale: the stretch of fixes ends.
    virtual void onLost() = 0;
    // Fix: the last report had a usable position and time; NoFix: gpsd answers without one.
    virtual void onStatus(GpsStatus status) = 0;
};

class GpsdClient {
public:
    static constexpr std::chrono::seconds kRetryInterval{5};
    // A gpsd that does not greet within this, or a fix not renewed within it, counts as gone.
    static constexpr std::chrono::seconds kSilenceLimit{5};

    GpsdClient(GpsdAddress address, GpsListener& listener);
    ~GpsdClient();  // ends the connection and the thread
    GpsdClient(const GpsdClient&) = delete;
    GpsdClient& operator=(const GpsdClient&) = delete;

    GpsStatus status() const { return status_; }

private:
    using Clock = std::chrono::steady_clock;
    void run();
    void follow();
    void readReports(gps_data_t& data);
    bool sleepUntil(Clock::time_point until);  // false when stopping
    void setStatus(GpsStatus status);

    GpsdAddress address_;
    GpsListener& listener_;
    std::atomic<GpsStatus> status_{GpsStatus::Unreachable};
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread thread_;  // last: it starts once everything above is ready
};

}  // namespace zarn
