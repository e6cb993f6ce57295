#pragma once

#include <functional>
#include <string>

#include "cli/ExitStatus.h"

namespace torvex {

class CConsole;
class CLinkConversionQueue;
struct CliArguments;

// Waits until every job of `queue` has ended, redrawing a progress line on a terminal and
// reporting each record converted. When `stopRequested` turns true the waiting jobs are dropped
// and the running one ends after its current page. Returns false when a job was cancelled.
// Called on the CLI's main thread.
bool WaitForConversions(CLinkConversionQueue& queue, CConsole& console,
                        const std::function<bool()>& stopRequested);

// "convert DIR [NAME...] [--absolute]": converts the links of the named records ("latest" when
// none is named) with the project's AutoExt, the record's HasRenamedFile and the record's end
// time as time limit; --absolute points the links to files the record lacks at their absolute
// addresses. Returns the exit status.
CliExit RunConvertCommand(const CliArguments& args, CConsole& console,
                          const std::function<bool()>& stopRequested);

} // namespace torvex
