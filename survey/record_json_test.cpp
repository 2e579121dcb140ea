// A record's JSON against its CSV rows: the same values, digit for digit, null where
// a row is empty or nan (a level not measured too), for every kind and for a log whose
// PCS raster is unknown; and notes and texts that stay valid JSON whatever bytes they held.
#include "survey/record_json.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "recording/synthetic_log.h"
#include "survey/csv_rows.h"
#include "survey/json_writer.h"

namespace zarn {
namespace {

using nlohmann::json;

// A CSV row's fields, a quoted note unquoted.
std::vector<std::string> fieldsOf(const std::string& row, const std::string& separator = ",") {
    std::vector<std::string> out(1);
    bool quoted = false;
    for (size_t i = 0; i < row.size(); ++i) {
        if (row[i] == '"') {
            if (quoted && i + 1 < row.size() && row[i + 1] == '"') out.back() += row[++i];
            else quoted = !quoted;
        } else if (!quoted && row.compare(i, separator.size(), separator) == 0) {
            out.emplace_back();
            i += separator.size() - 1;
        } else {
            out.back() += row[i];
        }
    }
    return out;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// A number field against its JSON value: empty and nan are null, else the same
// number. Counts the nulls in `nulls`.
void expectSame(const std::string& field, const json& value, const std::string& what, int& nulls) {
    if (field.empty() || field == "nan") {
        EXPECT_TRUE(value.is_null()) << what << ": " << value;
        ++nulls;
        return;
    }
    ASSERT_TRUE(value.is_number()) << what << ": " << value;
    EXPECT_EQ(std::strtod(field.c_str(), nullptr), value.get<double>()) << what;
}

std::string bandOf(const std::string& field) { return field == "0" ? "800" : "1900"; }

// Each of the record's CSV rows against the JSON's values; the nulls among them in `nulls`.
void expectRowsInJson(const std::string& csv, const json& j, const LogRecord& r, int& nulls) {
    const std::vector<std::string> rows = linesOf(csv);
    const std::string kind = j["kind"];
    if (kind == "spectrum") {
        if (rows.empty()) {
            EXPECT_TRUE(j["sweep"].is_null()) << "a sweep without a row has no values";
            nulls += j["sweep"].is_null();
            return;
        }
        const std::vector<std::string> f = fieldsOf(rows[0], ", ");
        const json& sweep = j["sweep"];
        ASSERT_EQ(f.size(), 6 + sweep["dbm"].size());
        EXPECT_EQ(sweep["band"], r.payload[0] == 0 ? "800" : "1900");
        EXPECT_EQ(std::llround(sweep["first_mhz"].get<double>() * 1e6), std::atoll(f[2].c_str()));
        EXPECT_EQ(std::llround(sweep["step_mhz"].get<double>() * 1e6), std::atoll(f[4].c_str()));
        for (size_t i = 0; i < sweep["dbm"].size(); ++i) expectSame(f[6 + i], sweep["dbm"][i], "point " + std::to_string(i), nulls);
        return;
    }
    if (kind == "frames") {
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(fieldsOf(rows[0])[3], j["payload"]);
        return;
    }
    const json& values = j["values"];
    ASSERT_EQ(rows.size(), kind == "single" ? 1u : values.size()) << csv;
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::vector<std::string> f = fieldsOf(rows[i]);
        EXPECT_EQ(f[0], j["time"]);
        EXPECT_EQ(f[1], j["note"].is_null() ? "" : j["note"].get<std::string>());
        if (kind == "single") {
            for (int b = 0; b < 2; ++b) {
                const json& v = values[b];
                EXPECT_EQ(v["band"], b == 0 ? "800" : "1900");
                expectSame(f[2 + 3 * b], v["channel"], "channel", nulls);
                expectSame(f[3 + 3 * b], v["mhz"], "mhz", nulls);
                expectSame(f[4 + 3 * b], v["dbm"], "dbm", nulls);
            }
        } else if (kind == "table") {
            const json& v = values[i];
            expectSame(f[2], v["slot"], "slot", nulls);
            EXPECT_EQ(bandOf(f[3]), v["band"]);
            expectSame(f[4], v["channel"], "channel", nulls);
            expectSame(f[5], v["mhz"], "mhz", nulls);
            expectSame(f[6], v["dbm"], "dbm", nulls);
        } else {
            const json& v = values[i];
            expectSame(f[2], v["rank"], "rank", nulls);
            expectSame(f[3], v["mhz"], "mhz", nulls);
            expectSame(f[4], v["channel"], "channel", nulls);
            expectSame(f[5], v["dbm"], "dbm", nulls);
        }
    }
}

std::vector<uint8_t> bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Every kind, PCS included, notes of every sort.
std::vector<uint8_t> surveyLog() {
    const std::string path = ::testing::TempDir() + "record_json_" + std::to_string(getpid()) + ".zrn";
    {
        SyntheticLog log(path, 50000);
        log.note("Room \"101\"");
        log.singleChannel(384, -62 * 16 - 8, 25, -75 * 16 + 3);
        log.table({{0, 384, -60 * 16}, {1, 25, -81 * 16 - 1}, {0, 991, -104 * 16}, {0, 1, kEmptyLevel}});
        log.sweep(0, 380, 40, [](uint16_t o) { return o % 7 == 0 ? SyntheticLog::kNotCaptured : int16_t(-1600 - o); });
        log.sweep(1, 100, 30, [](uint16_t o) { return static_cast<int16_t>(-1500 - o); });
        log.note("caf\xe9 \x80 \x81\ttab");
        log.bestServers(1, {{100, -55}, {5000, -72}});
        log.frame(14, {0x0e, 0xff, 0x00});
        EXPECT_TRUE(log.ok());
    }
    std::vector<uint8_t> bytes = bytesOf(path);
    std::filesystem::remove(path);
    return bytes;
}

struct LogCase {
    const char* name;
    bool rasterKnown;
};

class RecordJsonAgainstRows : public ::testing::TestWithParam<LogCase> {};

TEST_P(RecordJsonAgainstRows, EveryValueIsTheRowsValueAndEveryEmptyFieldIsNull) {
    std::vector<uint8_t> bytes = surveyLog();
    if (!GetParam().rasterKnown) bytes[kLogHeaderSize - 1] = 7;  // a raster byte no log has
    LogReader reader(bytes.data(), bytes.size());
    LogHeader header;
    ASSERT_TRUE(reader.readHeader(header));
    CsvRows rows(header.pcsRaster);
    RecordJson encoder(header.pcsRaster);
    int records = 0, nulls = 0;
    forEachRecord(reader, [&](const LogRecord& r) {
        std::string csv, text;
        rows.append(r, csv);
        encoder.append(r, text);
        const json j = json::parse(text);
        EXPECT_EQ(j["type"], r.type);
        EXPECT_EQ(j["offset"], r.offset);
        expectRowsInJson(csv, j, r, nulls);
        ++records;
        return true;
    });
    EXPECT_EQ(records, 6);
    // Five points the sweep did not capture and a slot not measured; with the raster unknown the
    // PCS channels of the single channel and the ten ranks, the PCS slot's MHz and the PCS sweep too.
    EXPECT_EQ(nulls, GetParam().rasterKnown ? 6 : 6 + 1 + 10 + 1 + 1);
}

INSTANTIATE_TEST_SUITE_P(, RecordJsonAgainstRows,
                         ::testing::Values(LogCase{"RasterKnown", true}, LogCase{"RasterUnknown", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// The records of surveyLog() as JSON, one a line.
std::vector<std::string> jsonOf(std::vector<uint8_t> bytes) {
    LogReader reader(bytes.data(), bytes.size());
    LogHeader header;
    EXPECT_TRUE(reader.readHeader(header));
    RecordJson encoder(header.pcsRaster);
    std::vector<std::string> out;
    forEachRecord(reader, [&](const LogRecord& r) {
        encoder.append(r, out.emplace_back());
        return true;
    });
    return out;
}

TEST(RecordJson, TheTextIsTheOneTheHeaderShows) {
    const std::vector<std::string> records = jsonOf(surveyLog());
    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(records[0],
              R"({"time":"2004-07-09T14:00:00","offset":15,"note":"Room \"101\"","kind":"single","type":216,)"
              R"("values":[{"band":"800","channel":384,"mhz":881.52,"dbm":-62.5},)"
              R"({"band":"1900","channel":5,"mhz":1930.25,"dbm":-74.8125}]})");
    EXPECT_NE(records[2].find(R"("dbm":[-123.75,-123.8125,-123.875,-123.9375,-124.0,null,-124.125,)"), std::string::npos)
        << records[2];
    EXPECT_NE(records[3].find(R"("sweep":{"band":"1900","first_mhz":1931.00,"step_mhz":0.05,"dbm":[-100.0,-100.3125,)"),
              std::string::npos)
        << records[3];
    EXPECT_NE(records[4].find("\"note\":\"caf\xc3\xa9 \xe2\x82\xac \xef\xbf\xbd tab\""), std::string::npos) << records[4];
    EXPECT_NE(records[4].find(R"({"rank":2,"band":"1900","channel":1000,"mhz":1980.00,"dbm":-72})"), std::string::npos);
    EXPECT_EQ(records[5], R"({"time":"2004-07-09T14:00:05","offset":647,"note":null,"kind":"frames","type":14,"payload":"0eff00"})");
}

TEST(JsonWriter, TextOfAnyBytesIsValidJsonThatReadsBackAsItsCharacters) {
    struct Case {
        std::string bytes, json;
    } cases[] = {
        {"plain", R"("plain")"},
        {"\"quoted\" \\ back", R"("\"quoted\" \\ back")"},
        {"tab\tline\nbell\x07 del\x7f", R"("tab\tline\nbell\u0007 del)" "\x7f" R"(")"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xa1", "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xa1\""},
        {"cut \xc3", "\"cut \xef\xbf\xbd\""},
        {"overlong \xc0\xaf surrogate \xed\xa0\x80", "\"overlong \xef\xbf\xbd\xef\xbf\xbd surrogate \xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""},
        {std::string("nul\0byte", 8), R"("nul\u0000byte")"},
    };
    for (const Case& c : cases) {
        std::string out;
        JsonWriter(out).text(c.bytes);
        EXPECT_EQ(out, c.json) << c.bytes;
        EXPECT_TRUE(json::accept(out)) << out;
    }
    std::string out;
    JsonWriter j(out);
    j.beginObject().key("a").beginArray().number(1LL).number(0.1).number(NAN).boolean(false).null().endArray();
    j.key("b").beginObject().endObject().endObject();
    EXPECT_EQ(out, R"({"a":[1,0.1,null,false,null],"b":{}})");
}

}  // namespace
}  // namespace zarn
