#include "cli/ConvertCommand.h"

#include <filesystem>
#include <vector>

#include "cli/CConsole.h"
#include "cli/CliArguments.h"
#include "engine/CLinkConversionQueue.h"
#include "engine/Records.h"
#include "project/CProjectPaths.h"
#include "project/CProjectSettings.h"

namespace torvex {

namespace {

constexpr int kWaitSliceMs = 100;

std::string OutcomeText(const CConversionProgress& progress) {
    const std::string record = "record " + progress.lastRecord;
    switch (progress.lastOutcome) {
    case ConversionOutcome::Done:
        return "Converted the links of " + record + ": " +
               std::to_string(progress.lastDonePages) + " of " +
               std::to_string(progress.lastTotalPages) + " pages.";
    case ConversionOutcome::Cancelled:
        return "The conversion of " + record + " was cancelled after " +
               std::to_string(progress.lastDonePages) + " of " +
               std::to_string(progress.lastTotalPages) + " pages.";
    case ConversionOutcome::NoRecord:
        return "Error: the status log of " + record + " could not be opened.";
    case ConversionOutcome::Busy:
        return "Error: the project is being downloaded; " + record + " was not converted.";
    case ConversionOutcome::Pending:
        break;
    }
    return {};
}

} // namespace

bool WaitForConversions(CLinkConversionQueue& queue, CConsole& console,
                        const std::function<bool()>& stopRequested) {
    int reported = queue.Progress().finishedJobs;
    bool cancelled = false;
    bool cancelAsked = false;
    for (;;) {
        const bool idle = queue.WaitIdle(kWaitSliceMs);
        const CConversionProgress progress = queue.Progress();
        if (progress.finishedJobs != reported) {
            reported = progress.finishedJobs;
            console.Message(OutcomeText(progress));
            cancelled = cancelled || progress.lastOutcome == ConversionOutcome::Cancelled;
        }
        if (idle) {
            break;
        }
        if (stopRequested() && !cancelAsked) {
            cancelAsked = true;
            console.Message("Cancelling the link conversion...");
            queue.CancelAll();
        }
        if (console.ShowsProgress() && !progress.record.empty()) {
            console.DrawProgress("Converting links of record " + progress.record + ": " +
                                 std::to_string(progress.donePages) + "/" +
                                 std::to_string(progress.totalPages) + " pages");
        }
    }
    console.ClearProgress();
    return !cancelled && !cancelAsked;
}

CliExit RunConvertCommand(const CliArguments& args, CConsole& console,
                          const std::function<bool()>& stopRequested) {
    const std::string dir = std::filesystem::absolute(args.projectDir).lexically_normal().string();
    CProjectSettings project;
    const std::string confPath = dir + "/" + std::string(kProjectConfName);
    if (!project.LoadProjectFile(confPath, nullptr)) {
        console.Message("Error: Failed to open the file or it is in wrong format!");
        console.Message("  " + confPath);
        return CliExit::Error;
    }
    std::vector<std::string> names = args.names;
    if (names.empty()) {
        names.emplace_back(kLatestRecordName);
    }
    const std::vector<CRecordInfo> records = ReadRecordList(dir);
    CLinkConversionQueue queue;
    bool whole = true;
    for (const std::string& name : names) {
        const CRecordInfo* record = nullptr;
        for (const CRecordInfo& candidate : records) {
            if (RecordName(candidate) == name) {
                record = &candidate;
            }
        }
        if (record == nullptr) {
            console.Message("Error: no record \"" + name + "\" in " + dir + "/project.log.");
            whole = false;
            continue;
        }
        CConversionJob job;
        job.projectDir = dir;
        job.record = name;
        job.linkMode = args.absolute ? LinkMode::Absolute : LinkMode::Local;
        job.appendHtml = project.AutoExt;
        job.hasRenamedFile = record->HasRenamedFile;
        // Pages written after the record ended were converted since; they are passed over.
        job.timeLimit = record->EndTime > 0 ? record->EndTime : -1;
        queue.Start(job);
        // One record at a time, so that each gets its own report before the next starts.
        if (!WaitForConversions(queue, console, stopRequested)) {
            return CliExit::Stopped;
        }
        const CConversionProgress progress = queue.Progress();
        whole = whole && progress.lastOutcome == ConversionOutcome::Done;
    }
    return whole ? CliExit::Finished : CliExit::Error;
}

} // namespace torvex
