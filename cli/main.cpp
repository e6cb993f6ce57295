#include <cstdio>

#include "cli/CCliRun.h"
#include "cli/CConsole.h"
#include "cli/CliArguments.h"
#include "cli/ConvertCommand.h"
#include "cli/ExitStatus.h"
#include "cli/NewProject.h"
#include "cli/RecordCommands.h"
#include "engine/CRunPipeline.h"
#include "platform/StopSignals.h"
#include "project/CProjectSettings.h"

namespace {

using namespace torvex;

int RunNew(const CliArguments& args) {
    NewProjectRequest request;
    request.projectDir = args.projectDir;
    request.url = args.url;
    request.assignments = args.assignments;
    request.force = args.force;
    request.defaultsPath = DefaultSettingsSourcePath();
    const NewProjectOutcome outcome = CreateNewProject(request);
    if (outcome.exit == CliExit::Finished) {
        std::printf("%s\n", outcome.message.c_str());
    } else {
        std::fprintf(stderr, "torvex-cli: %s\n", outcome.message.c_str());
    }
    return static_cast<int>(outcome.exit);
}

int RunProject(const CliArguments& args) {
    const RunCommand command = args.command == "update"   ? RunCommand::Update
                               : args.command == "resume" ? RunCommand::Resume
                                                          : RunCommand::Start;
    // Catch the stop signals before anything starts, so that no Ctrl-C can end the process
    // while a break point is being written.
    CStopSignals stops;
    CConsole console(stderr, StandardErrorIsTerminal());
    CRunPipeline pipeline;
    CCliRun run(pipeline, stops, console, args.yes);
    return static_cast<int>(run.Run(args.projectDir, command));
}

int RunConvert(const CliArguments& args) {
    CStopSignals stops;
    CConsole console(stderr, StandardErrorIsTerminal());
    return static_cast<int>(
        RunConvertCommand(args, console, [&stops] { return stops.StopRequestCount() > 0; }));
}

} // namespace

int main(int argc, char** argv) {
    const CliArguments args = ParseCliArguments(argc, argv);
    if (args.help) {
        std::fputs(CliUsageText().c_str(), stdout);
        return static_cast<int>(CliExit::Finished);
    }
    if (!args.error.empty()) {
        std::fprintf(stderr, "torvex-cli: %s\nTry 'torvex-cli --help'.\n", args.error.c_str());
        return static_cast<int>(CliExit::Usage);
    }
    if (args.command == "new") {
        return RunNew(args);
    }
    if (args.command == "convert") {
        return RunConvert(args);
    }
    if (IsRecordCommand(args.command)) {
        return RunRecordCommand(args);
    }
    return RunProject(args);
}
