#include "engine/DispatchDecision.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace torvex {
namespace {

class FakeHost : public IDispatchHost {
public:
    std::set<std::string> files;
    std::map<std::string, std::int64_t> times;
    bool copySucceeds = true;
    std::vector<std::string> calls;
    int totalFiles = 0;
    int passed = 0;

    bool FileExists(const std::string& path) override { return files.count(path) != 0; }
    std::int64_t FileModifiedTime(const std::string& path) override {
        const auto it = times.find(path);
        return it == times.end() ? -1 : it->second;
    }
    bool CopyFromOldRecord(CUrlEntry&) override {
        calls.push_back("copy");
        return copySucceeds;
    }
    void ToParse(const CUrlEntry&) override { calls.push_back("parse"); }
    void WriteStatusLine(CUrlEntry& e) override {
        calls.push_back(std::string("line") + StateLetter(e.state));
    }
    void RecordStartPage(const CUrlEntry&) override { calls.push_back("startpage"); }
    void AddTotalFiles() override { ++totalFiles; }
    void AddPassed() override { ++passed; }
};

// An entry as FindInRecords fills it from a status line with these letters.
CUrlEntry FoundEntry(char kind, char stateLetter, bool start) {
    CUrlEntry e;
    e.kind = kind;
    e.state = static_cast<EntryState>(stateLetter);
    e.referrer = start ? "" : "http://h/index.html";
    e.lastModified = "Mon, 01 Jan 2024 00:00:00 GMT";
    e.readed = 100;
    e.foundStoredPath = "/p/download/latest/h/f";
    e.foundLinkMapPath = "/p/linkmap/latest/h/f";
    return e;
}

TEST(DispatchDecision, NotFoundIsFetched) {
    FakeHost host;
    CUrlEntry e;
    EXPECT_EQ(DecideEntry(e, false, false, {}, host), DispatchAction::Download);
    EXPECT_TRUE(host.calls.empty());
}

TEST(DispatchDecision, CompleteFileDeletedByHand) {
    for (int mode : {0, 1, 2}) {
        SCOPED_TRACE(mode);
        FakeHost host; // no files on disk
        CUrlEntry e = FoundEntry('0', '1', false);
        DispatchContext c;
        c.updateMode = mode;
        const DispatchAction action = DecideEntry(e, true, true, c, host);
        if (mode == 0) {
            EXPECT_EQ(action, DispatchAction::Skip);
        } else {
            EXPECT_EQ(action, DispatchAction::Download);
            EXPECT_TRUE(e.lastModified.empty()) << "fetched without If-Modified-Since";
        }
    }
}

TEST(DispatchDecision, ExistingFileByUpdateMode) {
    const struct {
        int mode;
        DispatchAction action;
        bool dateKept;
    } cases[] = {
        {0, DispatchAction::Copy, true},
        {1, DispatchAction::Copy, true},
        {2, DispatchAction::Download, true}, // asks with If-Modified-Since
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        FakeHost host;
        CUrlEntry e = FoundEntry('0', '1', false);
        host.files.insert(e.foundStoredPath);
        DispatchContext context;
        context.updateMode = c.mode;
        EXPECT_EQ(DecideEntry(e, true, false, context, host), c.action);
        EXPECT_EQ(!e.lastModified.empty(), c.dateKept);
    }
}

TEST(DispatchDecision, FirstPageFetchesStartAddressWithDate) {
    for (int mode : {0, 1}) {
        SCOPED_TRACE(mode);
        FakeHost host;
        CUrlEntry e = FoundEntry('1', '1', true);
        host.files = {e.foundStoredPath, e.foundLinkMapPath};
        DispatchContext c;
        c.updateMode = mode;
        c.firstPage = true;
        EXPECT_EQ(DecideEntry(e, true, true, c, host), DispatchAction::Download);
        EXPECT_FALSE(e.lastModified.empty());
        // Not when resuming by link maps.
        c.runMode = 2;
        CUrlEntry again = FoundEntry('1', '1', true);
        EXPECT_NE(DecideEntry(again, true, true, c, host), DispatchAction::Download);
    }
}

TEST(DispatchDecision, PageTakenOverIsParsedThenCopied) {
    FakeHost host;
    CUrlEntry e = FoundEntry('1', '1', false);
    host.files = {e.foundStoredPath, e.foundLinkMapPath};
    DispatchContext c;
    c.updateMode = 1;
    EXPECT_EQ(DecideEntry(e, true, false, c, host), DispatchAction::Copy);
    EXPECT_EQ(host.calls, std::vector<std::string>{"parse"});

    // Without its link map a page is fetched again in mode 1, copied unparsed in mode 0.
    FakeHost noMap;
    noMap.files = {e.foundStoredPath};
    CUrlEntry e1 = FoundEntry('1', '1', false);
    EXPECT_EQ(DecideEntry(e1, true, false, c, noMap), DispatchAction::Download);
    EXPECT_TRUE(e1.lastModified.empty());
    c.updateMode = 0;
    CUrlEntry e0 = FoundEntry('1', '1', false);
    EXPECT_EQ(DecideEntry(e0, true, false, c, noMap), DispatchAction::Copy);
    EXPECT_TRUE(noMap.calls.empty());
}

TEST(DispatchDecision, StoredButUnparsedPage) {
    // Resume of a page stored but not parsed: the stored copy is parsed, nothing fetched.
    for (int mode : {0, 1, 2}) {
        SCOPED_TRACE(mode);
        FakeHost host;
        CUrlEntry e = FoundEntry('1', '2', false);
        host.files = {e.foundStoredPath};
        DispatchContext c;
        c.updateMode = mode;
        c.runMode = 1;
        EXPECT_EQ(DecideEntry(e, true, true, c, host), DispatchAction::Done);
        EXPECT_EQ(host.calls, std::vector<std::string>{"parse"});
    }
    // From a backup in mode 1: copied, parsed and counted; a failed copy is fetched instead.
    FakeHost host;
    CUrlEntry e = FoundEntry('1', '2', false);
    host.files = {e.foundStoredPath};
    DispatchContext c;
    c.updateMode = 1;
    EXPECT_EQ(DecideEntry(e, true, false, c, host), DispatchAction::Done);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"copy", "parse"}));
    EXPECT_EQ(host.totalFiles, 1);
    EXPECT_EQ(host.passed, 1);
    host.copySucceeds = false;
    CUrlEntry failed = FoundEntry('1', '2', false);
    EXPECT_EQ(DecideEntry(failed, true, false, c, host), DispatchAction::Download);
}

