#pragma once

#include <span>
#include <string_view>

namespace torvex {

// How an option takes its value.
enum class OptionValue : int {
    None = 0,       // --span-hosts
    Required = 1,   // --level=3, --level 3, -l 3, -l3
    Optional = 2,   // --update or --update=MODE (only with "=")
};

// The groups of --help and the man page; the project-setting groups (What, How, Copy) are the
// options of "new" and "mirror".
enum class OptionGroup : int {
    What = 0,      // what is fetched
    How = 1,       // how it is fetched
    Copy = 2,      // how the copy is kept
    Input = 3,     // start addresses and the project folder
    Output = 4,    // messages, questions
    Convert = 5,   // options of "convert"
};

// What an option does; the settings ids are turned into project keys by ApplyCliSetting.
enum class OptionId : int {
    Level, NoParent, SpanHosts, Domains, ExcludeDomains, IncludeDirectories, ExcludeDirectories,
    Accept, Reject, MaxFiles, MaxMinutes,
    Threads, Tries, Timeout, User, Password, Proxy, NoProxy, ProxyUser, ProxyPassword,
    UserAgent, Cookies, NoCookies, Update, HttpKeepAlive, NoHttpKeepAlive,
    AbsoluteLinks, LocalLinks, AdjustExtension, Backup, NoBackup,
    InputFile, Directory,
    Quiet, Verbose, Yes, Force, Version, Help,
    Absolute,
};

// One option of torvex-cli: the one place that names it, says what it takes and what it does,
// and gives its wget counterpart; the parser, --help and the man page are made from the table.
struct CCliOption {
    OptionId id;
    std::string_view longName;      // without "--"
    std::string_view shortName;     // without "-": "l", or "np" as wget writes it; empty: none
    OptionValue value;
    std::string_view valueName;     // "N", "LIST", ...
    OptionGroup group;
    std::string_view help;          // what it does, for --help and the man page
    std::string_view keys;          // the project keys it sets, for the docs ("Level")
    std::string_view wget;          // the wget option it stands for; empty: none
    std::string_view alias = {};    // a second long name ("convert-links")
};

// Every option, in the order --help lists them.
std::span<const CCliOption> CliOptions();

// The option with this long name (or alias), or null.
const CCliOption* FindLongOption(std::string_view name);
// The option with this short name ("l", "np"), or null.
const CCliOption* FindShortOption(std::string_view name);
// The long option `name` most likely misspells, or empty.
std::string_view NearestLongOption(std::string_view name);

// True for the options that set a project's keys ("new" and "mirror" take them).
bool IsProjectOption(const CCliOption& option);

} // namespace torvex
