#include "engine/CRunData.h"

#include <memory>

#include "base/AsciiCase.h"
#include "url/CUrl.h"

namespace torvex {

namespace {

CTlsSettings TlsSettingsOf(const CDownloadTask& task) {
    CTlsSettings settings;
    settings.verify = task.Settings().TlsVerify;
    settings.caFiles = task.TlsCaFiles();
    return settings;
}

} // namespace

CRunData::CRunData(const CDownloadTask& task) : tls(TlsSettingsOf(task)) {
    const CProjectSettings& settings = task.Settings();
    linkRules.fileType = settings.FileType;
    linkRules.fileTypes = settings.FileTypeFilter;
    for (const CStartAddress& address : settings.Addresses) {
        CStartAddressRules rules;
        rules.filter = address.Filter;
        rules.startUrl = address.StartURL;
        rules.datePattern = address.DateFormat;
        rules.level = address.Level;
        linkRules.startAddresses.push_back(std::move(rules));

        CHttpStartAddress http;
        http.requestMethod = address.RequestMethod;
        http.userName = address.Username;
        http.password = address.Password;
        const CUrl url(address.StartURL);
        if (url.IsValid()) {
            http.host = LowerAscii(url.Host());
            http.port = url.EffectivePort();
        }
        httpOptions.startAddresses.push_back(std::move(http));
        transferOptions.childStart.push_back(address.Child != 0);
    }
    httpOptions.timeOut = std::chrono::seconds(settings.TimeOut);
    httpOptions.proxyMode = static_cast<ProxyMode>(settings.Proxy);
    httpOptions.proxyUser = settings.ProxyUser;
    httpOptions.proxyPassword = settings.ProxyPassword;
    httpOptions.userAgent = task.UserAgent();
    httpOptions.cookie = settings.Cookie;
    httpOptions.keepAlive = settings.KeepAlive;
    httpOptions.tls = &tls;
    if (settings.Cookie) {
        cookies = &cookieJar;
    }
    transferOptions.autoExt = settings.AutoExt;
    transferOptions.resumeRun = task.Mode() == RunMode::ResumeBreakPoint;
    transferOptions.recordDownloadDir = task.Paths().recordDownloadDir;
}

CRunData& RunDataOf(CDownloadTask& task) {
    return static_cast<CRunData&>(
        task.PipelineData([&task] { return std::make_unique<CRunData>(task); }));
}

} // namespace torvex
