#include "project/CProjectPaths.h"

namespace torvex {

namespace {

std::string Join(std::string_view directory, std::string_view name, bool& fits) {
    std::string out;
    out.reserve(directory.size() + 1 + name.size());
    out += directory;
    out += '/';
    out += name;
    if (out.size() > kMaxProjectPath) {
        out.resize(kMaxProjectPath);
        fits = false;
    }
    return out;
}

std::string WithSuffix(const std::string& path, std::string_view suffix, bool& fits) {
    std::string out = path + std::string(suffix);
    if (out.size() > kMaxProjectPath) {
        out.resize(kMaxProjectPath);
        fits = false;
    }
    return out;
}

} // namespace

CProjectPaths SetRecord(std::string_view projectDir, std::optional<std::string_view> record) {
    CProjectPaths paths;
    bool& fits = paths.fits;
    paths.downloadDir = Join(projectDir, kDownloadDirName, fits);
    paths.linkMapDir = Join(projectDir, kLinkMapDirName, fits);
    paths.logsDir = Join(projectDir, kLogsDirName, fits);
    paths.projectLog = Join(projectDir, kProjectLogName, fits);
    if (record) {
        paths.recordDownloadDir = Join(paths.downloadDir, *record, fits);
        paths.recordLinkMapDir = Join(paths.linkMapDir, *record, fits);
        paths.statusLog = Join(paths.logsDir, *record, fits);
        paths.breakPointFile = WithSuffix(paths.statusLog, ".s", fits);
        paths.seenSet = WithSuffix(paths.statusLog, ".tmp", fits);
        paths.failureList = WithSuffix(paths.statusLog, ".failed", fits);
        paths.recordDownloadDirLength = paths.recordDownloadDir.size();
    }
    return paths;
}

} // namespace torvex
