#include "capture/HandOver.h"

#include <algorithm>

#include "platform/DurableFile.h"
#include "platform/ProgramStart.h"

namespace torvex {

namespace {

// An address never holds a line break; cutting at the first one keeps an address from adding
// lines (and so keys) of its own to the hand-over file.
std::string_view FirstLine(std::string_view text) {
    return text.substr(0, text.find_first_of("\r\n"));
}

} // namespace

bool IsUsableWorkDir(std::string_view dir) {
    if (dir.empty() || dir.size() >= kWorkDirBufferSize || dir.front() != '/') {
        return false;
    }
    for (const char c : dir) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            return false;
        }
    }
    std::size_t i = 0;
    while (i < dir.size()) {
        const std::size_t end = std::min(dir.find('/', i), dir.size());
        const std::string_view part = dir.substr(i, end - i);
        if (part == "." || part == "..") {
            return false;
        }
        i = end + 1;
    }
    return true;
}

namespace {

// The folder with exactly one "/" at its end, however many the stored value has.
std::string FolderPrefix(std::string_view dir) {
    while (dir.size() > 1 && dir.back() == '/') {
        dir.remove_suffix(1);
    }
    std::string prefix(dir);
    if (prefix.back() != '/') {
        prefix += '/';
    }
    return prefix;
}

} // namespace

std::string HandOverText(std::string_view url, std::string_view info, std::string_view parentUrl) {
    // Info keeps the line breaks inside it (they split the value in the file); the blank lines
    // a browser puts in front of link text are dropped.
    while (!info.empty() && (info.front() == '\r' || info.front() == '\n')) {
        info.remove_prefix(1);
    }
    std::string text;
    text.reserve(url.size() + info.size() + parentUrl.size() + 32);
    text.append("URL=").append(FirstLine(url)).append("\n");
    text.append("Info=").append(info).append("\n");
    text.append("ParentURL=").append(FirstLine(parentUrl)).append("\n");
    return text;
}

HandOverOutcome HandOverUrl(const CRegistry& registry, std::string_view url,
                            std::string_view info, std::string_view parentUrl) {
    std::string workDir;
    if (!registry.ReadString(kProgramKeyPath, kWorkDirValueName, workDir) ||
        !IsUsableWorkDir(workDir)) {
        return HandOverOutcome::NoWorkDir;
    }
    const std::string folder = FolderPrefix(workDir);
    // Written under a fresh name and renamed into place: the program never reads half a file,
    // and a link planted under the file's name is replaced, not followed out of the folder.
    if (!ReplaceFileDurably(folder + std::string(kHandOverFileName),
                            HandOverText(url, info, parentUrl), FileAccess::OwnerOnly)) {
        return HandOverOutcome::FileFailed;
    }
    const bool started = StartProgramDetached(folder + std::string(kMainProgramName),
                                              {std::string(kIntakeSwitch)});
    return started ? HandOverOutcome::Started : HandOverOutcome::NotStarted;
}

std::string_view HandOverMessage(HandOverOutcome outcome, std::string_view locale) {
    const bool chinese = locale.substr(0, 2) == "zh";
    switch (outcome) {
    case HandOverOutcome::NoWorkDir:
        return chinese ? "错误：无法获取 Torvex 的安装信息！请重新安装 Torvex。"
                       : "Error: Failed to get the installation information about Torvex! "
                         "Please reinstall Torvex.";
    case HandOverOutcome::FileFailed:
        return chinese ? "错误：无法打开临时文件！请重新启动系统后重试。"
                       : "Error: Failed to open temporay file! Please restart the system and "
                         "retry.";
    case HandOverOutcome::Started:
    case HandOverOutcome::NotStarted:
        break;
    }
    return {};
}

} // namespace torvex
