#include <cstdio>
#include <iostream>
#include <iterator>

#include "cli/CCliRun.h"
#include "cli/CConsole.h"
#include "cli/CliArguments.h"
#include "cli/CliHelp.h"
#include "cli/ConvertCommand.h"
#include "cli/ExitStatus.h"
#include "cli/NewProject.h"
#include "cli/RecordCommands.h"
#include "engine/CRunPipeline.h"
#include "platform/FileSystem.h"
#include "platform/ProgramDir.h"
#include "platform/StopSignals.h"
#include "project/CProjectSettings.h"
#include "url/CUrl.h"
#include "url/LocalNames.h"

namespace {

using namespace torvex;

int UsageError(const std::string& message) {
    std::fprintf(stderr, "torvex-cli: %s\nTry 'torvex-cli --help'.\n", message.c_str());
    return static_cast<int>(CliExit::Usage);
}

// The start addresses of the command line and of -i FILE; false (with `error`) when the file
// cannot be read or no address is left.
bool CollectAddresses(const CliArguments& args, std::vector<std::string>& urls,
                      std::string& error) {
    urls = args.urls;
    if (!args.inputFile.empty()) {
        std::string text;
        if (args.inputFile == "-") {
            text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        } else if (!ReadFileText(args.inputFile, text)) {
            error = "cannot read the address list " + args.inputFile;
            return false;
        }
        for (std::string& url : AddressesFromText(text)) {
            urls.push_back(std::move(url));
        }
    }
    if (urls.empty()) {
        error = "no start address given (the address list " + args.inputFile + " holds none)";
        return false;
    }
    return true;
}

// The folder "mirror" makes when none is given: the local name of the first address's host
// ("docs.example.org", "127.0.0.1+8080"), in the current directory.
std::string MirrorDir(const std::string& url) {
    CUrl parsed(url);
    std::string localDir;
    std::string fileName;
    if (!parsed.IsValid() || !LocalNames(parsed, false, 0, localDir, fileName)) {
        return {};
    }
    return localDir.substr(0, localDir.find('/'));
}

// Makes the project of "new" or "mirror"; the warnings and refusals go to `console`.
CliExit MakeProject(const CliArguments& args, const std::string& dir,
                    const std::vector<std::string>& urls, CConsole& console,
                    NewProjectOutcome& outcome) {
    NewProjectRequest request;
    request.projectDir = dir;
    request.urls = urls;
    request.settings = args.command == "mirror" ? MirrorSettings(args.settings) : args.settings;
    request.force = args.force;
    request.defaultsPath = DefaultSettingsSourcePath();
    outcome = CreateNewProject(request);
    for (const std::string& warning : outcome.warnings) {
        console.Message("torvex-cli: warning: " + warning);
    }
    if (outcome.exit == CliExit::Usage) {
        console.Error("torvex-cli: " + outcome.message + "\nTry 'torvex-cli --help'.");
    } else if (outcome.exit != CliExit::Finished) {
        console.Error("torvex-cli: " + outcome.message);
    }
    return outcome.exit;
}

int RunNew(const CliArguments& args) {
    std::vector<std::string> urls;
    std::string error;
    if (!CollectAddresses(args, urls, error)) {
        return UsageError(error);
    }
    CConsole console(stderr, false, args.quiet);
    NewProjectOutcome outcome;
    const CliExit exit = MakeProject(args, args.projectDir, urls, console, outcome);
    if (exit == CliExit::Finished && !args.quiet) {
        std::printf("%s\n", outcome.message.c_str());
    }
    return static_cast<int>(exit);
}

CCliRunOptions RunOptions(const CliArguments& args) {
    CCliRunOptions options;
    options.answerYes = args.yes;
    options.verbose = args.verbose;
    options.commandName = CommandNameForHints("torvex-cli");
    return options;
}

int RunProject(const CliArguments& args, const std::string& projectDir, RunCommand command) {
    // Catch the stop signals before anything starts, so that no Ctrl-C can end the process
    // while a break point is being written.
    CStopSignals stops;
    CConsole console(stderr, StandardErrorIsTerminal(), args.quiet);
    CRunPipeline pipeline;
    CCliRun run(pipeline, stops, console, RunOptions(args));
    return static_cast<int>(run.Run(projectDir, command));
}

int RunMirror(const CliArguments& args) {
    std::vector<std::string> urls;
    std::string error;
    if (!CollectAddresses(args, urls, error)) {
        return UsageError(error);
    }
    std::string dir = args.projectDir;
    if (dir.empty()) {
        dir = MirrorDir(urls.front());
        if (dir.empty()) {
            return UsageError("Sorry, the URL is not valid. (" + urls.front() + ")");
        }
    }
    CConsole console(stderr, false, args.quiet);
    NewProjectOutcome outcome;
    if (const CliExit exit = MakeProject(args, dir, urls, console, outcome);
        exit != CliExit::Finished) {
        return static_cast<int>(exit);
    }
    console.Message(outcome.message);
    return RunProject(args, dir, RunCommand::Start);
}

int RunConvert(const CliArguments& args) {
    CStopSignals stops;
    CConsole console(stderr, StandardErrorIsTerminal(), args.quiet);
    return static_cast<int>(
        RunConvertCommand(args, console, [&stops] { return stops.StopRequestCount() > 0; }));
}

int ListKeys() {
    CProjectSettings defaults;
    const std::string source = DefaultSettingsSourcePath();
    const bool loaded = defaults.LoadDefaults(source);
    std::fputs(KeysListingText(defaults, loaded ? source : std::string()).c_str(), stdout);
    return static_cast<int>(CliExit::Finished);
}

} // namespace

int main(int argc, char** argv) {
    const CliArguments args = ParseCliArguments(argc, argv);
    if (args.help) {
        std::fputs(CliUsageText().c_str(), stdout);
        return static_cast<int>(CliExit::Finished);
    }
    if (args.version) {
        std::fputs(CliVersionText().c_str(), stdout);
        return static_cast<int>(CliExit::Finished);
    }
    if (!args.error.empty()) {
        return UsageError(args.error);
    }
    if (args.command == "keys") {
        return ListKeys();
    }
    if (args.command == "new") {
        return RunNew(args);
    }
    if (args.command == "mirror") {
        return RunMirror(args);
    }
    if (args.command == "convert") {
        return RunConvert(args);
    }
    if (IsRecordCommand(args.command)) {
        return RunRecordCommand(args);
    }
    const RunCommand command = args.command == "update"   ? RunCommand::Update
                               : args.command == "resume" ? RunCommand::Resume
                                                          : RunCommand::Start;
    return RunProject(args, args.projectDir, command);
}
