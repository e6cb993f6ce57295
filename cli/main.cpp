#include <cstdio>

#include "cli/CliArguments.h"
#include "cli/ExitStatus.h"
#include "cli/RecordCommands.h"

int main(int argc, char** argv) {
    using namespace torvex;
    const CliArguments args = ParseCliArguments(argc, argv);
    if (args.help) {
        std::fputs(CliUsageText().c_str(), stdout);
        return static_cast<int>(CliExit::Finished);
    }
    if (!args.error.empty()) {
        std::fprintf(stderr, "torvex-cli: %s\nTry 'torvex-cli --help'.\n", args.error.c_str());
        return static_cast<int>(CliExit::Usage);
    }
    if (IsRecordCommand(args.command)) {
        return RunRecordCommand(args);
    }
    std::fprintf(stderr, "torvex-cli: \"%s\" is not available yet\n", args.command.c_str());
    return static_cast<int>(CliExit::Usage);
}
