#include "cli/RecordCommands.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <vector>

#include "cli/CliArguments.h"
#include "cli/ExitStatus.h"
#include "engine/Records.h"
#include "platform/FileSystem.h"
#include "platform/ProjectLock.h"
#include "project/CProjectPaths.h"

namespace torvex {

namespace {

std::string LocalTimeText(std::int64_t seconds) {
    if (seconds < 0) {
        return "-";
    }
    const auto time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    if (!localtime_r(&time, &parts)) {
        return "-";
    }
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

std::string StatusText(int status, bool projectRunning) {
    switch (status) {
    case 0:
        return "-";
    case 1:
        // A section still marked running while no run holds the project: the program ended
        // during that run.
        return projectRunning ? "Running" : "Interrupted";
    case 2:
        return "Stopped";
    case 3:
        return "Finished";
    case 4:
        return "Limited";
    case 5:
        return "Failed";
    default:
        return "Status " + std::to_string(status);
    }
}

std::string DurationText(std::int64_t seconds) {
    if (seconds < 0) {
        seconds = 0;
    }
    char text[40];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld",
                  static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += text.empty() ? "" : ", ";
        text += name;
    }
    return text;
}

int ListRecords(const CliArguments& args, std::ostream& out, std::ostream& err) {
    const std::string logPath = SetRecord(args.projectDir, std::nullopt).projectLog;
    std::string text;
    if (ReadProjectLog(logPath, text) == ProjectLogSource::Backup && FileExists(logPath)) {
        err << "torvex-cli: " << logPath << " is damaged; the records are read from its copy "
            << logPath << ".bak\n";
    }
    const bool running = IsProjectLocked(args.projectDir);
    for (const CRecordInfo& record : ReadRecordList(args.projectDir)) {
        out << FormatRecordLine(record, running && record.IsLatest) << '\n';
    }
    return static_cast<int>(CliExit::Finished);
}

int DeleteSome(const CliArguments& args, std::ostream& out, std::ostream& err) {
    const bool records = args.command == "delete-records";
    const std::string_view question = records ? kDeleteRecordsQuestion : kDeleteLogsQuestion;
    if (!args.yes) {
        err << "torvex-cli: " << question << " No (give --yes to answer yes); nothing deleted.\n";
        return static_cast<int>(CliExit::NotStarted);
    }
    const CRecordCommandOutcome outcome = records ? DeleteRecords(args.projectDir, args.names)
                                                  : DeleteRecordLogs(args.projectDir, args.names);
    for (const std::string& name : outcome.done) {
        out << (records ? "Deleted record " : "Deleted the logs of record ") << name << '\n';
    }
    if (outcome.promoted) {
        const auto list = ReadRecordList(args.projectDir);
        const std::string time = list.empty() ? "?" : std::to_string(list.back().RecordTime);
        out << "The newest backup (" << time << ") is now the latest record\n";
    }
    if (outcome.projectFilesRemoved) {
        out << "No record is left: the project's files were deleted (project.conf was kept)\n";
    }
    if (!outcome.refusedRunning.empty()) {
        err << "torvex-cli: the project is being downloaded; its latest record was not touched\n";
    }
    if (!outcome.unknown.empty()) {
        err << "torvex-cli: no such record in " << args.projectDir
            << "/project.log: " << Joined(outcome.unknown) << '\n';
    }
    if (!outcome.failed.empty()) {
        err << "torvex-cli: some files could not be removed for: " << Joined(outcome.failed)
            << '\n';
    }
    const bool whole =
        outcome.refusedRunning.empty() && outcome.unknown.empty() && outcome.failed.empty();
    return static_cast<int>(whole ? CliExit::Finished : CliExit::Error);
}

} // namespace

bool IsRecordCommand(std::string_view command) {
    return command == "records" || command == "delete-records" || command == "delete-logs";
}

int RunRecordCommand(const CliArguments& args, std::ostream& out, std::ostream& err) {
    if (!DirectoryExists(args.projectDir)) {
        err << "torvex-cli: " << args.projectDir << " is not a folder\n";
        return static_cast<int>(CliExit::Error);
    }
    if (args.command == "records") {
        return ListRecords(args, out, err);
    }
    return DeleteSome(args, out, err);
}

int RunRecordCommand(const CliArguments& args) {
    return RunRecordCommand(args, std::cout, std::cerr);
}

std::string FormatRecordLine(const CRecordInfo& record, bool projectRunning) {
    char counts[64];
    std::snprintf(counts, sizeof counts, "%6d files %6d downloaded", record.TotalFiles,
                  record.Downloaded);
    std::string line = RecordName(record);
    line.resize(std::max<std::size_t>(line.size(), 10), ' ');
    std::string status = StatusText(record.Status, projectRunning);
    status.resize(std::max<std::size_t>(status.size(), 11), ' ');
    line += "  " + LocalTimeText(record.StartTime) + "  " + status + "  " + counts + "  " +
            DurationText(record.ElapsedTime) + "  " +
            (record.StartPage.empty() ? std::string("-") : record.StartPage);
    return line;
}

} // namespace torvex
