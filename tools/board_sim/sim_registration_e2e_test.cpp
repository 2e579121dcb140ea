// Simulators as processes sharing one device registry.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "board/port_discovery.h"
#include "platform/registry.h"
#include "platform/registry_file.h"
#include "testing/sim_device.h"
#include "tools/board_sim/sim_registration.h"

namespace zarn {
namespace {

std::string discovered() {
    loadRegistry(registryFilePath(), "/nonexistent");
    char name[kPortNameSize];
    discoverPortName(name);
    return name;
}

bool keyExists(const std::string& path) {
    HKEY key = nullptr;
    const std::string below = path.substr(std::string("HKEY_LOCAL_MACHINE\\").size());
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, std::u16string(below.begin(), below.end()).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// The pid in the name of the first simulator's key among the active drivers; 0 when none.
pid_t registeredSimulator() {
    HKEY active = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Drivers\\Active", 0, KEY_READ, &active) != ERROR_SUCCESS) return 0;
    pid_t pid = 0;
    char16_t name[64];
    for (DWORD i = 0; !pid; ++i) {
        DWORD chars = 64;
        if (RegEnumKeyEx(active, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        const std::u16string key(name, chars);
        if (key.rfind(u"ZarnSim", 0) == 0) pid = std::stoi(std::string(key.begin() + 7, key.end()));
    }
    RegCloseKey(active);
    return pid;
}

// A simulator killed with SIGKILL leaves its key, naming a terminal that is gone; the
// next one removes it, so the program finds the board that is there.
TEST(SimRegistration, AKilledSimulatorsKeyGoesWhenTheNextOneStarts) {
    SimDevice device;
    std::string error;
    ASSERT_TRUE(device.start(ZARN_BOARD_SIM_PATH, {}, error)) << error;
    const std::string killedPty = device.sim.ptyPath();
    ASSERT_EQ(discovered(), killedPty);
    const pid_t killed = registeredSimulator();
    ASSERT_GT(killed, 0);
    ASSERT_EQ(kill(killed, SIGKILL), 0);
    ASSERT_EQ(waitpid(killed, nullptr, 0), killed);
    // A key of a process that still runs (this one) is not the new simulator's to remove.
    const std::string live = sim::simulatorKey(getpid());
    ASSERT_TRUE(setRegistryKey(registryFilePath(), live, {{"PnpId", "Other"}, {"Name", "/dev/null"}}));
    ASSERT_EQ(discovered(), killedPty);  // what a program found before

    SimProcess next;
    ASSERT_TRUE(next.start(ZARN_BOARD_SIM_PATH, {}, error)) << error;
    EXPECT_EQ(discovered(), next.ptyPath());
    EXPECT_FALSE(keyExists(sim::simulatorKey(killed)));
    EXPECT_TRUE(keyExists(live));
    EXPECT_TRUE(next.stop());
}

}  // namespace
}  // namespace zarn
