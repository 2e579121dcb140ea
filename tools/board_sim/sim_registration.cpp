#include "tools/board_sim/sim_registration.h"

#include <errno.h>
#include <signal.h>
#include <strings.h>

#include <cctype>

#include "platform/registry_file.h"

namespace zarn::sim {
namespace {

const std::string kKeyPrefix = std::string(kActiveDriversKey) + "\\ZarnSim";

// The pid a simulator's key names, or 0 when the path is no simulator's key.
pid_t keyPid(const std::string& keyPath) {
    if (keyPath.size() <= kKeyPrefix.size() || keyPath.size() > kKeyPrefix.size() + 9 ||
        strncasecmp(keyPath.c_str(), kKeyPrefix.c_str(), kKeyPrefix.size()) != 0)
        return 0;
    pid_t pid = 0;
    for (size_t i = kKeyPrefix.size(); i < keyPath.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(keyPath[i]))) return 0;
        pid = pid * 10 + (keyPath[i] - '0');
    }
    return pid;
}

bool processGone(pid_t pid) { return kill(pid, 0) != 0 && errno == ESRCH; }

}  // namespace

std::string simulatorKey(pid_t pid) { return kKeyPrefix + std::to_string(pid); }

bool removeStaleSimulatorKeys(const std::string& registryFile) {
    return removeRegistryKeysIf(registryFile, [](const std::string& keyPath) {
        const pid_t pid = keyPid(keyPath);
        return pid > 0 && processGone(pid);
    });
}

}  // namespace zarn::sim
