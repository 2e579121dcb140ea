// Start-up cost of a large registry.reg: reading the file into the tree, then the
// port discovery walking every active driver to the card's key at the end.
#include <benchmark/benchmark.h>

#include <string>

#include "board/port_discovery.h"
#include "platform/registry.h"
#include "platform/registry_file.h"

namespace {

std::string registryText(int keys) {
    std::string text = "Windows Registry Editor Version 5.00\n\n";
    for (int k = 0; k < keys; ++k) {
        const std::string n = std::to_string(k);
        text += "[HKEY_LOCAL_MACHINE\\Drivers\\Active\\" + n + "]\n\"PnpId\"=\"Other_Driver_" + n +
                "\"\n\"Name\"=\"COM" + n + ":\"\n\n";
    }
    text += "[HKEY_LOCAL_MACHINE\\Drivers\\Active\\Card]\n\"PnpId\"=\"CF-Serial_I-O\"\n\"Name\"=\"/dev/ttyCARD\"\n";
    return text;
}

void readAndDiscover(benchmark::State& state) {
    const std::string text = registryText(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        zarn::registry::clear();
        zarn::parseRegistryText(text);
        char name[zarn::kPortNameSize];
        zarn::discoverPortName(name);
        if (std::string(name) != "/dev/ttyCARD") state.SkipWithError("the card's key was not found");
        benchmark::DoNotOptimize(name);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(readAndDiscover)->Arg(1000)->Arg(10000)->Arg(30000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
