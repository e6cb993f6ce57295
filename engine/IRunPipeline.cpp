#include "engine/IRunPipeline.h"

namespace torvex {

bool IRunPipeline::BackupLatestRecord(CDownloadTask&) { return true; }
void IRunPipeline::LoadRecordNames(CDownloadTask&) {}
void IRunPipeline::LoadCookies(CDownloadTask&) {}
void IRunPipeline::SaveCookies(CDownloadTask&) {}

} // namespace torvex
