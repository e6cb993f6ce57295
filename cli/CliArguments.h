#pragma once

#include <string>
#include <vector>

namespace torvex {

// What the command line of torvex-cli asked for.
struct CliArguments {
    std::string command;                  // "new", "start", "update", "resume", ... or empty
    std::string projectDir;
    std::string url;                      // "new" only
    std::vector<std::string> assignments; // "Key=Value" texts of "new"
    std::vector<std::string> names;       // record names of "delete-records", "delete-logs", "convert"
    bool yes = false;                     // --yes: answer every question with yes
    bool force = false;                   // --force: "new" may replace project.conf
    bool absolute = false;                // --absolute: "convert" links missing files absolutely
    bool help = false;                    // --help
    std::string error;                    // not empty: wrong usage, with the reason
};

// Reads argv[1..argc-1]. Options may stand anywhere; "--" ends the options.
CliArguments ParseCliArguments(int argc, const char* const* argv);

// The text of --help.
std::string CliUsageText();

} // namespace torvex
