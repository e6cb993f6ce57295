#include "app/StartUp.h"

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

#include "engine/IPrompter.h"
#include "platform/FileSystem.h"
#include "platform/ProgramDir.h"
#include "project/CProjectTree.h"

namespace torvex {

namespace {

constexpr std::string_view kLockName = ".torvex.lock";
constexpr std::string_view kSocketName = ".torvex.sock";
constexpr std::string_view kHandOverName = "addurl.tmp";

std::string Join(std::string_view dir, std::string_view name) {
    std::string path(dir);
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    path += name;
    return path;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

int ParseCommandLine(const std::vector<std::string>& arguments) {
    int bits = 0;
    for (const std::string& argument : arguments) {
        if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) {
            continue;
        }
        const char letter = Lower(argument[1]);
        if (letter == 'm') {
            bits |= kStartHidden;
        } else if (letter == 'u') {
            bits |= kHandOverWaiting;
        }
    }
    return bits;
}

bool WorkingDirectoryFits(std::string_view directory) {
    return directory.size() <= kMaxWorkingDirectory;
}

std::string WorkingDirectoryTooLongText(std::string_view directory) {
    return "Error: The working directory \"" + std::string(directory) +
           "\" of Torvex is too long. The length of the working directory must be less than " +
           std::to_string(kMaxWorkingDirectory) +
           ", or it maybe cause errors when running. Program exits.";
}

bool AcceptWorkingDirectory(std::string_view directory, IPrompter& prompter) {
    if (WorkingDirectoryFits(directory)) {
        return true;
    }
    prompter.Error(WorkingDirectoryTooLongText(directory));
    return false;
}

std::string OriginFilePath(const std::string& workDir, std::string_view name) {
    const std::string local = Join(Join(workDir, kOriginDirName), name);
    if (FileExists(local)) {
        return local;
    }
    const std::string programDir = ProgramDirectory();
    if (!programDir.empty()) {
        const std::string installed = Join(Join(programDir, kOriginDirName), name);
        if (FileExists(installed)) {
            return installed;
        }
    }
    return local;
}

bool ProvideTreeFile(const std::string& workDir) {
    const std::string tree = Join(workDir, kTreeFileName);
    if (FileExists(tree)) {
        return true;
    }
    std::string pristine;
    if (!ReadFileText(OriginFilePath(workDir, kPristineTreeName), pristine)) {
        return false;
    }
    // O_EXCL: a tree file that appeared meanwhile (another copy starting) is left alone.
    const int fd = ::open(tree.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return FileExists(tree);
    }
    std::size_t written = 0;
    bool ok = true;
    while (written < pristine.size()) {
        const ssize_t n = ::write(fd, pristine.data() + written, pristine.size() - written);
        if (n <= 0) {
            ok = false;
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        // A half-written copy would read as a tree without projects; LoadTree makes a clean one.
        ::unlink(tree.c_str());
    }
    return ok;
}

std::string ManualPath(const std::string& workDir) {
    const std::string local = Join(workDir, kManualName);
    if (FileExists(local)) {
        return local;
    }
    const std::string programDir = ProgramDirectory();
    if (!programDir.empty() && FileExists(Join(programDir, kManualName))) {
        return Join(programDir, kManualName);
    }
    return {};
}

std::string HandOverFilePath(const std::string& workDir) {
    return Join(workDir, kHandOverName);
}
std::string InstanceLockPath(const std::string& workDir) {
    return Join(workDir, kLockName);
}
std::string InstanceSocketPath(const std::string& workDir) {
    return Join(workDir, kSocketName);
}

} // namespace torvex
