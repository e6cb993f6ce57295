#include "cli/CliArguments.h"

#include <string_view>

namespace torvex {

namespace {

bool IsRunCommand(std::string_view c) { return c == "start" || c == "update" || c == "resume"; }

bool IsRecordDeletion(std::string_view c) { return c == "delete-records" || c == "delete-logs"; }

} // namespace

CliArguments ParseCliArguments(int argc, const char* const* argv) {
    CliArguments args;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i] ? argv[i] : "";
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            args.help = true;
        } else if (!optionsEnded && (arg == "--yes" || arg == "-y")) {
            args.yes = true;
        } else if (!optionsEnded && arg == "--force") {
            args.force = true;
        } else if (!optionsEnded && arg == "--absolute") {
            args.absolute = true;
        } else if (!optionsEnded && arg.starts_with("-") && arg.size() > 1) {
            args.error = "unknown option " + std::string(arg);
            return args;
        } else {
            positional.emplace_back(arg);
        }
    }
    if (args.help) {
        return args;
    }
    if (positional.empty()) {
        args.error = "no command given";
        return args;
    }
    args.command = positional[0];
    const std::size_t count = positional.size();
    if (args.command == "new") {
        if (count < 3) {
            args.error = "new needs a project folder and a start address";
            return args;
        }
        args.projectDir = positional[1];
        args.url = positional[2];
        args.assignments.assign(positional.begin() + 3, positional.end());
        for (const auto& a : args.assignments) {
            if (a.find('=') == std::string::npos || a.front() == '=') {
                args.error = "expected Key=Value, got \"" + a + "\"";
                return args;
            }
        }
    } else if (IsRunCommand(args.command)) {
        if (count != 2) {
            args.error = args.command + " needs exactly one project folder";
            return args;
        }
        args.projectDir = positional[1];
    } else if (args.command == "records") {
        if (count != 2) {
            args.error = "records needs exactly one project folder";
            return args;
        }
        args.projectDir = positional[1];
    } else if (IsRecordDeletion(args.command)) {
        if (count < 3) {
            args.error = args.command + " needs a project folder and at least one record name";
            return args;
        }
        args.projectDir = positional[1];
        args.names.assign(positional.begin() + 2, positional.end());
    } else if (args.command == "convert") {
        if (count < 2) {
            args.error = "convert needs a project folder";
            return args;
        }
        args.projectDir = positional[1];
        args.names.assign(positional.begin() + 2, positional.end());
    } else {
        args.error = "unknown command \"" + args.command + "\"";
    }
    if (args.absolute && args.command != "convert") {
        args.error = "--absolute is an option of convert only";
    }
    return args;
}

std::string CliUsageText() {
    return R"(Usage: torvex-cli COMMAND [OPTIONS] ...

Commands:
  new DIR URL [Key=Value ...]  Create a project in DIR with the start address URL. The settings
                               come from Config/default.conf in the working directory, else the
                               one installed with the program (Link=1: links to files not
                               fetched keep their addresses), else the built-in defaults; each
                               Key=Value is applied as if it stood in project.conf:
                               project-wide keys, and the keys of a [URL] section for the start
                               address (Level, HostFilter, ...). Values out of range are
                               clamped. Name= sets the project name (default: the last folder
                               of DIR).
  start DIR                    Run the project in DIR from the beginning (BackupLast decides
                               whether the latest record is kept as a backup first).
  update DIR                   Run the project again, fetching only what changed.
  resume DIR                   Continue an interrupted run from its break point (or, after the
                               question, by re-reading the link maps).
  records DIR                  List the download records of the project, oldest first and the
                               latest record last: name, start time (local time), status, total
                               files, files downloaded, time spent and the start page.
  delete-records DIR NAME...   Delete records ("latest" or a backup's record time, as "records"
                               shows them) with their stored files, link maps and logs. When the
                               latest record goes, the newest backup becomes the latest record;
                               when no record is left, the project's files go (not project.conf).
  delete-logs DIR NAME...      Delete the link maps and logs of records; the stored files and
                               the records stay.
  convert DIR [NAME...]        Rewrite the links of the stored pages of records ("latest" when
                               no NAME is given) from their link maps: every link to the local
                               address of its file, and with AutoExt=1 pages without an HTML
                               name get ".html" appended (AutoExt=0 takes it away again).
                               Pages changed after the record ended were converted since and
                               are passed over unless their links are in the other style.

Options:
  --yes, -y     Answer every question with yes (without it the answer is no, and the
                program says what it declined). The deletions ask before they delete.
  --force       "new": replace an existing project.conf.
  --absolute    "convert": links to files the record does not hold point to their absolute
                address instead (the other links stay local).
  --help, -h    Show this text.

While a run goes on and standard error is a terminal, one progress line shows the files
downloaded, the total files, the download and parse queues, the speed and the time elapsed.
Ctrl-C or SIGTERM stops the run and saves the break point; "resume" continues it later.
Further Ctrl-Cs while the break point is being saved do not cut the save short (Ctrl-\ ends
the program at once, without saving). Questions (resume without a break point) are answered
with --yes; without it the answer is no and the program says what it declined. At the end the
run's message is shown on standard error. When the project converts links after a run
(AutoConvert=1 and Link=1, or pages that need it), the program waits for that conversion;
Ctrl-C cancels it (the pages done keep their new links).

Records: every run writes into the record "latest". With BackupLast=1 a "start" first keeps the
latest record as a backup named by its record time (its files are then copied instead of fetched
where UpdateMode allows); "update" and "resume" work on the latest record in place. While a run of
the project goes on, in this or any other copy of the program, its latest record is not deleted.

Exit status:
  0   the run finished; a record command or convert did everything it was asked
  1   the run ended by an error (201, 205, 206, 3xx, 4xx, 501); a record command or convert
      failed in part (an unknown record, the latest record of a running project, files not
      removed)
  2   the run ended by a limit (202 to 204)
  3   the run was stopped; convert was cancelled
  4   the run could not start (102 to 107), a resume or deletion was declined, or a resume
      had nothing to do
  64  wrong usage

Exit status of new: 0 the project was written; 64 the request was refused (an address that
does not parse, a scheme other than http, https and ftp, an unknown key, an existing
project.conf without --force); 1 the folder or the file could not be written.

Environment:
  TORVEX_HOME   the working directory that holds Config/default.conf (default: the folder of
                the program file)
)";
}

} // namespace torvex
