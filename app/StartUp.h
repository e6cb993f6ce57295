#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// What the desktop program does before its window exists: the command-line bits, the check of
// the working directory, and the files it needs beside itself. Called on the main thread.

namespace torvex {

class IPrompter;

constexpr std::size_t kMaxWorkingDirectory = 240;
constexpr std::string_view kOriginDirName = "Origin";
constexpr std::string_view kPristineTreeName = "Torvex.dir.en";
constexpr std::string_view kManualName = "Torvex.html";
constexpr std::string_view kProgramVersion = "0.93";
constexpr std::string_view kAboutVersionText = "Version: 0.93";

// Bits of the command line.
constexpr int kStartHidden = 1;     // "/m": start in the tray (minimised without one)
constexpr int kHandOverWaiting = 2; // "/u": an address waits in the hand-over file

// The bits of the arguments after the program name. Only the first two characters of each
// count ("/mini" is "/m"); "/" or "-", either case; anything else is ignored.
int ParseCommandLine(const std::vector<std::string>& arguments);

// True when the working directory is within its limit (exactly 240 characters is accepted).
bool WorkingDirectoryFits(std::string_view directory);
// Message 63025 for a working directory over the limit.
std::string WorkingDirectoryTooLongText(std::string_view directory);
// The first step of start-up: false, after telling the user with message 63025, when the
// working directory is over the limit (the program then ends before writing anything).
bool AcceptWorkingDirectory(std::string_view directory, IPrompter& prompter);

// "<dir>/Origin/<name>" in the working directory when the file is there, else the one
// installed beside the program (tests and installed copies run with another working
// directory).
std::string OriginFilePath(const std::string& workDir, std::string_view name);

// Gives the working directory its tree file from the pristine Origin/Torvex.dir.en when it has
// none. An existing Torvex.dir is never overwritten, not even by a copy racing this one. False
// when neither file is there afterwards (LoadTree then starts an empty tree).
bool ProvideTreeFile(const std::string& workDir);

// The program's manual page for the Help command: in the working directory, else beside the
// program. Empty when neither has it.
std::string ManualPath(const std::string& workDir);

// The hand-over file and the lock and socket of the single running copy, in the working
// directory.
std::string HandOverFilePath(const std::string& workDir);
std::string InstanceLockPath(const std::string& workDir);
std::string InstanceSocketPath(const std::string& workDir);

} // namespace torvex
