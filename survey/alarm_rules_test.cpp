// Alarm rules: each mistake a user may type, told with its column; a rules file with its
// line; and the raise and the clear of `>` and `<` rules over levels that step up and
// down, with the duration, the hysteresis and a blip that starts the wait again.
#include "survey/alarm_rules.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "recording/synthetic_log.h"

namespace zarn {
namespace {

namespace fs = std::filesystem;

TEST(AlarmRulesTest, RulesParseOrSayWhereTheyGoWrong) {
    struct Good {
        const char* text;
        const char* written;
    };
    for (const Good& c : std::vector<Good>{
             {"hot: 881.52 > -70 for 10", "hot: 881.52 > -70 for 10 hysteresis 3"},
             {"  wide-1: 869.01:893.97 < -100 for 1.5 hysteresis 2", "wide-1: 869.01:893.97 < -100 for 1.5 hysteresis 2"},
             {"x_2:881.52>-70 for 5s", "x_2: 881.52 > -70 for 5 hysteresis 3"},
             {"t: 1962.5 > +5 for 0", "t: 1962.50 > 5 for 0 hysteresis 3"},
         }) {
        AlarmRule rule;
        std::string error;
        size_t column = 0;
        EXPECT_TRUE(parseAlarmRule(c.text, rule, error, column)) << c.text << ": " << error;
        EXPECT_EQ(rule.text(), c.written);
    }
    struct Bad {
        const char* text;
        const char* at;  // the column is where this begins
        const char* said;
    };
    for (const Bad& c : std::vector<Bad>{
             {"hot 881.52 > -70 for 10", "881", "':' expected"},
             {": 881.52 > -70 for 10", ": 881", "a name expected"},
             {"hot: abc > -70 for 10", "abc", "a frequency"},
             {"hot: 881.52 >> -70 for 10", "> -70", "a level in dBm"},
             {"hot: 881.52 > -170 for 10", "-170", "-150..+30"},
             {"hot: 881.52 = -70 for 10", "= -70", "'>' or '<'"},
             {"hot: 881.52 > -70 10", "10", "'for SECONDS'"},
             {"hot: 881.52 > -70 for", "", "a duration"},
             {"hot: 881.52 > -70 for 90000", "90000", "0 to 86400"},
             {"hot: 893:881 > -70 for 1", "893", "reversed"},
             {"hot: 881.52 > -70 for 10 extra", "extra", "unexpected text"},
             {"hot: 881.52 > -70 for 10 # why", "# why", "a line of its own"},
             {"hot: 881.52 > -70 for 10 hysteresis 60", "60", "0..50 dB"},
             {"a_very_long_alarm_name_x: 881 > -70 for 1", "a_very", "longer than 22"},
             {"hot: 881.52 > nan for 1", "nan", "a level in dBm"},
         }) {
        AlarmRule rule;
        std::string error;
        size_t column = 0;
        const std::string text = c.text;
        EXPECT_FALSE(parseAlarmRule(text, rule, error, column)) << text;
        const size_t at = *c.at ? text.find(c.at) : text.size();
        EXPECT_EQ(column, at + 1) << text << ": " << error;
        EXPECT_NE(error.find(c.said), std::string::npos) << text << ": " << error;
    }

    const std::string path = (fs::temp_directory_path() / ("alarms-" + std::to_string(getpid()))).string();
    std::ofstream(path) << "# the site's rules\n\nhot: 881.52 > -70 for 10\r\n  cold: 881.52 < -100 for x\n";
    std::vector<AlarmRule> rules;
    std::string error;
    EXPECT_FALSE(readAlarmRules(path, rules, error));
    EXPECT_EQ(error, path + ":4:27: a duration in seconds expected");
    std::ofstream(path) << "hot: 881.52 > -70 for 10\n# cold\ncold: 881.52 < -100 for 5\n";
    rules.clear();
    EXPECT_TRUE(readAlarmRules(path, rules, error)) << error;
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[1].name, "cold");
    fs::remove(path);
    EXPECT_FALSE(readAlarmRules(path, rules, error));
    EXPECT_EQ(error, "cannot read " + path);
}

// Single-channel records of channel 384 (881.52 MHz) at the given levels, read back.
struct Levels {
    explicit Levels(const std::vector<double>& dbm) {
        {
            SyntheticLog log(path, 30000, 1);
            for (double d : dbm) log.singleChannel(384, static_cast<int16_t>(d * 16), 100, -1600);
        }
        LogReader reader;
        LogHeader header;
        EXPECT_TRUE(reader.open(path) && reader.readHeader(header));
        forEachRecord(reader, [&](const LogRecord& r) {
            payloads.emplace_back(r.payload, r.payload + r.length);
            records.push_back(r);
            return true;
        });
        for (size_t i = 0; i < records.size(); ++i) records[i].payload = payloads[i].data();
        fs::remove(path);
    }
    std::string path = (fs::temp_directory_path() / ("alarm-levels-" + std::to_string(getpid()) + ".zrn")).string();
    std::vector<std::vector<uint8_t>> payloads;
    std::vector<LogRecord> records;
};

AlarmRule rule(const std::string& text) {
    AlarmRule r;
    std::string error;
    size_t column = 0;
    EXPECT_TRUE(parseAlarmRule(text, r, error, column)) << error;
    return r;
}

// The record index of each change of the one rule, a record every half second.
std::vector<std::pair<size_t, bool>> changesOf(const std::string& text, const std::vector<double>& dbm) {
    Levels levels(dbm);
    AlarmRules rules({rule(text)}, 30000);
    std::vector<std::pair<size_t, bool>> changes;
    for (size_t i = 0; i < levels.records.size(); ++i)
        for (const AlarmChange& c : rules.take(levels.records[i], 0.5 * static_cast<double>(i)))
            changes.emplace_back(i, c.raised);
    return changes;
}

std::vector<double> repeated(std::initializer_list<std::pair<double, int>> runs) {
    std::vector<double> out;
    for (auto [dbm, n] : runs) out.insert(out.end(), static_cast<size_t>(n), dbm);
    return out;
}

TEST(AlarmRulesTest, RaiseAndClearComeTheDurationAfterTheStepsWithHysteresis) {
    using Changes = std::vector<std::pair<size_t, bool>>;
    // Up at record 4 (2.0 s), down at 14 (7.0 s): raised at 4.0 s, cleared at 9.0 s.
    EXPECT_EQ(changesOf("hot: 881.52 > -70 for 2", repeated({{-100, 4}, {-60, 10}, {-100, 10}})),
              (Changes{{8, true}, {18, false}}));
    // A record back at -100 while it waits starts the wait again.
    EXPECT_EQ(changesOf("hot: 881.52 > -70 for 2", repeated({{-60, 3}, {-100, 1}, {-60, 5}})), (Changes{{8, true}}));
    // Exactly at the threshold is not above it; within the hysteresis (-72 > -73) is not below.
    EXPECT_EQ(changesOf("hot: 881.52 > -70 for 1", repeated({{-70, 6}, {-60, 3}, {-72, 6}, {-74, 3}})),
              (Changes{{8, true}, {17, false}}));
    // `<` the other way round, with its own hysteresis: cleared above -85 only.
    EXPECT_EQ(changesOf("quiet: 881.52 < -90 for 1 hysteresis 5", repeated({{-95, 3}, {-88, 4}, {-80, 3}})),
              (Changes{{2, true}, {9, false}}));
    // For 0: at the first record that meets it. A range takes its strongest level.
    EXPECT_EQ(changesOf("any: 869:894 > -70 for 0", repeated({{-100, 1}, {-60, 1}})), (Changes{{1, true}}));
    // A rule on frequencies the records do not hold stays as it is.
    EXPECT_EQ(changesOf("pcs: 1990 > -150 for 0", repeated({{-60, 3}})), Changes{});
}

TEST(AlarmRulesTest, TheStateTellsTheLastChange) {
    Levels levels(repeated({{-100, 1}, {-55.5, 3}}));
    AlarmRules rules({rule("hot: 881.52 > -70 for 0.5"), rule("cold: 881.52 < -120 for 1")}, 30000);
    std::string text;
    appendAlarmJson(rules.states()[0], text);
    EXPECT_EQ(text,
              R"({"name":"hot","rule":"hot: 881.52 > -70 for 0.5 hysteresis 3","state":"OFF","changes":0,)"
              R"("time":null,"mhz":null,"dbm":null})");
    for (size_t i = 0; i < levels.records.size(); ++i) rules.take(levels.records[i], 0.5 * static_cast<double>(i));
    text.clear();
    appendAlarmJson(rules.states()[0], text);
    const nlohmann::json json = nlohmann::json::parse(text);
    EXPECT_EQ(json["state"], "ON");
    EXPECT_EQ(json["changes"], 1);
    EXPECT_EQ(json["time"], "2004-07-09T14:00:02");
    EXPECT_EQ(json["mhz"], 881.52);
    EXPECT_EQ(json["dbm"], -55.5);
    EXPECT_FALSE(rules.states()[1].raised);
}

}  // namespace
}  // namespace zarn
