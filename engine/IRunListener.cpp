#include "engine/IRunListener.h"

namespace torvex {

void IRunListener::OnFileReport(const CFileReport&) {}

} // namespace torvex
