#include "engine/DispatchDecision.h"

#include <string_view>

namespace torvex {

namespace {

// Stored whole in some form: complete, waiting for or in its parse, converted, taken over.
bool IsSettledState(EntryState state) {
    return std::string_view("1235678").find(StateLetter(state)) != std::string_view::npos;
}

// The facts about one entry that every branch of the table looks at.
struct Facts {
    bool isStart;       // no referrer
    bool isFirstStart;  // and the first start address
    bool isPage;
    bool fileExists;
    EntryState state;
};

DispatchAction Download(CUrlEntry& entry, bool clearDate) {
    if (clearDate) {
        entry.lastModified.clear();
    }
    return DispatchAction::Download;
}

DispatchAction LocalOnly(CUrlEntry& e, const Facts& f, bool inLatest, const DispatchContext& c,
                         IDispatchHost& host) {
    if (f.isStart && (f.state == EntryState::Parsing || (c.firstPage && c.runMode != 2))) {
        return DispatchAction::Download;
    }
    if (c.runMode == 1 && inLatest && f.fileExists && f.state == EntryState::Stored) {
        host.ToParse(e);
        return DispatchAction::Done;
    }
    if (f.state == EntryState::Parsing) {
        return f.fileExists ? DispatchAction::Download : DispatchAction::Skip;
    }
    if (!f.fileExists) {
        return DispatchAction::Skip;
    }
    if (f.isPage && f.state == EntryState::Stored) {
        if (host.CopyFromOldRecord(e)) {
            host.ToParse(e);
            host.AddTotalFiles();
            host.AddPassed();
        }
        return DispatchAction::Done;
    }
    if (f.isPage && host.FileExists(e.foundLinkMapPath)) {
        host.ToParse(e);
    }
    return DispatchAction::Copy;
}

DispatchAction LocalFirst(CUrlEntry& e, const Facts& f, bool inLatest, const DispatchContext& c,
                          IDispatchHost& host) {
    if (f.state == EntryState::Parsing) {
        return Download(e, true);
    }
    if (c.runMode == 1 && inLatest && f.fileExists) {
        if (f.state == EntryState::Stored) {
            host.ToParse(e);
            return DispatchAction::Done;
        }
        if (f.state == EntryState::Complete &&
            host.FileModifiedTime(e.foundStoredPath) > c.startTime) {
            return DispatchAction::Done;
        }
    }
    if (f.isStart && c.firstPage && c.runMode != 2) {
        return Download(e, false);
    }
    if (!f.fileExists) {
        return Download(e, true);
    }
    if (f.isPage && f.state == EntryState::Stored) {
        if (!host.CopyFromOldRecord(e)) {
            return Download(e, false);
        }
        host.ToParse(e);
        host.AddTotalFiles();
        host.AddPassed();
        return DispatchAction::Done;
    }
    if (f.isPage && !host.FileExists(e.foundLinkMapPath)) {
        return Download(e, true);
    }
    if (f.isPage) {
        host.ToParse(e);
    }
    return DispatchAction::Copy;
}

DispatchAction DownloadFirst(CUrlEntry& e, const Facts& f, bool inLatest,
                             const DispatchContext& c, IDispatchHost& host) {
    auto fetch = [&] {
        const bool clearDate =
            !f.fileExists || (f.isPage && !host.FileExists(e.foundLinkMapPath));
        return Download(e, clearDate);
    };
    if (f.state == EntryState::Parsing) {
        return Download(e, true);
    }
    if (c.runMode == 1 && inLatest && f.fileExists) {
        if (f.state == EntryState::Stored) {
            host.ToParse(e);
            return DispatchAction::Done;
        }
        if (f.state == EntryState::Complete &&
            host.FileModifiedTime(e.foundStoredPath) > c.recordTime) {
            return DispatchAction::Done;
        }
        return fetch();
    }
    if (!(c.runMode == 2 && inLatest && f.fileExists)) {
        return fetch();
    }
    // Resuming by link maps: a file at least as new as the record was fetched in this record
    // before the interruption and is taken as it is.
    if (host.FileModifiedTime(e.foundStoredPath) < c.recordTime) {
        return Download(e, false);
    }
    if (f.isFirstStart) {
        host.RecordStartPage(e);
    }
    if (f.isPage && f.state == EntryState::Stored) {
        host.ToParse(e);
        host.AddPassed();
    } else if (f.isPage) {
        if (!host.FileExists(e.foundLinkMapPath)) {
            return fetch();
        }
        host.ToParse(e);
    }
    host.AddTotalFiles();
    if (IsConvertedState(f.state)) {
        e.state = EntryState::TakenOver;
        host.WriteStatusLine(e);
    }
    return DispatchAction::Done;
}

} // namespace

bool IsPageKind(char kind) { return kind == '1' || kind == 'S'; }

bool IsConvertedState(EntryState state) {
    return state == EntryState::ConvertedAbsolute || state == EntryState::ConvertedLocalHtml ||
           state == EntryState::ConvertedAbsoluteHtml;
}

DispatchAction DecideEntry(CUrlEntry& entry, bool found, bool foundInLatest,
                           const DispatchContext& context, IDispatchHost& host) {
    if (!found) {
        return DispatchAction::Download;
    }
    const Facts facts{entry.referrer.empty(), entry.referrer.empty() && entry.startIndex == 0,
                      IsPageKind(entry.kind), host.FileExists(entry.foundStoredPath),
                      entry.state};
    if (!IsSettledState(facts.state)) {
        // Interrupted or not-modified entries: continue from what the latest record holds.
        if (!facts.fileExists) {
            if (context.updateMode == 0) {
                return DispatchAction::Skip;
            }
            entry.lastModified.clear();
            entry.readed = 0;
            return DispatchAction::Download;
        }
        host.CopyFromOldRecord(entry);
        return DispatchAction::Download;
    }
    switch (context.updateMode) {
    case 0:
        return LocalOnly(entry, facts, foundInLatest, context, host);
    case 1:
        return LocalFirst(entry, facts, foundInLatest, context, host);
    default:
        return DownloadFirst(entry, facts, foundInLatest, context, host);
    }
}

} // namespace torvex
