#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "engine/ProjectLog.h"

namespace torvex {

struct CliArguments;

// True for the commands that list and delete download records: "records", "delete-records"
// and "delete-logs".
bool IsRecordCommand(std::string_view command);

// Runs one of the record commands for `args` (parsed already); listings go to `out`, questions,
// refusals and errors to `err`. Returns the exit status (CliExit). Called on the main thread.
int RunRecordCommand(const CliArguments& args, std::ostream& out, std::ostream& err);
// The same on standard output and standard error.
int RunRecordCommand(const CliArguments& args);

// One line of "records" without a line end: name, start time in local time, status, total
// files, files downloaded, time spent and start page. `projectRunning` tells a record that is
// being written from one whose run ended without writing its status ("interrupted").
std::string FormatRecordLine(const CRecordInfo& record, bool projectRunning);

} // namespace torvex
