#include "outputs/live/live_output.h"

#include <stdexcept>

#include "outputs/live/live_page.h"
#include "survey/csv_rows.h"

namespace zarn {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kEndDrain = 2s;

const char* bandName(uint8_t band) { return band == 0 ? "800" : "1900"; }

std::string dbmText(int16_t sixteenths) {
    std::string text;
    appendDbm(text, sixteenths);
    return text;
}

std::string channelText(uint32_t channel) {
    std::string text;
    appendChannel(text, channel);
    return text;
}

}  // namespace

LiveOutput::LiveOutput(LiveOptions o, StreamLimits streams, LiveServerLimits server)
    : address_(o.address), hub_(streams) {
    LiveContent content{livePage(), [this] { return statusJson(hub_.counts()); }, [this] { return metricsText(); },
                        [this](const StreamHub::Counts& c) { return streamEvent("status", statusJson(c)); }};
    server_ = std::make_unique<LiveServer>(o.listenFd, std::move(o.token), std::move(o.hosts), hub_, std::move(content),
                                           server);
    std::string error;
    if (!server_->start(error)) {
        notServing_ = "cannot serve the page on " + address_ + ": " + error;
        server_.reset();
    }
}

LiveOutput::~LiveOutput() { server_.reset(); }

void LiveOutput::failIfNotServing() const {
    if (!notServing_.empty()) throw std::runtime_error(notServing_);
}

void LiveOutput::record(const OutputRecord& r) {
    failIfNotServing();
    if (!json_) {
        json_.emplace(r.pcsRaster);
        plans_.emplace(r.pcsRaster);
    }
    const LogRecord record = r.record();
    text_.clear();
    json_->append(record, text_);
    const StreamEvent event = streamEvent("record", text_);
    {
        std::lock_guard lock(mutex_);
        status_.log.count(r.written.type, r.logBytes);
        takeReadings(record);
    }
    hub_.publishRecord(event);
}

void LiveOutput::status(const RecorderStatus& s) {
    failIfNotServing();
    const StreamHub::Counts streams = hub_.counts();
    std::string text;
    {
        std::lock_guard lock(mutex_);
        status_ = s;
        statusAt_ = Clock::now();
        appendStatusJson(current(streams), text);
    }
    hub_.publish(streamEvent("status", text));
}

void LiveOutput::finish() {
    if (server_) server_->stop(kEndDrain);
}

RecorderStatus LiveOutput::current(const StreamHub::Counts& streams) const {
    RecorderStatus s = status_;
    s.ageSeconds += std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - statusAt_).count();
    s.live = {address_, streams.streams, streams.joined, streams.dropped};
    return s;
}

std::string LiveOutput::statusJson(const StreamHub::Counts& streams) const {
    std::string text;
    std::lock_guard lock(mutex_);
    appendStatusJson(current(streams), text);
    return text;
}

std::string LiveOutput::metricsText() const {
    const StreamHub::Counts streams = hub_.counts();
    std::lock_guard lock(mutex_);
    return renderMetrics(current(streams), readings_);
}

// The levels of a single-channel or table record; a sweep's strongest point.
void LiveOutput::takeReadings(const LogRecord& r) {
    SingleChannelReading single;
    std::vector<TableReading> slots;
    Sweep sweep;
    if (decodeSingleChannel(*plans_, r, single)) {
        readings_.levels.clear();
        for (uint8_t band = 0; band < 2; ++band) {
            const TunedReading& t = single.band[band];
            if (t.hz && t.measured())
                readings_.levels.push_back({bandName(band), channelText(t.channel), dbmText(t.level)});
        }
    } else if (decodeTable(*plans_, r, slots)) {
        readings_.levels.clear();
        for (const TableReading& s : slots)
            if (s.measured()) readings_.levels.push_back({bandName(s.band), channelText(s.channel), dbmText(s.level)});
    } else if (decodeSweep(*plans_, r, sweep)) {
        const SweepPoint* peak = nullptr;
        for (const SweepPoint& p : sweep.points)
            if (p.measured() && (!peak || p.level > peak->level)) peak = &p;
        if (!peak) return;
        std::string mhz;
        appendMegahertz(mhz, peak->hz);
        LiveReadings::Peak taken{bandName(sweep.band), mhz, dbmText(peak->level)};
        for (LiveReadings::Peak& p : readings_.peaks)
            if (p.band == taken.band) return void(p = taken);
        readings_.peaks.push_back(taken);
    }
}

}  // namespace zarn
