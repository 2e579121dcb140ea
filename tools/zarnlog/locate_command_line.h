#pragma once
// The command line of `zarnlog locate` (tools/zarnlog/map/locate_command.h):
//
//   locate LOG.zrn... [--track FILE] [--utc-offset +HH:MM] FREQUENCY [--method fit|centroid] [-o OUT]
//   locate --archive CONNINFO [--site NAME] [--from T] [--to T] FREQUENCY [--method fit|centroid] [-o OUT]
//   FREQUENCY: --mhz MHZ | --channel N --band 800|1900
//
// Exit status as the command's; 2 for a bad command line (a frequency
// outside both bands among it).

#include <ostream>
#include <string>
#include <vector>

namespace zarn {

int runLocateCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace zarn
