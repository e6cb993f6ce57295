#include "cli/CliHelp.h"

#include <array>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/ExitStatus.h"
#include "project/CProjectSettings.h"
#include "project/SettingsKeys.h"

#ifndef TORVEX_VERSION
#define TORVEX_VERSION "0.0.0"
#endif

namespace torvex {

namespace {

constexpr std::size_t kWidth = 79;
constexpr std::size_t kTextColumn = 31;

struct CommandHelp {
    std::string_view synopsis;
    std::string_view text;
};

constexpr std::array kCommands = {
    CommandHelp{"mirror URL... [DIR]",
                "Make a project in DIR and run it at once. DIR defaults to a folder named after "
                "the first address's host (host+port when the address names a port) in the "
                "current directory; the last word is DIR when it "
                "does not look like an address (or give -P DIR). Takes the options and "
                "Key=Value of new. Like wget it keeps connections open between files "
                "(KeepAlive=1; --no-http-keep-alive: one connection per file). A project "
                "already in DIR is kept unless --force."},
    CommandHelp{"new DIR URL... [Key=Value ...]",
                "Make a project in DIR with the start addresses URL (and those of -i FILE), "
                "without running it. The settings come from Config/default.conf in the working "
                "directory, else the one installed with the program (Link=1: links to files not "
                "fetched keep their addresses), else the built-in defaults; then the options and "
                "each Key=Value apply in the order given: project-wide keys to the project, the "
                "keys of a [URL] section (Level, HostFilter, ...) to every start address. Name= "
                "sets the project name (default: the last folder of DIR)."},
    CommandHelp{"start DIR",
                "Run the project in DIR from the beginning (BackupLast decides whether the "
                "latest record is kept as a backup first)."},
    CommandHelp{"update DIR", "Run the project again, fetching only what changed."},
    CommandHelp{"resume DIR",
                "Continue an interrupted run from its break point (or, after the question, by "
                "re-reading the link maps)."},
    CommandHelp{"records DIR",
                "List the download records of the project, oldest first and the latest record "
                "last: name, start time (local time), status, total files, files downloaded, "
                "time spent and the start page."},
    CommandHelp{"delete-records DIR NAME...",
                "Delete records (\"latest\" or a backup's record time, as \"records\" shows "
                "them) with their stored files, link maps and logs. When the latest record goes, "
                "the newest backup becomes the latest record; when no record is left, the "
                "project's files go (not project.conf)."},
    CommandHelp{"delete-logs DIR NAME...",
                "Delete the link maps and logs of records; the stored files and the records "
                "stay."},
    CommandHelp{"convert DIR [NAME...]",
                "Rewrite the links of the stored pages of records (\"latest\" when no NAME is "
                "given) from their link maps: every link to the local address of its file, and "
                "with AutoExt=1 pages without an HTML name get \".html\" appended (AutoExt=0 "
                "takes it away again). Pages changed after the record ended were converted since "
                "and are passed over unless their links are in the other style."},
    CommandHelp{"keys",
                "List every project key with its default, what it accepts and what it means."},
};

struct ExitHelp {
    CliExit code;
    std::string_view text;
};

constexpr std::array kExits = {
    ExitHelp{CliExit::Finished,
             "the run finished and every file was fetched; new, a record command or convert did "
             "everything it was asked"},
    ExitHelp{CliExit::Error,
             "the run ended by an error (201, 205, 206, 3xx, 4xx, 501) or its break point could "
             "not be saved; new could not write the project; a record command or convert failed in part (an unknown record, the latest "
             "record of a running project, files not removed)"},
    ExitHelp{CliExit::Limit, "the run ended by a limit (202 to 204)"},
    ExitHelp{CliExit::Stopped, "the run was stopped; convert was cancelled"},
    ExitHelp{CliExit::NotStarted,
             "the run could not start (102 to 107), a resume or deletion was declined, or a "
             "resume had nothing to do"},
    ExitHelp{CliExit::FinishedWithFailures,
             "the run finished, but some files failed (missing on the server, refused, cut off "
             "after every try, or with no place in the copy: a name too long for where the "
             "project lives, a file and a folder of one name): they are listed with the reasons in logs/latest.failed beside "
             "the status log, and with -v"},
    ExitHelp{CliExit::Usage,
             "wrong usage: an unknown command, option or key, a value a key does not take, an "
             "address that does not parse, an existing project.conf without --force"},
};

constexpr std::string_view kRunText =
    "While a run goes on and standard error is a terminal, one progress line shows how long it "
    "has been running, the files fetched with their bytes, the addresses queued, the failures, "
    "and the rates of files and bytes; it fits the terminal's width. At the end a summary on "
    "standard error gives the files fetched, taken over and failed, the bytes, the time and the "
    "copy's index page. Ctrl-C or SIGTERM stops the run and saves the break point; \"resume\" "
    "continues it later. Further Ctrl-Cs while the break point is being saved do not cut the "
    "save short (Ctrl-\\ ends the program at once, without saving). When the project converts "
    "links after a run (AutoConvert=1 and Link=1, or pages that need it), the program waits for "
    "that conversion; Ctrl-C cancels it (the pages done keep their new links).";

constexpr std::string_view kValuesText =
    "Values are checked as they are given: a value that is not a number, or not one of a key's "
    "choices, is refused with what the key accepts; a number out of range is brought into it, "
    "with a warning that says to what; a text longer than its key holds is cut, with a "
    "warning. An address without a scheme gets \"http://\".";

constexpr std::string_view kRecordsText =
    "Every run writes into the record \"latest\". With BackupLast=1 a \"start\" first keeps the "
    "latest record as a backup named by its record time (its files are then copied instead of "
    "fetched where UpdateMode allows); \"update\" and \"resume\" work on the latest record in "
    "place. While a run of the project goes on, in this or any other copy of the program, its "
    "latest record is not deleted.";

std::string Wrapped(std::string_view text, std::size_t indent, std::size_t first) {
    std::string out;
    std::size_t column = first;
    bool lineStart = true;
    while (!text.empty()) {
        const auto blank = text.find(' ');
        const std::string_view word = text.substr(0, blank);
        text = blank == std::string_view::npos ? std::string_view() : text.substr(blank + 1);
        if (word.empty()) {
            continue;
        }
        if (!lineStart && column + 1 + word.size() > kWidth) {
            out += "\n" + std::string(indent, ' ');
            column = indent;
            lineStart = true;
        }
        if (!lineStart) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        lineStart = false;
    }
    return out + "\n";
}

// "  left" padded to the text column, then `text` wrapped under that column.
std::string Entry(std::string_view left, std::string_view text) {
    std::string line = "  " + std::string(left);
    if (line.size() + 1 > kTextColumn) {
        return line + "\n" + std::string(kTextColumn, ' ') +
               Wrapped(text, kTextColumn, kTextColumn);
    }
    line.resize(kTextColumn, ' ');
    return line + Wrapped(text, kTextColumn, kTextColumn);
}

std::string OptionSynopsis(const CCliOption& option) {
    std::string text;
    if (!option.shortName.empty()) {
        text += "-" + std::string(option.shortName) + ", ";
    }
    text += "--" + std::string(option.longName);
    if (option.value == OptionValue::Required) {
        text += "=" + std::string(option.valueName);
    } else if (option.value == OptionValue::Optional) {
        text += "[=" + std::string(option.valueName) + "]";
    }
    return text;
}

std::string OptionText(const CCliOption& option) {
    std::string text(option.help);
    text += ".";
    if (!option.alias.empty()) {
        text += " Also --" + std::string(option.alias) + ".";
    }
    if (!option.keys.empty()) {
        text += " [" + std::string(option.keys) + "]";
    }
    text += " wget: " + std::string(option.wget.empty() ? "none" : option.wget);
    return text;
}

std::string_view GroupTitle(OptionGroup group) {
    switch (group) {
    case OptionGroup::What: return "What is fetched (new, mirror)";
    case OptionGroup::How: return "How it is fetched (new, mirror)";
    case OptionGroup::Copy: return "How the copy is kept (new, mirror)";
    case OptionGroup::Input: return "Start addresses and the project folder";
    case OptionGroup::Output: return "Messages and questions";
    case OptionGroup::Convert: return "Convert";
    }
    return {};
}

constexpr std::array kGroups = {OptionGroup::What,  OptionGroup::How,    OptionGroup::Copy,
                                OptionGroup::Input, OptionGroup::Output, OptionGroup::Convert};

// The default of `key` as new projects get it from `defaults`.
std::string DefaultText(const CSettingsKey& key, const CProjectSettings& defaults) {
    CProjectSettings copy = defaults;
    if (key.place == KeyPlace::Header || key.kind == KeyKind::Password) {
        return std::string(key.defaultValue);
    }
    if (key.place == KeyPlace::Address) {
        CStartAddress address = copy.NewAddress();
        return KeyValueText(key, key.address(address));
    }
    return KeyValueText(key, key.project(copy));
}

struct KeySection {
    std::string_view title;
    bool (*holds)(const CSettingsKey& key);
};

constexpr std::array kKeySections = {
    KeySection{"Project-wide (project.conf; default.conf holds them for new projects too)",
               [](const CSettingsKey& k) {
                   return k.Settable() && k.place != KeyPlace::Address;
               }},
    KeySection{"Each start address ([URL] section; on the command line every address gets them)",
               [](const CSettingsKey& k) {
                   return k.Settable() && k.place == KeyPlace::Address;
               }},
    KeySection{"Only in Config/default.conf: what new start addresses get",
               [](const CSettingsKey& k) { return k.place == KeyPlace::Defaults; }},
    KeySection{"Set by the program or the desktop program's address list (not on the command "
               "line)",
               [](const CSettingsKey& k) {
                   return !k.Settable() && k.place != KeyPlace::Defaults;
               }},
};

std::string RoffEscaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else {
            out += c;
        }
    }
    // A line that begins with a dot or an apostrophe would be read as a request.
    if (!out.empty() && (out.front() == '.' || out.front() == '\'')) {
        out.insert(0, "\\&");
    }
    return out;
}

} // namespace

