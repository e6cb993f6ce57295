#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/Registry.h"

// Handing one address from the browser to the main program: the hand-over file addurl.tmp in
// the program's working directory, then a new process of the program with "/u" (a running copy
// turns that process into a message to itself). Nothing is kept between calls; any thread may
// call, though two calls at once race on the one file and the later content wins.

namespace torvex {

constexpr std::string_view kProgramKeyPath = "HKEY_CURRENT_USER\\Software\\Torvex\\";
constexpr std::string_view kWorkDirValueName = "WorkDir";
// The working directory is read into a buffer of this many bytes, its terminating NUL included.
constexpr std::size_t kWorkDirBufferSize = 210;
constexpr std::string_view kHandOverFileName = "addurl.tmp";
constexpr std::string_view kMainProgramName = "torvex";
constexpr std::string_view kIntakeSwitch = "/u";

// The numbers reach the user's messages.
enum class HandOverOutcome {
    Started = 0,         // file written, program started
    NotStarted = 1,      // file written, the program could not be started (not reported)
    NoWorkDir = 101,     // no usable working directory in the registry
    FileFailed = 102,    // the hand-over file could not be written
};

// Whether `dir` can be the working directory: an absolute path of a plain folder that fits the
// buffer. A relative one would depend on where the browser happens to run, and "." or ".." parts
// or control characters mean the stored value is not what an installation writes.
bool IsUsableWorkDir(std::string_view dir);

// The content of the hand-over file.
std::string HandOverText(std::string_view url, std::string_view info, std::string_view parentUrl);

// The whole hand-over, with the working directory from `registry`.
HandOverOutcome HandOverUrl(const CRegistry& registry, std::string_view url,
                            std::string_view info, std::string_view parentUrl);

// The user's message for an outcome (101, 102) in the language `locale` names ("zh..." gives
// Simplified Chinese, anything else English); empty for outcomes that are not reported.
std::string_view HandOverMessage(HandOverOutcome outcome, std::string_view locale);

} // namespace torvex
