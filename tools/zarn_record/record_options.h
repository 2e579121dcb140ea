#pragma once
// zarn-record's command line, checked before the board or the log is touched.
//
//  - readRecordOptions(argc, argv, options): the options into `options`; nullopt when
//    the program is to run, else the exit status to end with: 0 after --help or
//    --version, 2 after a usage error (an unknown option, no measurement or two, a
//    frequency in neither band, a window across the bands or reversed, no -o), 1 when
//    a file cannot be used (a channel table that does not load, an output folder that
//    does not exist or is not writable). Each with its reason on stderr.
//  - A channel table is loaded into the board state here, with the screen's own reader.
//  - The port: --port, else ZARN_PORT, taken as zarn takes it.
//  - The archive: --archive, else ZARN_ARCHIVE; a conninfo libpq would not take is a
//    usage error, a password in --archive (seen by every user) is warned of.

#include <optional>
#include <string>

#include "screens/measurement_settings.h"

namespace zarn {

struct RecordOptions {
    uint8_t mode = 0;  // the screen mode of the measurement
    SingleChannelSettings single;
    SpectrumSettings spectrum;
    int serverBand = -1;
    uint32_t pcsRaster = 30000;
    std::string output;     // the log's host path
    std::string csv;        // "-" for standard output, else empty
    double seconds = 0;     // 0: until a signal
    double giveUp = 0;      // 0: never
    std::string port;       // as given, made absolute
    std::string archive;    // the archive's conninfo (--archive, else ZARN_ARCHIVE); empty: none
    double archiveDrain = 10;  // seconds for what is left at the end
};

std::optional<int> readRecordOptions(int argc, char** argv, RecordOptions& options);

}  // namespace zarn