std::string CliVersionText() {
    return "torvex-cli " + std::string(TORVEX_VERSION) + " (project files " +
           std::string(kSettingsVersion) + ")\n";
}

std::string CliUsageText() {
    std::string text =
        "Usage: torvex-cli COMMAND [OPTIONS] ...\n\n"
        "In one step, as wget -m would (DIR: ./docs.example.org):\n"
        "  torvex-cli mirror --level=3 --no-parent http://docs.example.org/manual/\n\n"
        "Commands:\n";
    for (const CommandHelp& command : kCommands) {
        text += Entry(command.synopsis, command.text);
    }
    for (const OptionGroup group : kGroups) {
        text += "\n" + std::string(GroupTitle(group)) + ":\n";
        for (const CCliOption& option : CliOptions()) {
            if (option.group == group) {
                text += Entry(OptionSynopsis(option), OptionText(option));
            }
        }
    }
    text += "\nKeys, as Key=Value after new and mirror (\"torvex-cli keys\" tells more):\n";
    std::string names;
    for (const CSettingsKey& key : SettingsKeys()) {
        if (key.Settable()) {
            names += std::string(names.empty() ? "" : ", ") + std::string(key.name);
        }
    }
    text += "  " + Wrapped(names, 2, 2);
    text += "\n" + Wrapped(kValuesText, 0, 0);
    text += "\n" + Wrapped(kRunText, 0, 0);
    text += "\n" + Wrapped(kRecordsText, 0, 0);
    text += "\nExit status:\n";
    for (const ExitHelp& exit : kExits) {
        text += Entry(std::to_string(static_cast<int>(exit.code)), exit.text);
    }
    text += "\nEnvironment:\n";
    text += Entry("TORVEX_HOME", "the working directory that holds Config/default.conf "
                                 "(default: the folder of the program file)");
    return text;
}

