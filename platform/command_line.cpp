#include "platform/command_line.h"

#include <getopt.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "zarn_version.h"

namespace zarn {
namespace {

constexpr int kFirstLongOnly = 256;  // getopt values of options without a short form
constexpr int kHelp = 'h', kVersion = 'V';

std::vector<CommandOption> withStandardOptions(const CommandLine& line) {
    std::vector<CommandOption> all = line.options;
    all.push_back({"help", 'h', nullptr, "show this help and exit", nullptr});
    all.push_back({"version", 'V', nullptr, "show the version and exit", nullptr});
    return all;
}

int optionValue(const std::vector<CommandOption>& options, size_t i) {
    return options[i].letter ? options[i].letter : kFirstLongOnly + static_cast<int>(i);
}

const CommandOption* optionOf(const std::vector<CommandOption>& options, int value) {
    for (size_t i = 0; i < options.size(); ++i)
        if (optionValue(options, i) == value) return &options[i];
    return nullptr;
}

std::string leftColumn(const CommandOption& o) {
    std::string text = o.letter ? std::string("  -") + o.letter + ", " : std::string(6, ' ');
    text.append("--").append(o.name);
    if (o.valueName) text.append("=").append(o.valueName);
    return text;
}

std::string optionList(const std::vector<CommandOption>& options) {
    size_t width = 0;
    for (const auto& o : options) width = std::max(width, leftColumn(o).size());
    width += 2;
    std::string text = "Options:\n";
    for (const auto& o : options) {
        std::string left = leftColumn(o);
        left.resize(width, ' ');
        const char* help = o.help;
        while (const char* end = std::strchr(help, '\n')) {
            text.append(left).append(help, end).append("\n");
            left.assign(width, ' ');
            help = end + 1;
        }
        text.append(left).append(help).append("\n");
    }
    return text;
}

std::string usageLine(const CommandLine& line) { return std::string("Usage: ") + line.program + " [OPTION]...\n"; }

int usageError(const CommandLine& line, const std::vector<CommandOption>& options, const std::string& reason,
               std::ostream& err) {
    err << line.program << ": " << reason << "\n";
    if (line.usage) err << line.usage;
    else err << usageLine(line) << optionList(options);
    err.flush();
    return 2;
}

// What getopt_long refused, in the user's words.
std::string refusal(const std::vector<CommandOption>& options, int code, char** argv) {
    const CommandOption* known = optionOf(options, optopt);
    if (code == ':' && known)
        return std::string("option '--") + known->name + "' needs a value (" + known->valueName + ")";
    if (known) return std::string("option '--") + known->name + "' takes no value";
    if (optopt > 0 && optopt < kFirstLongOnly) return std::string("unknown option '-") + static_cast<char>(optopt) + "'";
    std::string given = argv[optind - 1];
    given = given.substr(0, given.find('='));
    return "unknown option '" + given + "'";
}

}  // namespace

std::string commandHelp(const CommandLine& line) {
    if (line.help) return line.help;
    std::string text = usageLine(line) + line.summary + "\n\n" + optionList(withStandardOptions(line));
    if (*line.epilogue) text.append("\n").append(line.epilogue);
    return text;
}

namespace {

std::optional<int> parse(const CommandLine& line, int argc, char** argv, std::ostream& out, std::ostream& err) {
    const std::vector<CommandOption> options = withStandardOptions(line);
    std::vector<option> longOptions;
    std::string shortOptions = ":";  // a missing value reads ':', apart from an unknown option
    for (size_t i = 0; i < options.size(); ++i) {
        const CommandOption& o = options[i];
        longOptions.push_back({o.name, o.valueName ? required_argument : no_argument, nullptr, optionValue(options, i)});
        if (o.letter) shortOptions.append(1, o.letter).append(o.valueName ? ":" : "");
    }
    longOptions.push_back({nullptr, 0, nullptr, 0});
    opterr = 0;
    optind = 0;  // getopt starts afresh, also when a program (or a test) parses twice
    for (;;) {
        const int code = getopt_long(argc, argv, shortOptions.c_str(), longOptions.data(), nullptr);
        if (code == -1) break;
        if (code == '?' || code == ':') return usageError(line, options, refusal(options, code, argv), err);
        if (code == kHelp) {
            out << commandHelp(line) << std::flush;
            return 0;
        }
        if (code == kVersion) {
            out << line.program << " " << kZarnVersion << "\n" << std::flush;
            return 0;
        }
        const CommandOption* o = optionOf(options, code);
        const std::string problem = o->take(o->valueName ? optarg : nullptr);
        const std::string name = std::string("--") + o->name;
        if (problem.rfind(name + " ", 0) == 0) return usageError(line, options, problem, err);
        if (!problem.empty()) return usageError(line, options, name + ": " + problem, err);
    }
    if (line.operands) line.operands->assign(argv + optind, argv + argc);
    else if (optind < argc)
        return usageError(line, options, std::string("unexpected argument '") + argv[optind] + "'", err);
    return std::nullopt;
}

}  // namespace

std::optional<int> parseCommandLine(const CommandLine& line, int argc, char** argv) {
    return parse(line, argc, argv, std::cout, std::cerr);
}

std::optional<int> parseCommandLine(const CommandLine& line, const std::vector<std::string>& args,
                                    std::ostream& out, std::ostream& err) {
    std::vector<std::string> words{line.program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    return parse(line, static_cast<int>(words.size()), argv.data(), out, err);
}

CommandOption flagOption(const char* name, char letter, const char* help, bool& into) {
    return {name, letter, nullptr, help, [&into](const char*) {
                into = true;
                return std::string();
            }};
}

CommandOption textOption(const char* name, char letter, const char* valueName, const char* help,
                         std::string& into) {
    return {name, letter, valueName, help, [&into](const char* value) {
                if (!*value) return std::string("the value is empty");
                into = value;
                return std::string();
            }};
}

namespace {

template <typename Number>
std::string takeNumber(const char* value, Number& into, Number least, Number most) {
    Number n{};
    const char* end = value + std::strlen(value);
    const auto [stop, error] = std::from_chars(value, end, n);
    if (stop == value || stop != end || error == std::errc::invalid_argument ||
        !std::isfinite(static_cast<double>(n)))
        return std::string("'") + value + "' is not a number";
    char range[80];
    std::snprintf(range, sizeof range, " is out of range (%g to %g)", static_cast<double>(least),
                  static_cast<double>(most));
    if (error == std::errc::result_out_of_range || n < least || n > most)
        return value + std::string(range);
    into = n;
    return {};
}

}  // namespace

CommandOption numberOption(const char* name, char letter, const char* valueName, const char* help,
                           double& into, double least, double most) {
    return {name, letter, valueName, help,
            [&into, least, most](const char* value) { return takeNumber(value, into, least, most); }};
}

CommandOption integerOption(const char* name, char letter, const char* valueName, const char* help,
                            int& into, int least, int most) {
    return {name, letter, valueName, help,
            [&into, least, most](const char* value) { return takeNumber(value, into, least, most); }};
}

}  // namespace zarn
