#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace torvex {

struct CCliOption;

// One project setting from the command line, in the order given: an option of the project
// groups (--level=3) or a Key=Value.
struct CliSetting {
    const CCliOption* option = nullptr;   // null: a Key=Value
    std::string key;                      // Key=Value: the key as typed
    std::string value;                    // the option's value, or the key's
    std::string text;                     // as typed, for messages: "--level=abc", "Level=abc"
};

// What the command line of torvex-cli asked for.
struct CliArguments {
    std::string command;                  // "new", "mirror", "start", "keys", ... or empty
    std::string projectDir;               // for "mirror" empty unless given
    std::vector<std::string> urls;        // "new", "mirror": start addresses, in order
    std::string inputFile;                // -i FILE: more start addresses ("-": standard input)
    std::vector<CliSetting> settings;     // "new", "mirror"
    std::vector<std::string> names;       // records of "delete-records", "delete-logs", "convert"
    bool yes = false;                     // --yes: answer every question with yes
    bool force = false;                   // --force: "new" and "mirror" may replace project.conf
    bool absolute = false;                // --absolute: "convert" links missing files absolutely
    bool help = false;                    // --help
    bool version = false;                 // --version
    bool quiet = false;                   // -q: errors only
    bool verbose = false;                 // -v: a line for every file
    std::string error;                    // not empty: wrong usage, with the reason
};

// Reads argv[1..argc-1]. Options may stand anywhere; "--" ends the options. Start addresses
// without a scheme get "http://".
CliArguments ParseCliArguments(int argc, const char* const* argv);

// "Key=Value": a key (letters and digits, beginning with a letter), "=", anything.
bool IsKeyAssignment(std::string_view text);
// Whether a word of "mirror" is a start address rather than the project folder: it has a
// scheme, or its part before the first "/" looks like a host (has a dot or a colon, or is
// "localhost") and it does not begin with ".", "/" or "~".
bool LooksLikeAddress(std::string_view text);
// `text` with "http://" in front when it has no scheme ("example.org/docs/").
std::string WithDefaultScheme(std::string_view text);
// The start addresses of an input file: one a line, blanks around them cut, blank lines and
// lines beginning with "#" passed over, "http://" put in front where there is no scheme.
std::vector<std::string> AddressesFromText(std::string_view text);

} // namespace torvex