std::string KeysListingText(const CProjectSettings& defaults, std::string_view defaultsSource) {
    std::string intro = "The keys of project.conf, with the default a new project gets";
    intro += defaultsSource.empty()
                 ? " (the built-in ones)."
                 : " (the built-in ones, as " + std::string(defaultsSource) + " sets them).";
    intro += " Set them as Key=Value after \"new\" or \"mirror\", or in the file.";
    std::string text = Wrapped(intro, 0, 0);
    for (const KeySection& section : kKeySections) {
        text += "\n" + std::string(section.title) + ":\n";
        for (const CSettingsKey& key : SettingsKeys()) {
            if (!section.holds(key)) {
                continue;
            }
            text += "  " + std::string(key.name) + "=" + DefaultText(key, defaults) + "\n";
            text += "      " + Wrapped(key.meaning, 6, 6);
            text += "      " + Wrapped("Takes " + AcceptedValuesText(key) + ".", 6, 6);
        }
    }
    return text;
}

std::string ManPageText() {
    const CProjectSettings builtIn;
    std::string page;
    page += ".TH TORVEX\\-CLI 1 \"\" \"Torvex " + std::string(TORVEX_VERSION) +
            "\" \"User Commands\"\n";
    page += ".SH NAME\ntorvex\\-cli \\- copy web sites into projects that can be resumed, "
            "updated and browsed offline\n";
    page += ".SH SYNOPSIS\n";
    for (const CommandHelp& command : kCommands) {
        page += ".B torvex\\-cli\n" + RoffEscaped(command.synopsis) + " [OPTIONS]\n.br\n";
    }
    page += ".SH DESCRIPTION\n";
    page += "torvex\\-cli is the command\\-line front end of Torvex. A project is a folder with "
            "its settings (project.conf) and its download records; a run crawls the start "
            "addresses over HTTP and FTP and stores every file under download/latest/, with "
            "the links of stored pages rewritten for offline browsing, the status log under "
            "logs/latest and the addresses that failed, with the reasons, in "
            "logs/latest.failed.\n.PP\n" +
            RoffEscaped(kValuesText) + "\n.PP\n" + RoffEscaped(kRunText) + "\n.PP\n" +
            RoffEscaped(kRecordsText) + "\n";
    page += ".SH COMMANDS\n";
    for (const CommandHelp& command : kCommands) {
        page += ".TP\n.B " + RoffEscaped(command.synopsis) + "\n" + RoffEscaped(command.text) +
                "\n";
    }
    page += ".SH OPTIONS\n";
    for (const OptionGroup group : kGroups) {
        page += ".SS " + RoffEscaped(GroupTitle(group)) + "\n";
        for (const CCliOption& option : CliOptions()) {
            if (option.group == group) {
                page += ".TP\n.B " + RoffEscaped(OptionSynopsis(option)) + "\n" +
                        RoffEscaped(OptionText(option)) + "\n";
            }
        }
    }
    page += ".SH KEYS\nThe keys of project.conf, with the built\\-in defaults (the "
            "Config/default.conf installed with the program sets Link=1). Set them as "
            "Key=Value after new or mirror, or in the file.\n";
    for (const KeySection& section : kKeySections) {
        page += ".SS " + RoffEscaped(section.title) + "\n";
        for (const CSettingsKey& key : SettingsKeys()) {
            if (section.holds(key)) {
                page += ".TP\n.B " + RoffEscaped(std::string(key.name) + "=" +
                                                 DefaultText(key, builtIn)) +
                        "\n" + RoffEscaped(std::string(key.meaning)) + ". Takes " +
                        RoffEscaped(AcceptedValuesText(key)) + ".\n";
            }
        }
    }
    page += ".SH EXIT STATUS\n";
    for (const ExitHelp& exit : kExits) {
        page += ".TP\n.B " + std::to_string(static_cast<int>(exit.code)) + "\n" +
                RoffEscaped(exit.text) + "\n";
    }
    page += ".SH ENVIRONMENT\n.TP\n.B TORVEX_HOME\nThe working directory that holds "
            "Config/default.conf (default: the folder of the program file).\n";
    page += ".SH EXAMPLES\n.nf\n"
            "torvex\\-cli mirror \\-\\-level=3 \\-\\-no\\-parent http://docs.example.org/manual/\n"
            "torvex\\-cli mirror \\-i addresses.txt \\-\\-threads=4 \\-\\-reject=zip,iso "
            "~/sites/docs\n"
            "torvex\\-cli new ~/sites/news http://news.example.org/ Level=2 Retry=5\n"
            "torvex\\-cli start ~/sites/news\n"
            "torvex\\-cli update ~/sites/news\n"
            ".fi\n";
    return page;
}

} // namespace torvex
