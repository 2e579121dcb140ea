#include "board/port_discovery.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/registry.h"

using namespace zarn;

namespace {

struct Driver {
    std::string key;
    std::vector<std::pair<std::string, std::string>> values;
};

struct Case {
    const char* what;
    std::vector<Driver> drivers;
    const char* expected;
};

std::string discover(const std::vector<Driver>& drivers, bool withActiveKey = true) {
    registry::clear();
    if (withActiveKey) registry::addKey("HKEY_LOCAL_MACHINE\\Drivers\\Active");
    for (const auto& d : drivers) {
        registry::addKey("HKEY_LOCAL_MACHINE\\Drivers\\Active\\" + d.key);
        for (const auto& [name, value] : d.values)
            registry::setValue("HKEY_LOCAL_MACHINE\\Drivers\\Active\\" + d.key, name, value);
    }
    char name[kPortNameSize];
    std::memset(name, 'x', sizeof name);
    discoverPortName(name);
    registry::clear();
    return name;
}

}  // namespace

TEST(PortDiscovery, TableOfDriverLists) {
    const std::string longPnp = "CF-Serial_I-O" + std::string(400, 'z');
    const std::string longName = "/dev/" + std::string(200, 'n');
    const std::vector<Case> cases = {
        {"no drivers", {}, "COM1:"},
        {"no card", {{"1", {{"PnpId", "USB_Mass_Storage"}, {"Name", "DSK1:"}}}}, "COM1:"},
        {"Quatech prefix", {{"1", {{"PnpId", "Quatech_SSP-100"}, {"Name", "COM3:"}}}}, "COM3:"},
        {"CF prefix", {{"1", {{"PnpId", "CF-Serial_I-O-Card"}, {"Name", "COM4:"}}}}, "COM4:"},
        {"first enumerated wins, CF first",
         {{"1", {{"PnpId", "CF-Serial_I-O"}, {"Name", "COM5:"}}}, {"2", {{"PnpId", "Quatech"}, {"Name", "COM6:"}}}},
         "COM5:"},
        {"first enumerated wins, Quatech first",
         {{"1", {{"PnpId", "Quatech"}, {"Name", "COM6:"}}}, {"2", {{"PnpId", "CF-Serial_I-O"}, {"Name", "COM5:"}}}},
         "COM6:"},
        {"prefix is case-sensitive",
         {{"1", {{"PnpId", "quatech card"}, {"Name", "COM7:"}}}, {"2", {{"PnpId", "cf-serial_i-o"}, {"Name", "COM8:"}}}},
         "COM1:"},
        {"prefix only at the start", {{"1", {{"PnpId", "My Quatech"}, {"Name", "COM7:"}}}}, "COM1:"},
        {"driver without PnpId skipped",
         {{"1", {{"Name", "COM2:"}}}, {"2", {{"PnpId", "Quatech"}, {"Name", "COM9:"}}}}, "COM9:"},
        {"matching card without Name skipped",
         {{"1", {{"PnpId", "Quatech"}}}, {"2", {{"PnpId", "CF-Serial_I-O"}, {"Name", "COM2:"}}}}, "COM2:"},
        {"short PnpId then a long one still read in full",
         {{"1", {{"PnpId", "ab"}, {"Name", "COM2:"}}}, {"2", {{"PnpId", longPnp}, {"Name", "COM3:"}}}}, "COM3:"},
        {"host device path as Name", {{"1", {{"PnpId", "CF-Serial_I-O sim"}, {"Name", "/dev/pts/3"}}}}, "/dev/pts/3"},
        {"long Name cut to 127 characters",
         {{"1", {{"PnpId", "Quatech"}, {"Name", longName}}}}, nullptr},
    };
    for (const Case& c : cases) {
        const std::string got = discover(c.drivers);
        if (c.expected) {
            EXPECT_EQ(got, c.expected) << c.what;
        } else {
            EXPECT_EQ(got, longName.substr(0, 127)) << c.what;
        }
    }
}

TEST(PortDiscovery, MissingActiveListGivesCom1) {
    EXPECT_EQ(discover({}, false), "COM1:");
}

// While the board is lost only a port that can be it is opened and written to: the one it
// was on, the given one, one listed since start-up; never the fallback console port that
// discovery names when nothing matches, unless the board was on it.
TEST(PortDiscovery, ALostBoardIsLookedForOnlyWhereItCanBe) {
    using Names = std::vector<std::string>;
    const struct {
        const char* what;
        Names now, atStart, boardWasOn;
        std::string given;
        Names expected;
    } cases[] = {
        {"its own port", {"/dev/A", "/dev/B"}, {"/dev/A", "/dev/B"}, {"/dev/A"}, "", {"/dev/A"}},
        {"a port listed since start-up", {"/dev/B", "/dev/N"}, {"/dev/A", "/dev/B"}, {"/dev/A"}, "", {"/dev/N"}},
        {"another adapter listed at start-up", {"/dev/B"}, {"/dev/A", "/dev/B"}, {"/dev/A"}, "", {}},
        {"the fallback console port", {"COM1:"}, {"/dev/A"}, {"/dev/A"}, "", {}},
        {"the fallback, listed at start-up too", {"COM1:"}, {"COM1:"}, {"/dev/A"}, "", {}},
        {"the fallback where the board was", {"COM1:"}, {"COM1:"}, {"COM1:"}, "", {"COM1:"}},
        {"the given port, the board found elsewhere since",
         {"/dev/P", "/dev/A", "/dev/X"}, {"/dev/P", "/dev/A"}, {"/dev/P", "/dev/X"}, "/dev/P", {"/dev/P", "/dev/X"}},
        {"the given port, before it ever answered", {"/dev/P", "/dev/A"}, {"/dev/P", "/dev/A"}, {}, "/dev/P", {"/dev/P"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(portsThatCanBeTheBoard(c.now, c.atStart, c.boardWasOn, c.given), c.expected) << c.what;
}
