#pragma once

#include "engine/CDownloadTask.h"
#include "engine/CEntryTransfer.h"
#include "engine/CHostPauses.h"
#include "engine/CRecordLogIndex.h"
#include "engine/LinkAcceptance.h"
#include "net/CCookieExchange.h"
#include "net/CCookieJar.h"
#include "net/CHttpOptions.h"
#include "net/CTlsContext.h"

namespace torvex {

// What the pipeline derives from a run's settings once: the rules that judge found links, the
// options of the HTTP transaction and the run's cookies. Built on first use (after the start
// addresses were seeded, so the start indices agree) and only read afterwards, by every thread
// of the run; the cookie jar locks itself.
class CRunData : public CTaskPipelineData {
public:
    explicit CRunData(const CDownloadTask& task);

    CLinkRules linkRules;
    CHttpOptions httpOptions;
    CEntryTransferOptions transferOptions;
    CNoCookies noCookies;
    CCookieJar cookieJar;                   // kept and sent only when the project's Cookie is set
    CCookieExchange* cookies = &noCookies;  // what the workers' transactions use
    CRecordLogIndex backupLogs;   // the status logs of the backup records
    CTlsContext tls;              // trust and sessions of the run's https connections
    CHostPauses hostPauses;       // hosts a busy server asked to leave alone for a while
};

// The run data of `task`, made on the first call.
CRunData& RunDataOf(CDownloadTask& task);

} // namespace torvex
