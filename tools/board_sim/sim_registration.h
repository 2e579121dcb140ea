#pragma once
// The simulator's key in the registry file: HKEY_LOCAL_MACHINE\Drivers\Active\ZarnSim<pid>.
//
//  - simulatorKey(pid): that key's full path.
//  - removeStaleSimulatorKeys(file): drops every such key whose process is gone (a
//    simulator killed with SIGKILL cannot remove its own, and the discovery would take
//    its dead terminal first); keys of running processes and all other keys stay.

#include <sys/types.h>

#include <string>

namespace zarn::sim {

std::string simulatorKey(pid_t pid);
bool removeStaleSimulatorKeys(const std::string& registryFile);

}  // namespace zarn::sim
