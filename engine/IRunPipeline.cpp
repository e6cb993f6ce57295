#include "engine/IRunPipeline.h"

#include "engine/CDownloadTask.h"
#include "engine/Records.h"

namespace torvex {

bool IRunPipeline::BackupLatestRecord(CDownloadTask& task) {
    return torvex::BackupLatestRecord(task.ProjectDir());
}

void IRunPipeline::LoadRecordNames(CDownloadTask& task) {
    const auto names = torvex::LoadRecordNames(task.ProjectDir());
    for (int slot = 1; slot < kRecordNameSlots; ++slot) {
        task.SetRecordName(slot, names[static_cast<std::size_t>(slot)]);
    }
}

void IRunPipeline::LoadCookies(CDownloadTask&) {}
void IRunPipeline::SaveCookies(CDownloadTask&) {}

} // namespace torvex
