#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/FileEnv.h"
#include "project/CProjectPaths.h"
#include "url/CUrlEntry.h"

namespace torvex {

// How the links of a record's pages are to be written.
enum class LinkMode : int {
    Local = 0,      // every link to its local address
    Absolute = 1,   // links to files the record does not hold go back to their absolute address
};

// What one conversion is asked to do: which record, and the two choices of the project.
struct CConversionJob {
    std::string projectDir;
    std::string record = "latest";   // "latest" or a backup's record time in decimal
    LinkMode linkMode = LinkMode::Local;
    bool appendHtml = false;         // AutoExt: pages without an HTML name get ".html"
    bool hasRenamedFile = false;     // the record has pages whose names were changed
    std::int64_t timeLimit = -1;     // -1: none; else pages modified after it count as done
    int threads = 0;                 // of pass 2; 0: one per core the machine has
};

// How a conversion ended.
enum class ConversionOutcome : int {
    Pending = 0,     // not run yet, or running
    Done = 1,
    Cancelled = 2,
    NoRecord = 3,    // the record name is not one a record can have, or its status log is missing
    Busy = 4,        // a run of the project (here or in another process) holds the project
};

// The status characters a converted page gets: links local or absolute, with or without the
// ".html" handling.
EntryState ConvertedPageState(LinkMode mode, bool appendHtml);

// One conversion of the pages of one download record: pass 1 reads the record's status log,
// gives pages the ".html" name the append choice asks for (or takes it away) and selects the
// pages to rewrite; pass 2 rewrites each selected page's links from its link map and marks its
// status line. Never downloads anything; unreadable files are passed over.
//
// Pages are independent of each other in pass 2, which spreads them over several threads: each
// thread takes the pages of its share of the stored names (pages that share a stored file stay
// on one thread, in the order of the log), and each status character is written at its own
// offset.
//
// Run() is called on one thread (the conversion worker); Cancel() and the counts may be called
// from any thread while it runs. Cancel stops between pages: the pages done keep their new
// text and status.
class CLinkConverter {
public:
    explicit CLinkConverter(CConversionJob job);
    ~CLinkConverter();
    CLinkConverter(const CLinkConverter&) = delete;
    CLinkConverter& operator=(const CLinkConverter&) = delete;

    // Both passes, holding the project's running lock so that no run writes the record
    // meanwhile. Returns how it ended (also kept for Outcome()).
    ConversionOutcome Run();
    ConversionOutcome Outcome() const { return m_outcome.load(); }
    void Cancel() { m_cancel.store(true); }
    bool Cancelled() const { return m_cancel.load(); }

    const CConversionJob& Job() const { return m_job; }
    // Pages selected by pass 1 (0 until it ends), and pages rewritten so far.
    int TotalPages() const { return m_total.load(); }
    int DonePages() const { return m_done.load(); }

private:
    // A page selected for rewriting.
    struct PageItem {
        std::string address;    // as the status log lists it
        std::string localDir;
        std::string fileName;
        std::string suffix;     // ".html" when the stored name carries it
        char nameLetter = '0';
        std::int64_t stateOffset = 0;   // of its status character in the status log
        EntryState state = EntryState::Complete;   // its state when pass 1 read it
    };
    // One numbered link of a page and what it becomes.
    struct Replacement {
        std::int64_t number = 0;
        std::string text;
    };

    void PassOne();
    // One line of the status log: the page's stored name made to follow the job's naming, and
    // the page added to `candidates` when its links may need rewriting.
    void ReadLogLine(std::string_view line, std::size_t offset,
                     std::vector<PageItem>& candidates);
    // Renames a page's stored file to the naming the job asks for (".html" appended or not)
    // and writes its new name letter at `letterOffset`; the letter it has afterwards.
    char NameAsAsked(char letter, const std::string& fullPath, std::int64_t letterOffset);
    // Whether a candidate is rewritten: its links or names are in another style than asked, or
    // renamed pages may have to be reached, and it did not change since the record ended.
    bool IsSelected(const PageItem& page, bool renamedRecord) const;
    void PassTwo();
    // Converts the selected pages whose stored name falls to share `share` of `shares`.
    void ConvertShare(std::size_t share, std::size_t shares);
    bool ConvertPage(const PageItem& page);
    // The replacements of the page's numbered links, and how many numbered links its map has.
    bool ReadReplacements(const PageItem& page, std::vector<Replacement>& out,
                          std::int64_t& links, bool& asParsed);
    bool WriteLogByte(std::int64_t offset, char value);
    std::string RenameSuffix(const std::string& composed) const;
    // Whether the stored file exists, remembered for the rest of the conversion. Any thread.
    bool IsPresent(const std::string& storedPath);

    CConversionJob m_job;
    CProjectPaths m_paths;
    std::unique_ptr<IPositionedFile> m_log;
    // Composed address of every file stored under a name with ".html" or ".css" appended, and
    // that suffix.
    std::unordered_map<std::string, std::string> m_renamed;
    std::mutex m_presentLock;   // guards m_present, which pass 2's threads share
    std::unordered_map<std::string, bool> m_present;
    std::vector<PageItem> m_pages;
    std::atomic<bool> m_cancel{false};
    std::atomic<int> m_total{0};
    std::atomic<int> m_done{0};
    std::atomic<ConversionOutcome> m_outcome{ConversionOutcome::Pending};
};

} // namespace torvex
