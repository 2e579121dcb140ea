#include "tools/board_sim/radio_scene.h"

#include <cmath>
#include <cstdlib>
#include <optional>
#include <fstream>
#include <sstream>

namespace zarn::sim {

RadioScene RadioScene::standard() {
    RadioScene scene;
    scene.carriers = {
        {0, 870.03, -62, 30, 4, 9},    // channel 1
        {0, 881.52, -55, 30, 3, 7},    // channel 384, the start-up tuning
        {0, 885.00, -78, 30, 6, 5},    // channel 500
        {0, 891.99, -90, 30, 2, 11},   // channel 733
        {1, 1962.50, -58, 1250, 3, 8}, // CDMA carrier at the start-up tuning
        {1, 1945.00, -70, 200, 5, 6},  // GSM carrier
        {1, 1975.00, -84, 200, 4, 13},
    };
    return scene;
}

namespace {

std::optional<double> number(const std::string& word) {
    char* end = nullptr;
    const double value = std::strtod(word.c_str(), &end);
    if (word.empty() || *end || !std::isfinite(value)) return std::nullopt;
    return value;
}

// A carrier's optional numbers in order (width, fade, fade period), then `from S` and `until S`.
bool carrierRest(std::istringstream& words, Carrier& c) {
    std::vector<std::string> rest;
    for (std::string w; words >> w;) rest.push_back(w);
    double* const numbers[] = {&c.widthKhz, &c.fadeDb, &c.fadePeriodS};
    size_t i = 0;
    for (; i < rest.size() && i < 3 && number(rest[i]); ++i) *numbers[i] = *number(rest[i]);
    for (; i + 1 < rest.size(); i += 2) {
        const std::optional<double> s = number(rest[i + 1]);
        if (!s || *s < 0 || (rest[i] != "from" && rest[i] != "until")) return false;
        (rest[i] == "from" ? c.fromS : c.untilS) = *s;
    }
    return i == rest.size();
}

}  // namespace

bool RadioScene::parse(const std::string& text, std::string& error) {
    std::istringstream in(text);
    std::string line;
    int number = 0;
    std::vector<Carrier> found;
    double noise = -110, jitter = 1.5;
    while (std::getline(in, line)) {
        ++number;
        if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string word;
        if (!(words >> word)) continue;
        if (word == "noise" && words >> noise) continue;
        if (word == "jitter" && words >> jitter && jitter >= 0) continue;
        Carrier c;
        int band = -1;
        if (word == "carrier" && words >> band >> c.megahertz >> c.dbm && (band == 0 || band == 1)) {
            c.band = static_cast<uint8_t>(band);
            if (carrierRest(words, c) && c.widthKhz > 0 && c.fadePeriodS > 0 && c.fromS < c.untilS) {
                found.push_back(c);
                continue;
            }
        }
        error = "line " + std::to_string(number) + ": " + line;
        return false;
    }
    noiseDbm = noise;
    jitterDb = jitter;
    carriers = found;
    return true;
}

bool RadioScene::load(const std::string& path, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    return parse(all.str(), error);
}

double RadioScene::meanDbm(uint8_t band, uint64_t frequencyHz, double t) const {
    double milliwatts = std::pow(10.0, noiseDbm / 10.0);
    for (const Carrier& c : carriers) {
        if (c.band != band || !c.on(t)) continue;
        const double offKhz = std::fabs(static_cast<double>(frequencyHz) / 1000.0 - c.megahertz * 1000.0);
        const double half = c.widthKhz / 2;
        const double rolloff = offKhz <= half ? 0.0 : -12.0 * std::pow((offKhz - half) / half, 2.0);
        if (rolloff < -80) continue;
        const double fade = c.fadeDb * std::sin(2 * M_PI * t / c.fadePeriodS + c.megahertz);
        milliwatts += std::pow(10.0, (c.dbm + fade + rolloff) / 10.0);
    }
    return 10.0 * std::log10(milliwatts);
}

int16_t RadioScene::level(uint8_t band, uint64_t frequencyHz, double t) {
    double dbm = meanDbm(band, frequencyHz, t);
    if (jitterDb > 0) dbm += std::normal_distribution<double>(0.0, jitterDb)(random_);
    dbm = std::min(0.0, dbm);
    return static_cast<int16_t>(std::lround(std::max(dbm, -130.0) * 16.0));
}

uint64_t offsetFrequencyHz(uint8_t band, uint32_t offset) {
    return band == 0 ? 869010000ull + 30000ull * offset : 1930000000ull + 10000ull * offset;
}

uint64_t stepFrequencyHz(uint8_t band, uint32_t step) {
    return band == 0 ? 30000ull * step : 10000ull * step;
}

}  // namespace zarn::sim