TEST(DispatchDecision, PageBeingParsedIsFetchedAgain) {
    for (int mode : {1, 2}) {
        FakeHost host;
        CUrlEntry e = FoundEntry('1', '3', false);
        host.files = {e.foundStoredPath};
        DispatchContext c;
        c.updateMode = mode;
        EXPECT_EQ(DecideEntry(e, true, true, c, host), DispatchAction::Download);
        EXPECT_TRUE(e.lastModified.empty());
    }
    FakeHost missing;
    CUrlEntry e = FoundEntry('1', '3', false);
    EXPECT_EQ(DecideEntry(e, true, true, {}, missing), DispatchAction::Skip);
}

TEST(DispatchDecision, InterruptedBodyContinuesInLatest) {
    FakeHost host;
    CUrlEntry e = FoundEntry('0', '0', false);
    host.files = {e.foundStoredPath};
    EXPECT_EQ(DecideEntry(e, true, true, {}, host), DispatchAction::Download);
    EXPECT_EQ(host.calls, std::vector<std::string>{"copy"});
    EXPECT_EQ(e.readed, 100);

    FakeHost gone;
    CUrlEntry skipped = FoundEntry('0', '0', false);
    EXPECT_EQ(DecideEntry(skipped, true, true, {}, gone), DispatchAction::Skip);
    DispatchContext c;
    c.updateMode = 2;
    CUrlEntry restarted = FoundEntry('0', '0', false);
    EXPECT_EQ(DecideEntry(restarted, true, true, c, gone), DispatchAction::Download);
    EXPECT_EQ(restarted.readed, 0);
    EXPECT_TRUE(restarted.lastModified.empty());
}

TEST(DispatchDecision, ResumeByLinkMapsTakesFilesOfThisRecord) {
    DispatchContext c;
    c.updateMode = 2;
    c.runMode = 2;
    c.recordTime = 1000;

    FakeHost host;
    CUrlEntry converted = FoundEntry('1', '5', true);
    converted.startIndex = 0;
    host.files = {converted.foundStoredPath, converted.foundLinkMapPath};
    host.times[converted.foundStoredPath] = 1000;
    EXPECT_EQ(DecideEntry(converted, true, true, c, host), DispatchAction::Done);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"startpage", "parse", "line6"}));
    EXPECT_EQ(converted.state, EntryState::TakenOver);
    EXPECT_EQ(host.totalFiles, 1);

    FakeHost older;
    CUrlEntry old = FoundEntry('0', '1', false);
    older.files = {old.foundStoredPath};
    older.times[old.foundStoredPath] = 999;
    EXPECT_EQ(DecideEntry(old, true, true, c, older), DispatchAction::Download);
    EXPECT_FALSE(old.lastModified.empty());
}

} // namespace
} // namespace torvex
