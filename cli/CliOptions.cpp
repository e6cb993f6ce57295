#include "cli/CliOptions.h"

#include <array>
#include <vector>

#include "base/NearestName.h"

namespace torvex {

namespace {

using G = OptionGroup;
using I = OptionId;
using V = OptionValue;

// clang-format off
const std::array kOptions = {
    // What is fetched.
    CCliOption{I::Level, "level", "l", V::Required, "N", G::What,
        "follow links N deep from the start pages; 0 or inf: no limit",
        "Level=N+1 (Level=0 for no limit)", "-l, --level"},
    CCliOption{I::NoParent, "no-parent", "np", V::None, "", G::What,
        "follow links only into the start page's directory and below",
        "PathFilter=1", "-np, --no-parent"},
    CCliOption{I::SpanHosts, "span-hosts", "H", V::None, "", G::What,
        "follow links to every host", "HostFilter=0", "-H, --span-hosts"},
    CCliOption{I::Domains, "domains", "D", V::Required, "LIST", G::What,
        "follow links only to these domains and their subdomains (LIST: comma-separated)",
        "HostFilter=3, FHost", "-D, --domains"},
    CCliOption{I::ExcludeDomains, "exclude-domains", "", V::Required, "LIST", G::What,
        "never follow links to these domains and their subdomains (with --span-hosts or "
        "--domains)",
        "EHost", "--exclude-domains"},
    CCliOption{I::IncludeDirectories, "include-directories", "I", V::Required, "LIST", G::What,
        "follow links only into these directories (and below them)", "PathFilter=2, FPath",
        "-I, --include-directories"},
    CCliOption{I::ExcludeDirectories, "exclude-directories", "X", V::Required, "LIST", G::What,
        "never follow links into these directories (and below them)", "EPath",
        "-X, --exclude-directories"},
    CCliOption{I::Accept, "accept", "A", V::Required, "LIST", G::What,
        "fetch only files with these extensions (pages are still fetched, to follow their "
        "links, and kept)",
        "NoFileFilter=0, FilterOther=1, FileFilter1..8", "-A, --accept"},
    CCliOption{I::Reject, "reject", "R", V::Required, "LIST", G::What,
        "never fetch files with these extensions", "NoFileFilter=0, FileFilter1..8",
        "-R, --reject"},
    CCliOption{I::MaxFiles, "max-files", "", V::Required, "N", G::What,
        "stop the run after N files downloaded (0: no limit)", "MaxFile",
        "none (-Q limits bytes)"},
    CCliOption{I::MaxMinutes, "max-minutes", "", V::Required, "N", G::What,
        "stop the run after N minutes (0: no limit)", "MaxMinute", "none"},

    // How it is fetched.
    CCliOption{I::Threads, "threads", "", V::Required, "N", G::How,
        "download with N threads at once (1 to 50)", "DownthreadNum",
        "none (wget2: --max-threads)"},
    CCliOption{I::Tries, "tries", "t", V::Required, "N", G::How,
        "try each file at most N times; 0 or inf: 100 times", "Retry=N-1", "-t, --tries"},
    CCliOption{I::Timeout, "timeout", "T", V::Required, "SECONDS", G::How,
        "wait at most SECONDS for a server to connect, answer or send (10 to 1200)", "TimeOut",
        "-T, --timeout"},
    CCliOption{I::User, "user", "", V::Required, "NAME", G::How,
        "the user name for protected sites (every start address)", "Username",
        "--user, --http-user"},
    CCliOption{I::Password, "password", "", V::Required, "TEXT", G::How,
        "the password for --user (kept scrambled in project.conf)", "Password",
        "--password, --http-password"},
    CCliOption{I::Proxy, "proxy", "", V::Required, "[socks5://]HOST[:PORT]", G::How,
        "use this proxy: HTTP, or SOCKS5 with socks5:// (port 8080, or 1080 for SOCKS5)",
        "UseGlobeProxy=0, Proxy, ProxyServer, ProxyPort",
        "-e use_proxy=on -e http_proxy=URL"},
    CCliOption{I::NoProxy, "no-proxy", "", V::None, "", G::How,
        "use no proxy, whatever Config/Torvex.conf says", "UseGlobeProxy=0, Proxy=0",
        "--no-proxy"},
    CCliOption{I::ProxyUser, "proxy-user", "", V::Required, "NAME", G::How,
        "the user name for --proxy", "ProxyUser", "--proxy-user"},
    CCliOption{I::ProxyPassword, "proxy-password", "", V::Required, "TEXT", G::How,
        "the password for --proxy-user", "ProxyPassword", "--proxy-password"},
    CCliOption{I::UserAgent, "user-agent", "U", V::Required, "TEXT", G::How,
        "send TEXT as the User-Agent", "UserAgentMode=4, UserDefined", "-U, --user-agent"},
    CCliOption{I::Cookies, "cookies", "", V::Required, "on|off", G::How,
        "send back the cookies that servers set, and keep them for the next run (on by "
        "default)",
        "Cookie", "--cookies=on|off"},
    CCliOption{I::NoCookies, "no-cookies", "", V::None, "", G::How, "the same as --cookies=off",
        "Cookie=0", "--no-cookies"},
    CCliOption{I::Update, "update", "", V::Optional, "MODE", G::How,
        "what becomes of files an earlier record holds: server (ask the server whether they "
        "changed; also without MODE; the default), local-first (take the older copy, download "
        "only when it cannot be read), local (take the older copy or skip the file)",
        "UpdateMode=2, 1 or 0", "-N, --timestamping (server); -nc, --no-clobber (local-first)"},
    CCliOption{I::HttpKeepAlive, "http-keep-alive", "", V::None, "", G::How,
        "keep connections open between files and accept compressed replies (HTTP/1.1; the "
        "default of mirror, as wget keeps its connections open)",
        "KeepAlive=1", "none (wget's default)"},
    CCliOption{I::NoHttpKeepAlive, "no-http-keep-alive", "", V::None, "", G::How,
        "one HTTP/1.0 connection per file, replies as they are (the default of new)",
        "KeepAlive=0", "--no-http-keep-alive"},

    // How the copy is kept.
    CCliOption{I::AbsoluteLinks, "absolute-links", "k", V::None, "", G::Copy,
        "links to files the copy does not hold keep their absolute addresses (the shipped "
        "default)",
        "Link=1", "-k, --convert-links", "convert-links"},
    CCliOption{I::LocalLinks, "local-links", "", V::None, "", G::Copy,
        "links to files the copy does not hold point to where they would be stored",
        "Link=0", "none"},
    CCliOption{I::AdjustExtension, "adjust-extension", "E", V::None, "", G::Copy,
        "append .html to stored pages whose names do not say HTML (list.php: list.php.html)",
        "AutoExt=1", "-E, --adjust-extension"},
    CCliOption{I::Backup, "backup", "", V::None, "", G::Copy,
        "a later start keeps the copy it replaces as a backup record (the default)",
        "BackupLast=1", "none (wget overwrites)"},
    CCliOption{I::NoBackup, "no-backup", "", V::None, "", G::Copy,
        "a later start overwrites the latest record", "BackupLast=0", "none"},

    // Start addresses and the project folder.
    CCliOption{I::InputFile, "input-file", "i", V::Required, "FILE", G::Input,
        "read start addresses from FILE, one a line (blank lines and lines starting with # "
        "are passed over; -: standard input)",
        "", "-i, --input-file"},
    CCliOption{I::Directory, "directory-prefix", "P", V::Required, "DIR", G::Input,
        "mirror: the project folder (default: a folder named after the first address's host, "
        "in the current directory)",
        "", "-P, --directory-prefix"},

    // Messages and questions.
    CCliOption{I::Quiet, "quiet", "q", V::None, "", G::Output,
        "show errors only: no progress line, no warnings, no summary", "", "-q, --quiet"},
    CCliOption{I::Verbose, "verbose", "v", V::None, "", G::Output,
        "one line for every file fetched or failed, and the failed files again at the end",
        "", "-v, --verbose"},
    CCliOption{I::Yes, "yes", "y", V::None, "", G::Output,
        "answer every question with yes (without it the answer is no, and the program says "
        "what it declined); the deletions ask before they delete",
        "", "none"},
    CCliOption{I::Force, "force", "", V::None, "", G::Output,
        "new, mirror: replace an existing project.conf", "", "none"},
    CCliOption{I::Version, "version", "V", V::None, "", G::Output, "show the version and end",
        "", "-V, --version"},
    CCliOption{I::Help, "help", "h", V::None, "", G::Output, "show this text and end", "",
        "-h, --help"},

    CCliOption{I::Absolute, "absolute", "", V::None, "", G::Convert,
        "convert: links to files the record does not hold point to their absolute addresses "
        "(the other links stay local)",
        "", "none"},
};
// clang-format on

} // namespace

std::span<const CCliOption> CliOptions() { return kOptions; }

const CCliOption* FindLongOption(std::string_view name) {
    for (const CCliOption& option : kOptions) {
        if (option.longName == name || (!option.alias.empty() && option.alias == name)) {
            return &option;
        }
    }
    return nullptr;
}

const CCliOption* FindShortOption(std::string_view name) {
    for (const CCliOption& option : kOptions) {
        if (!option.shortName.empty() && option.shortName == name) {
            return &option;
        }
    }
    return nullptr;
}

std::string_view NearestLongOption(std::string_view name) {
    std::vector<std::string_view> names;
    for (const CCliOption& option : kOptions) {
        names.push_back(option.longName);
    }
    return NearestName(name, names);
}

bool IsProjectOption(const CCliOption& option) {
    return option.group == OptionGroup::What || option.group == OptionGroup::How ||
           option.group == OptionGroup::Copy;
}

} // namespace torvex
