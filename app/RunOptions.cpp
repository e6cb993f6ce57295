#include "app/RunOptions.h"

namespace torvex {

CRunOptions RunOptionsFrom(const CAppSettings& settings) {
    CRunOptions options;
    options.MaxRunningTask = settings.MaxRunningTask;
    options.EndNotify = settings.EndNotify != 0;
    options.Proxy = settings.Proxy;
    options.ProxyServer = settings.ProxyServer;
    options.ProxyPort = settings.ProxyPort;
    options.ProxyUser = settings.ProxyUser;
    options.ProxyPassword = settings.ProxyPassword;
    options.TlsCaFiles = SplitCaFiles(settings.TlsCaFiles);
    return options;
}

} // namespace torvex
