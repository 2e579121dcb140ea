#include "tools/zarn_fleet/fleet_metrics.h"

#include <functional>

namespace zarn {
namespace {

// A label's value: backslash, quote and line end escaped.
std::string labelValue(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

void family(std::string& out, const SqlRows& sites, const char* name, const char* help,
            const std::function<std::string(size_t)>& value) {
    out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " gauge\n";
    for (size_t i = 0; i < sites.rows.size(); ++i)
        out += std::string(name) + "{site=\"" + labelValue(sites.text(i, 0)) + "\"} " + value(i) + "\n";
}

}  // namespace

std::string fleetMetrics(const SqlRows& sites, bool archiveUp) {
    std::string out =
        "# HELP zarn_fleet_archive_up 1 while zarn-fleet reads the archive\n# TYPE zarn_fleet_archive_up gauge\n"
        "zarn_fleet_archive_up " + std::string(archiveUp ? "1" : "0") + "\n";
    const auto state = [&](size_t i) { return sites.text(i, 4); };
    const auto number = [&](size_t column) {
        return [&, column](size_t i) { return sites.text(i, column).empty() ? std::string("0") : sites.text(i, column); };
    };
    family(out, sites, "zarn_fleet_site_up", "1 when the site records or waits between tasks", [&](size_t i) {
        return std::string(state(i) == "recording" || state(i) == "between tasks" ? "1" : "0");
    });
    family(out, sites, "zarn_fleet_site_silent", "1 when the site was not heard from for three heartbeats, or never",
           [&](size_t i) { return std::string(state(i) == "silent" || state(i) == "never heard" ? "1" : "0"); });
    family(out, sites, "zarn_fleet_site_backlog_records", "records the site has not yet pushed, as it last said",
           number(7));
    family(out, sites, "zarn_fleet_site_alarms", "alarms raised at the site, as it last said", number(9));
    return out;
}

}  // namespace zarn
