#include "engine/CRunPipeline.h"

#include "engine/CDownloadTask.h"

namespace torvex {

int CRunPipeline::SeedStartAddresses(CDownloadTask&, bool) { return 0; }
bool CRunPipeline::LinkAcceptance(CDownloadTask&, std::string_view, int, int, int) { return true; }
void CRunPipeline::DispatchThread(CDownloadTask&) {}
void CRunPipeline::ParseThread(CDownloadTask&) {}
void CRunPipeline::CopyThread(CDownloadTask&) {}
void CRunPipeline::DownloadWorker(CDownloadTask&, int) {}

} // namespace torvex
