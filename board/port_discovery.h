#pragma once
// Finds the board's serial port among the active drivers of the registry: the first one
// whose PnpId begins with "Quatech" or "CF-Serial_I-O" (case-sensitive) gives its Name.
// Writes the name, NUL-terminated, into name (128 bytes); "COM1:" when nothing matches.

#include <string>
#include <vector>

namespace zarn {

constexpr unsigned kPortNameSize = 128;
constexpr const char* kDefaultPortName = "COM1:";

void discoverPortName(char name[kPortNameSize]);

// Every matching driver's Name, in the registry's order ("COM1:" alone when none matches):
// the ports to try in turn when the first cannot be opened.
std::vector<std::string> discoverPortNames();

// Of the ports listed now, in their order, those a lost board can be on: a port it was on,
// the port given on the command line, and a port not listed at start-up. The fallback
// "COM1:" is no such new port: on a small computer it is the serial console.
std::vector<std::string> portsThatCanBeTheBoard(const std::vector<std::string>& listedNow,
                                                const std::vector<std::string>& listedAtStart,
                                                const std::vector<std::string>& boardWasOn, const std::string& given);

}  // namespace zarn
