#include "tools/zarnlog/report/report_overview.h"

#include <algorithm>
#include <filesystem>

#include "board/frame_types.h"
#include "recording/log_units.h"
#include "survey/log_text.h"
#include "tools/zarnlog/report/report_samples.h"

namespace zarn::report {
namespace {

// Text the board sent in a version or serial-number reply, up to its NUL.
std::string replyText(const LogRecord& r) {
    const auto* p = r.payload;
    const size_t n = std::find(p, p + r.length, uint8_t{0}) - p;
    return noteUtf8(std::string(reinterpret_cast<const char*>(p), n));
}

// Moments between two points of different segments close enough to interpolate across.
std::vector<std::pair<double, double>> lostFixes(const Track& track) {
    std::vector<std::pair<double, double>> out;
    const auto& points = track.points;
    for (size_t i = 1; i < points.size(); ++i)
        if (points[i].segment != points[i - 1].segment && points[i].time - points[i - 1].time <= kLongestGap)
            out.emplace_back(points[i - 1].time, points[i].time);
    return out;
}

class Scan {
public:
    Scan(const ReportLog& log, LogOverview& out) : log_(log), out_(out), plans_(out.header.pcsRaster) {
        if (log.track) lostFixes_ = lostFixes(log.track->track());
    }

    void take(const LogRecord& r) {
        const long long stamp = stampSeconds(r.time);
        out_.first = out_.records ? std::min(out_.first, stamp) : stamp;
        out_.last = out_.records ? std::max(out_.last, stamp) : stamp;
        ++out_.records;
        ++out_.kinds[r.type];
        if (!r.note.empty()) out_.notes.push_back({stamp, noteUtf8(r.note)});
        if (r.type == static_cast<uint8_t>(ReplyType::Version)) out_.firmware.insert(replyText(r));
        if (r.type == static_cast<uint8_t>(ReplyType::Serial)) out_.serials.insert(replyText(r));
        countSamples(r, stamp);
        if (log_.track) place(r, stamp);
    }

    void finish() {
        closeRun();
        for (auto& [interval, stretch] : interpolated_) out_.noFix.push_back(stretch);
        std::sort(out_.noFix.begin(), out_.noFix.end(), [](const NoFix& a, const NoFix& b) { return a.from < b.from; });
    }

private:
    void countSamples(const LogRecord& r, long long stamp) {
        channelSamples(plans_, r, samples_, out_.withoutFrequency);
        bool counted[kBands] = {false, false};
        for (const ChannelSample& s : samples_) {
            out_.highestHz[s.band] = std::max(out_.highestHz[s.band], s.hz);
            if (counted[s.band]) continue;
            counted[s.band] = true;
            if (!second_[s.band] || secondStamp_[s.band] != stamp) {
                second_[s.band] = &out_.samplesPerSecond[s.band][stamp];
                secondStamp_[s.band] = stamp;
            }
            ++*second_[s.band];
        }
        Sweep sweep;
        if (r.type == kModeSpectrum && !plans_.rasterKnown() && !decodeSweep(plans_, r, sweep)) ++out_.withoutFrequency;
    }

    void place(const LogRecord& r, long long stamp) {
        // Records of one second share their place: one look-up a second, however many records.
        if (!placed_ || stamp != placedStamp_) {
            placed_ = log_.track->place(r.time, place_);
            placedStamp_ = stamp;
        }
        out_.placing.take(*placed_, log_.track->timeOf(stamp));
        const Place p = place_;
        if (*placed_ != Placing::Placed) {
            if (!run_) run_ = NoFix{stamp, stamp, 0, false};
            run_->from = std::min(run_->from, stamp);
            run_->to = std::max(run_->to, stamp);
            ++run_->records;
            return;
        }
        closeRun();
        out_.extent.take(p);
        const double t = log_.track->timeOf(stamp);
        const auto lost = std::upper_bound(lostFixes_.begin(), lostFixes_.end(), t,
                                           [](double time, const auto& gap) { return time < gap.second; });
        if (lost == lostFixes_.end() || !(t > lost->first)) return;
        NoFix& stretch = interpolated_.try_emplace(lost - lostFixes_.begin(), NoFix{stamp, stamp, 0, true}).first->second;
        stretch.from = std::min(stretch.from, stamp);
        stretch.to = std::max(stretch.to, stamp);
        ++stretch.records;
    }

    void closeRun() {
        if (run_) out_.noFix.push_back(*run_);
        run_.reset();
    }

    const ReportLog& log_;
    LogOverview& out_;
    LogPlans plans_;
    std::vector<ChannelSample> samples_;
    std::vector<std::pair<double, double>> lostFixes_;
    std::optional<NoFix> run_;
    std::optional<Placing> placed_;
    long long placedStamp_ = 0;
    Place place_;
    uint32_t* second_[kBands] = {nullptr, nullptr};
    long long secondStamp_[kBands] = {0, 0};
    std::map<size_t, NoFix> interpolated_;
};

}  // namespace

bool readOverview(const ReportLog& log, const ReportOptions& options, LogOverview& out, std::string& error,
                  const DamageSink& damaged) {
    out = LogOverview{};
    out.path = log.path;
    out.name = std::filesystem::path(log.path).filename().string();
    out.track = log.track ? &*log.track : nullptr;
    out.trackName = log.trackName;
    out.noTrackWhy = log.noTrackWhy;
    LogReader reader;
    if (!reader.open(log.path) || !reader.readHeader(out.header)) return error = reader.problem(), false;
    Scan scan(log, out);
    std::optional<long long> before;
    const bool read = forEachRecord(reader, [&](const LogRecord& r) {
        ++out.recordsInFile;
        before = stampSeconds(r.time);
        if (options.window.contains(r.time)) scan.take(r);
        return true;
    }, [&](const LogDamage& d) {
        out.damage.push_back({d.offset, d.length, d.problem, before});
        out.damagedBytes += d.length;
        if (damaged) damaged(d);
    });
    if (!read) return error = "read error: " + reader.readError(), false;
    scan.finish();
    return true;
}

}  // namespace zarn::report
