#pragma once

#include <string_view>

#include "engine/IRunPipeline.h"

namespace torvex {

// The crawl pipeline the program runs with: seeds the start addresses, decides every discovered
// address (fetch, take over from an older record, or skip), fetches with the download workers,
// reads the links of stored pages and copies files over from older records. One object serves
// every task of the process; what a run needs beyond its settings (link rules, HTTP options,
// cookies) is built when the run seeds its start addresses and kept with the task.
class CRunPipeline : public IRunPipeline {
public:
    CRunPipeline() = default;

    int SeedStartAddresses(CDownloadTask& task, bool withCredentials) override;
    bool LinkAcceptance(CDownloadTask& task, std::string_view composed, int level, int linkCode,
                        int startIndex) override;

    void DispatchThread(CDownloadTask& task) override;
    void ParseThread(CDownloadTask& task) override;
    void CopyThread(CDownloadTask& task) override;
    void DownloadWorker(CDownloadTask& task, int slotIndex) override;

    // The project's cookies file, read into the run's jar and written back from it.
    void LoadCookies(CDownloadTask& task) override;
    void SaveCookies(CDownloadTask& task) override;
};

} // namespace torvex
