#include "project/ProjectFiles.h"

#include <optional>

#include "platform/FileSystem.h"
#include "platform/ProjectLock.h"
#include "project/CProjectPaths.h"

namespace torvex {

bool DeleteProjectFiles(const std::string& projectDir, bool withSettings) {
    const CProjectPaths paths = SetRecord(projectDir, std::nullopt);
    bool gone = true;
    for (const std::string* tree : {&paths.downloadDir, &paths.linkMapDir, &paths.logsDir}) {
        gone = RemoveTree(*tree) && gone;
    }
    for (const std::string& file :
         {paths.projectLog, paths.projectLog + ".bak", paths.projectLog + ".new",
          projectDir + "/" + std::string(kCookiesName),
          projectDir + "/" + std::string(kCookiesName) + ".tmp"}) {
        gone = RemoveFileIfExists(file) && gone;
    }
    if (withSettings) {
        gone = RemoveFileIfExists(projectDir + "/" + std::string(kProjectConfName)) && gone;
        // The lock file goes only when no run holds it; it would keep the directory anyway.
        RemoveProjectLockFile(projectDir);
        RemoveEmptyDirectory(projectDir);
    }
    return gone;
}

} // namespace torvex
