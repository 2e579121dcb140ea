#pragma once
// Command lines: every program's options in one table, parsed by getopt_long, so that
// the help text and the parsing cannot drift apart and every program answers the same way.
//
//  - parseCommandLine(line, argc, argv): nullopt when the program is to run; otherwise the
//    exit status to end with at once: 0 after --help (the help on stdout) or --version
//    ("PROGRAM VERSION" on stdout); 2 after a usage error (an unknown option, a
//    missing value, a value its option refuses, an operand), with the reason and the
//    usage on stderr. -h and -V are the short forms of --help and --version.
//  - A value's option takes it or says what is wrong with it; textOption refuses an empty
//    value, numberOption anything but a whole decimal number (C locale) within its range.
//  - A refused value's reason follows "--NAME: ", unless it starts by naming its option ("--NAME VALUE: ...").
//  - A program with operands (commands, files) names where they go; getopt_long gathers
//    them from anywhere on the line. A program with its own help or usage text names it.
//  - Adding an option is one line in the program's table (and its field).

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace zarn {

struct CommandOption {
    const char* name;       // long form, without "--"
    char letter;            // short form, or 0
    const char* valueName;  // shown in the help; nullptr for an option without a value
    const char* help;       // lines separated by '\n'
    // Takes the value (nullptr for a flag); "" or the reason it is refused.
    std::function<std::string(const char* value)> take;
};

struct CommandLine {
    const char* program;
    const char* summary;  // after the usage line of --help
    std::vector<CommandOption> options;
    const char* epilogue = "";  // after the options in --help (formats, environment)
    std::vector<std::string>* operands = nullptr;  // nullptr: an operand is a usage error
    const char* help = nullptr;   // the whole --help text, instead of the one made from the table
    const char* usage = nullptr;  // after a usage error's reason, instead of the usage and options
};

std::optional<int> parseCommandLine(const CommandLine& line, int argc, char** argv);
// The same over the words after the program's name, the help and version on `out` and
// usage errors on `err`.
std::optional<int> parseCommandLine(const CommandLine& line, const std::vector<std::string>& args,
                                    std::ostream& out, std::ostream& err);
std::string commandHelp(const CommandLine& line);

CommandOption flagOption(const char* name, char letter, const char* help, bool& into);
CommandOption textOption(const char* name, char letter, const char* valueName, const char* help,
                         std::string& into);
CommandOption numberOption(const char* name, char letter, const char* valueName, const char* help,
                           double& into, double least, double most);
CommandOption integerOption(const char* name, char letter, const char* valueName, const char* help,
                            int& into, int least, int most);

}  // namespace zarn
