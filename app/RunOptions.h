#pragma once

#include "engine/CTaskManager.h"
#include "project/CAppSettings.h"

namespace torvex {

// The run options every task gets from the application settings: the limit of running tasks,
// "Download finished!", and the default proxy for projects that use it.
CRunOptions RunOptionsFrom(const CAppSettings& settings);

} // namespace torvex
