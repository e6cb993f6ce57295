#include "cli/CliArguments.h"

#include <array>

#include "base/AsciiCase.h"
#include "base/NearestName.h"
#include "cli/CliOptions.h"

namespace torvex {

namespace {

constexpr std::array<std::string_view, 11> kCommands = {
    "new",     "mirror",         "start",       "update",  "resume", "records",
    "convert", "delete-records", "delete-logs", "keys",    "help"};

bool IsRunCommand(std::string_view c) { return c == "start" || c == "update" || c == "resume"; }

bool IsRecordDeletion(std::string_view c) { return c == "delete-records" || c == "delete-logs"; }

bool TakesProjectSettings(std::string_view c) { return c == "new" || c == "mirror"; }

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string OptionName(const CCliOption& option) { return "--" + std::string(option.longName); }

// The option that `arg` names, with its value when it is written in the same word: "--level=3",
// "--span-hosts", "-l3", "-np". Null (and `error` set) for an unknown one.
const CCliOption* NamedOption(std::string_view arg, std::string& value, bool& hasValue,
                              std::string& error) {
    if (arg.starts_with("--")) {
        std::string_view name = arg.substr(2);
        const auto equals = name.find('=');
        if (equals != std::string_view::npos) {
            value = std::string(name.substr(equals + 1));
            hasValue = true;
            name = name.substr(0, equals);
        }
        const CCliOption* option = FindLongOption(name);
        if (!option) {
            error = "unknown option --" + std::string(name);
            const std::string_view nearest = NearestLongOption(name);
            if (!nearest.empty()) {
                error += "; did you mean --" + std::string(nearest) + "?";
            }
        }
        return option;
    }
    const std::string_view name = arg.substr(1);
    if (const CCliOption* option = FindShortOption(name)) {
        return option;
    }
    // A one-letter option with its value in the same word: "-l3", "-P/tmp/site".
    const CCliOption* option = FindShortOption(name.substr(0, 1));
    if (option && option->value == OptionValue::Required) {
        value = std::string(name.substr(1));
        hasValue = true;
        return option;
    }
    error = "unknown option " + std::string(arg);
    return nullptr;
}

// Which commands take an option outside the project settings; empty: every command.
std::string_view CommandsOf(const CCliOption& option) {
    if (IsProjectOption(option) || option.id == OptionId::InputFile ||
        option.id == OptionId::Force) {
        return "new and mirror";
    }
    if (option.id == OptionId::Directory) {
        return "mirror";
    }
    if (option.id == OptionId::Absolute) {
        return "convert";
    }
    return {};
}

bool OptionFits(const CCliOption& option, std::string_view command) {
    const std::string_view commands = CommandsOf(option);
    if (commands.empty()) {
        return true;
    }
    if (commands == "mirror" || commands == "convert") {
        return command == commands;
    }
    return TakesProjectSettings(command);
}

void TakeAddresses(CliArguments& args, const std::vector<std::string>& words) {
    for (const std::string& word : words) {
        args.urls.push_back(WithDefaultScheme(word));
    }
}

// The words of "new" or "mirror" after the command: the folder and the start addresses.
void ReadProjectWords(CliArguments& args, std::vector<std::string> words,
                      const std::string& directoryOption) {
    if (args.command == "new") {
        if (words.empty()) {
            args.error = "new needs a project folder and a start address";
            return;
        }
        args.projectDir = words.front();
        words.erase(words.begin());
    } else if (!directoryOption.empty()) {
        args.projectDir = directoryOption;
    } else if ((words.size() >= 2 || (!args.inputFile.empty() && words.size() == 1)) &&
               !LooksLikeAddress(words.back())) {
        args.projectDir = words.back();
        words.pop_back();
    }
    for (const std::string& word : words) {
        if (word.find('=') != std::string::npos && word.find("://") == std::string::npos) {
            args.error = "expected Key=Value, got \"" + word + "\"";
            return;
        }
        if (!LooksLikeAddress(word)) {
            // A bare word is more likely a mistyped option or key than a host without a dot.
            args.error = "\"" + word + "\" is neither a start address nor Key=Value (write " +
                         WithDefaultScheme(word) + "/ for a host without a dot)";
            return;
        }
    }
    TakeAddresses(args, words);
    if (args.urls.empty() && args.inputFile.empty()) {
        args.error = args.command + " needs a start address (or -i FILE)";
    }
}

void ReadCommandWords(CliArguments& args, const std::vector<std::string>& positional) {
    const std::size_t count = positional.size();
    const std::string& command = args.command;
    if (IsRunCommand(command) || command == "records") {
        if (count != 2) {
            args.error = command + " needs exactly one project folder";
            return;
        }
        args.projectDir = positional[1];
    } else if (IsRecordDeletion(command)) {
        if (count < 3) {
            args.error = command + " needs a project folder and at least one record name";
            return;
        }
        args.projectDir = positional[1];
        args.names.assign(positional.begin() + 2, positional.end());
    } else if (command == "convert") {
        if (count < 2) {
            args.error = "convert needs a project folder";
            return;
        }
        args.projectDir = positional[1];
        args.names.assign(positional.begin() + 2, positional.end());
    } else if (command == "keys") {
        if (count != 1) {
            args.error = "keys takes no arguments";
        }
    } else {
        args.error = "unknown command \"" + command + "\"";
        const std::string_view nearest = NearestName(command, kCommands);
        if (!nearest.empty()) {
            args.error += "; did you mean \"" + std::string(nearest) + "\"?";
        }
    }
}

} // namespace

bool IsKeyAssignment(std::string_view text) {
    const auto equals = text.find('=');
    if (equals == std::string_view::npos || equals == 0 || !IsAsciiLetter(text.front())) {
        return false;
    }
    for (const char c : text.substr(0, equals)) {
        if (!IsAsciiLetter(c) && !(c >= '0' && c <= '9')) {
            return false;
        }
    }
    return true;
}

bool LooksLikeAddress(std::string_view text) {
    if (text.find("://") != std::string_view::npos) {
        return true;
    }
    if (text.empty() || text.front() == '.' || text.front() == '/' || text.front() == '~') {
        return false;
    }
    const std::string_view host = text.substr(0, text.find('/'));
    return host.find_first_of(".:") != std::string_view::npos || EqualsNoCase(host, "localhost");
}

std::string WithDefaultScheme(std::string_view text) {
    if (text.find("://") != std::string_view::npos) {
        return std::string(text);
    }
    return "http://" + std::string(text);
}

std::vector<std::string> AddressesFromText(std::string_view text) {
    std::vector<std::string> addresses;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = Trimmed(text.substr(0, end));
        if (!line.empty() && line.front() != '#') {
            addresses.push_back(WithDefaultScheme(line));
        }
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return addresses;
}

CliArguments ParseCliArguments(int argc, const char* const* argv) {
    CliArguments args;
    std::vector<std::string> positional;
    std::vector<const CCliOption*> given;
    std::string directoryOption;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i] ? argv[i] : "";
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || arg.size() < 2 || arg.front() != '-') {
            // Key=Value stands among the words of "new" (after its folder) and "mirror".
            const bool settings = !optionsEnded && !positional.empty() &&
                                  ((positional[0] == "new" && positional.size() >= 2) ||
                                   positional[0] == "mirror");
            if (settings && IsKeyAssignment(arg)) {
                const auto equals = arg.find('=');
                args.settings.push_back({nullptr, std::string(arg.substr(0, equals)),
                                         std::string(arg.substr(equals + 1)), std::string(arg)});
            } else {
                positional.emplace_back(arg);
            }
            continue;
        }
        std::string value;
        bool hasValue = false;
        const CCliOption* option = NamedOption(arg, value, hasValue, args.error);
        if (!option) {
            return args;
        }
        std::string shown(arg);
        if (option->value == OptionValue::None && hasValue) {
            args.error = OptionName(*option) + " takes no value";
            return args;
        }
        if (option->value == OptionValue::Required && !hasValue) {
            if (i + 1 >= argc || argv[i + 1] == nullptr) {
                args.error = OptionName(*option) + " needs a value (" +
                             std::string(option->valueName) + ")";
                return args;
            }
            value = argv[++i];
            shown += " " + value;
        }
        given.push_back(option);
        switch (option->id) {
        case OptionId::Quiet: args.quiet = true; break;
        case OptionId::Verbose: args.verbose = true; break;
        case OptionId::Yes: args.yes = true; break;
        case OptionId::Force: args.force = true; break;
        case OptionId::Version: args.version = true; break;
        case OptionId::Help: args.help = true; break;
        case OptionId::Absolute: args.absolute = true; break;
        case OptionId::InputFile:
            if (!args.inputFile.empty()) {
                args.error = "--input-file may be given once";
                return args;
            }
            args.inputFile = value;
            break;
        case OptionId::Directory: directoryOption = value; break;
        default:
            args.settings.push_back({option, {}, value, shown});
            break;
        }
    }
    if (args.help || args.version) {
        return args;
    }
    if (positional.empty()) {
        args.error = "no command given";
        return args;
    }
    args.command = positional[0];
    if (args.command == "help") {
        args.help = true;
        return args;
    }
    if (TakesProjectSettings(args.command)) {
        ReadProjectWords(args, {positional.begin() + 1, positional.end()}, directoryOption);
    } else {
        ReadCommandWords(args, positional);
    }
    if (!args.error.empty()) {
        return args;
    }
    for (const CCliOption* option : given) {
        if (!OptionFits(*option, args.command)) {
            args.error = OptionName(*option) + " is an option of " +
                         std::string(CommandsOf(*option)) + " only";
            return args;
        }
    }
    return args;
}

} // namespace torvex
