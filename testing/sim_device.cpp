#include "testing/sim_device.h"

#include <stdlib.h>

#include <filesystem>

#include "platform/registry.h"
#include "platform/registry_file.h"

namespace zarn {

bool SimDevice::start(const std::string& simulator, std::vector<std::string> args, std::string& error) {
    char tmpl[] = "/tmp/zarn-e2e-XXXXXX";
    const char* made = mkdtemp(tmpl);
    if (!made) {
        error = "no temporary folder";
        return false;
    }
    root = made;
    setenv("ZARN_ROOT", root.c_str(), 1);
    args.insert(args.end(), {"--capture", capturePath()});
    if (!sim.start(simulator, args, error)) return false;
    loadRegistry(registryFilePath(), root + "/no-adapters");
    return true;
}

SimDevice::~SimDevice() {
    sim.stop();
    registry::clear();
    unsetenv("ZARN_ROOT");
    std::error_code ignored;
    if (!root.empty()) std::filesystem::remove_all(root, ignored);
}

}  // namespace zarn
