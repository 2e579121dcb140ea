#pragma once
// GpsFake: the real gpsd under gpsfake, replaying an NMEA file once on a free
// port of this machine, for end-to-end tests. Stopping it (or its end) stops
// gpsfake and its gpsd together.

#include <sys/types.h>

#include <string>

namespace zarn::testing {

class GpsFake {
public:
    GpsFake() = default;
    ~GpsFake() { stop(); }
    GpsFake(const GpsFake&) = delete;
    GpsFake& operator=(const GpsFake&) = delete;

    // Replays `nmea` with `cycleSeconds` between sentences; false with error
    // when gpsd does not take connections within ten seconds.
    bool start(const std::string& nmea, double cycleSeconds, std::string& error);
    void stop();
    // host:port, as ZARN_GPSD names it.
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace zarn::testing
