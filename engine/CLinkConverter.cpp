#include "engine/CLinkConverter.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "base/BoundedText.h"
#include "engine/DispatchDecision.h"
#include "engine/ProjectLog.h"
#include "engine/StatusLine.h"
#include "html/CAttrList.h"
#include "html/CTagTable.h"
#include "html/CssParser.h"
#include "html/LinkWalker.h"
#include "platform/DurableFile.h"
#include "platform/FileSystem.h"
#include "platform/ProjectLock.h"
#include "url/CUrl.h"
#include "url/CUrlEntry.h"
#include "url/LocalNames.h"

namespace torvex {

namespace {

// No status line of a record comes near this; a longer one is not a status line.
constexpr std::size_t kMaxStatusLogLine = 1024;
constexpr std::string_view kHtmlSuffix = ".html";
// Pass 2 starts another thread only for this many pages or more: fewer are done before a
// thread would be running.
constexpr std::size_t kPagesPerThread = 64;
constexpr unsigned kMaxConversionThreads = 8;

// Calls `each` with every line of `text` (without its LF) and the line's offset.
template <typename Each>
void ForEachLine(std::string_view text, Each&& each) {
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        const std::size_t lineEnd = end == std::string_view::npos ? text.size() : end;
        if (!each(text.substr(at, lineEnd - at), at)) {
            return;
        }
        at = lineEnd + 1;
    }
}

bool ParseCode(std::string_view field, int& code) {
    while (!field.empty() && field.back() == ' ') {
        field.remove_suffix(1);
    }
    const auto result = std::from_chars(field.data(), field.data() + field.size(), code);
    return result.ec == std::errc() && result.ptr == field.data() + field.size();
}

// Gives the stored page's links the replacements recorded for their numbers; the links are
// counted as the page parser numbered them (a base tag is never a link).
class ConversionVisitor : public ILinkVisitor {
public:
    struct Item {
        std::int64_t number;
        const std::string* text;
    };
    explicit ConversionVisitor(std::vector<Item> items) : m_items(std::move(items)) {}

    std::int64_t LinksMet() const { return m_count; }

    bool StopRequested() override { return false; }

    bool VisitLink(int tagCode, std::string_view linkText, std::string& replacement) override {
        if (tagCode == static_cast<int>(TagCode::Base)) {
            return false;
        }
        const std::int64_t number = m_count++;
        // "javascript:", "mailto:" and the like stay as they are, whatever a map from an
        // earlier version of the program says about them.
        if (HasUnfetchedScheme(linkText)) {
            return false;
        }
        while (m_next < m_items.size() && m_items[m_next].number < number) {
            ++m_next;
        }
        if (m_next < m_items.size() && m_items[m_next].number == number) {
            replacement = *m_items[m_next++].text;
            return true;
        }
        return false;
    }

private:
    std::vector<Item> m_items;
    std::size_t m_next = 0;
    std::int64_t m_count = 0;
};

} // namespace

EntryState ConvertedPageState(LinkMode mode, bool appendHtml) {
    if (mode == LinkMode::Local) {
        return appendHtml ? EntryState::ConvertedLocalHtml : EntryState::Complete;
    }
    return appendHtml ? EntryState::ConvertedAbsoluteHtml : EntryState::ConvertedAbsolute;
}

CLinkConverter::CLinkConverter(CConversionJob job) : m_job(std::move(job)) {}

CLinkConverter::~CLinkConverter() = default;

ConversionOutcome CLinkConverter::Run() {
    ConversionOutcome outcome = ConversionOutcome::Done;
    m_paths = SetRecord(m_job.projectDir, m_job.record);
    ProjectLock lock;
    if (!IsRecordName(m_job.record) || !m_paths.fits) {
        outcome = ConversionOutcome::NoRecord;
    } else if (lock.TryAcquire(m_job.projectDir) == ProjectLockOutcome::HeldElsewhere) {
        outcome = ConversionOutcome::Busy;
    } else if ((m_log = CurrentFileEnv().OpenPositioned(m_paths.statusLog, false)) == nullptr) {
        outcome = ConversionOutcome::NoRecord;
    } else {
        PassOne();
        m_total.store(static_cast<int>(m_pages.size()));
        PassTwo();
        m_log.reset();
        if (m_cancel.load()) {
            outcome = ConversionOutcome::Cancelled;
        }
    }
    m_outcome.store(outcome);
    return outcome;
}

bool CLinkConverter::WriteLogByte(std::int64_t offset, char value) {
    return m_log->WriteAt(offset, std::string_view(&value, 1));
}

bool CLinkConverter::IsPresent(const std::string& storedPath) {
    // Pages link to the same files over and over (menus, style sheets, icons): each is looked
    // for once.
    {
        std::lock_guard<std::mutex> guard(m_presentLock);
        const auto known = m_present.find(storedPath);
        if (known != m_present.end()) {
            return known->second;
        }
    }
    // Asked without the lock: two threads that ask at once both get the same answer.
    const bool present = FileExists(storedPath);
    std::lock_guard<std::mutex> guard(m_presentLock);
    m_present.emplace(storedPath, present);
    return present;
}

std::string CLinkConverter::RenameSuffix(const std::string& composed) const {
    const auto found = m_renamed.find(composed);
    return found == m_renamed.end() ? std::string() : found->second;
}

void CLinkConverter::PassOne() {
    std::string log;
    if (!ReadFileText(m_paths.statusLog, log)) {
        return;
    }
    // The pages of the selection, before it is known whether the record has renamed pages.
    std::vector<PageItem> candidates;
    ForEachLine(log, [&](std::string_view line, std::size_t offset) {
        if (m_cancel.load()) {
            return false;
        }
        ReadLogLine(line, offset, candidates);
        return true;
    });
    // A run that was resumed does not know what its first part renamed; the log does.
    const bool renamedRecord = m_job.hasRenamedFile || !m_renamed.empty();
    for (PageItem& page : candidates) {
        if (IsSelected(page, renamedRecord)) {
            m_pages.push_back(std::move(page));
        }
    }
}

void CLinkConverter::ReadLogLine(std::string_view line, std::size_t offset,
                                 std::vector<PageItem>& candidates) {
    const std::size_t tab = line.find('\t');
    if (line.size() > kMaxStatusLogLine || tab == std::string_view::npos) {
        return;
    }
    const std::size_t dirLength = m_paths.recordDownloadDirLength;
    CStatusFields fields;
    const CUrl url(line.substr(0, tab));
    std::string localDir;
    std::string fileName;
    std::string fullPath;
    if (!ParseStatusLine(line, tab, fields) || !url.IsValid() ||
        !LocalNames(url, true, dirLength, localDir, fileName) ||
        !StoredPath(m_paths.recordDownloadDir, localDir, fileName, "", fullPath)) {
        return;
    }
    char letter = fields.nameLetter;
    if ((letter == NameLetter::PageOwnName || letter == NameLetter::RenamedLater ||
         letter == NameLetter::HtmlAppended) &&
        fields.readed != 0) {
        if (IsPageKind(fields.kind) && RenamedPageFits(dirLength, localDir, fileName)) {
            letter = NameAsAsked(letter, fullPath,
                                 static_cast<std::int64_t>(offset + tab + kStatusNameOffset));
        }
    }
    // Pages renamed with ".html" and style sheets stored with ".css": links to them follow.
    const std::string_view suffix = StoredNameSuffix(letter);
    if (!suffix.empty() && fields.readed != 0) {
        m_renamed[url.Compose()] = std::string(suffix);
    }
    if (!IsPageKind(fields.kind) || fields.state == EntryState::Stored ||
        fields.state == EntryState::Parsing) {
        return;
    }
    PageItem item;
    item.address = std::string(line.substr(0, tab));
    item.localDir = std::move(localDir);
    item.fileName = std::move(fileName);
    item.nameLetter = letter;
    item.suffix = std::string(StoredNameSuffix(letter));
    item.stateOffset = static_cast<std::int64_t>(offset + tab + kStatusStateOffset);
    item.state = fields.state;
    candidates.push_back(std::move(item));
}

char CLinkConverter::NameAsAsked(char letter, const std::string& fullPath,
                                 std::int64_t letterOffset) {
    const std::string htmlPath = fullPath + std::string(kHtmlSuffix);
    if (!m_job.appendHtml && letter == NameLetter::RenamedLater) {
        if ((RenamePath(htmlPath, fullPath) || (FileExists(fullPath) && !FileExists(htmlPath))) &&
            WriteLogByte(letterOffset, NameLetter::PageOwnName)) {
            return NameLetter::PageOwnName;
        }
    } else if (m_job.appendHtml && letter == NameLetter::PageOwnName) {
        if ((RenamePath(fullPath, htmlPath) || (FileExists(htmlPath) && !FileExists(fullPath))) &&
            WriteLogByte(letterOffset, NameLetter::RenamedLater)) {
            return NameLetter::RenamedLater;
        }
    }
    return letter;
}

bool CLinkConverter::IsSelected(const PageItem& page, bool renamedRecord) const {
    const bool local = m_job.linkMode == LinkMode::Local;
    const bool append = m_job.appendHtml;
    const EntryState s = page.state;
    const bool asLocal = s == EntryState::Complete || s == EntryState::ConvertedLocalHtml;
    const bool asAbsolute =
        s == EntryState::ConvertedAbsolute || s == EntryState::ConvertedAbsoluteHtml;
    const bool plainNames = s == EntryState::Complete || s == EntryState::ConvertedAbsolute;
    const bool htmlNames =
        s == EntryState::ConvertedLocalHtml || s == EntryState::ConvertedAbsoluteHtml;
    const bool otherStyle = (asLocal && !local) || (asAbsolute && local);
    const bool otherNaming = (plainNames && append) || (htmlNames && !append);
    if (otherStyle || otherNaming) {
        return true;
    }
    if (!renamedRecord && s == EntryState::Complete && local && !append) {
        return false;
    }
    if (m_job.timeLimit >= 0) {
        std::string stored;
        if (StoredPath(m_paths.recordDownloadDir, page.localDir, page.fileName, page.suffix,
                       stored) &&
            FileModificationTime(stored) > m_job.timeLimit) {
            return false;
        }
    }
    return true;
}

void CLinkConverter::PassTwo() {
    std::size_t threads = m_job.threads > 0 ? static_cast<std::size_t>(m_job.threads) : 0;
    if (threads == 0) {
        const unsigned cores =
            std::max(1u, std::min(std::thread::hardware_concurrency(), kMaxConversionThreads));
        threads = std::min<std::size_t>(cores,
                                        std::max<std::size_t>(1, m_pages.size() / kPagesPerThread));
    }
    std::vector<std::thread> helpers;
    helpers.reserve(threads - 1);
    for (std::size_t share = 1; share < threads; ++share) {
        try {
            helpers.emplace_back([this, share, threads] { ConvertShare(share, threads); });
        } catch (const std::system_error&) {
            // No thread to be had: this one converts the shares that found none.
            break;
        }
    }
    ConvertShare(0, threads);
    for (std::size_t share = helpers.size() + 1; share < threads; ++share) {
        ConvertShare(share, threads);
    }
    for (std::thread& helper : helpers) {
        helper.join();
    }
}

void CLinkConverter::ConvertShare(std::size_t share, std::size_t shares) {
    const std::hash<std::string> hash;
    for (const PageItem& page : m_pages) {
        if (m_cancel.load()) {
            return;
        }
        if (shares > 1 && hash(page.localDir + page.fileName) % shares != share) {
            continue;
        }
        ConvertPage(page);
        m_done.fetch_add(1);
    }
}

bool CLinkConverter::ReadReplacements(const PageItem& page, std::vector<Replacement>& out,
                                      std::int64_t& links, bool& asParsed) {
    asParsed = true;
    CUrlEntry pageEntry;
    pageEntry.localDir = page.localDir;
    pageEntry.fileName = page.fileName;
    pageEntry.nameLetter = page.nameLetter;
    std::string map;
    if (!ReadFileText(LinkMapPath(m_paths.recordLinkMapDir, pageEntry), map)) {
        return false;
    }
    const std::size_t dirLength = m_paths.recordDownloadDirLength;
    std::string pageDir = page.localDir;
    std::int64_t number = 0;
    ForEachLine(map, [&](std::string_view line, std::size_t) {
        const std::size_t tab = line.find('\t');
        const std::size_t codeEnd =
            tab == std::string_view::npos ? tab : line.find('\t', tab + 1);
        int code = 0;
        if (codeEnd == std::string_view::npos ||
            !ParseCode(line.substr(tab + 1, codeEnd - tab - 1), code)) {
            ++number;
            return true;
        }
        const std::string_view address = line.substr(0, tab);
        if (code == kLinkCodeBaseLine) {
            // A script file writes into the page that included it: its links are relative to
            // that page's directory.
            const CUrl including(address);
            std::string dir;
            std::string file;
            if (including.IsValid() && LocalNames(including, true, dirLength, dir, file)) {
                pageDir = std::move(dir);
            }
            return true;
        }
        const std::int64_t current = number++;
        if (code == kLinkCodeInvalid) {
            return true;
        }
        const CUrl link(address);
        if (!link.IsValid()) {
            return true;
        }
        std::string dir;
        std::string file;
        const bool named = LocalNames(link, true, dirLength, dir, file);
        Replacement replacement;
        replacement.number = current;
        if (named) {
            const std::string suffix = RenameSuffix(link.Compose());
            asParsed = asParsed && suffix.empty();
            file += suffix;
            // Whether the file is there only matters where absent files keep their address.
            std::string stored;
            const bool present = m_job.linkMode == LinkMode::Absolute &&
                                 StoredPath(m_paths.recordDownloadDir, dir, file, "", stored) &&
                                 IsPresent(stored);
            if (m_job.linkMode == LinkMode::Local || present) {
                replacement.text = RelativeLocalPath(dir, pageDir) + file;
                CutTo(replacement.text, kMaxUrlText);
                out.push_back(std::move(replacement));
                return true;
            }
        }
        if (m_job.linkMode == LinkMode::Absolute) {
            replacement.text = std::string(address);
            out.push_back(std::move(replacement));
            asParsed = false;
        }
        // A link without a local name keeps what the page has.
        return true;
    });
    links = number;
    return true;
}

bool CLinkConverter::ConvertPage(const PageItem& page) {
    std::vector<Replacement> replacements;
    std::int64_t links = 0;
    bool asParsed = false;
    if (!ReadReplacements(page, replacements, links, asParsed) || replacements.empty()) {
        return false;
    }
    // A page still in the form the page parser left it ("1": local links) none of whose links
    // names a renamed file or goes back to the site would be written back byte for byte: its
    // text stays as it is and only its status tells the style asked for. After a run with
    // absolute links for missing files, that is every page whose links all found their files.
    // Its time is set as a rewrite would set it, so that a conversion with a time limit counts
    // it as converted.
    std::string stored;
    if (!StoredPath(m_paths.recordDownloadDir, page.localDir, page.fileName, page.suffix,
                    stored)) {
        return false;
    }
    if (asParsed && page.state == EntryState::Complete) {
        const EntryState converted = ConvertedPageState(m_job.linkMode, m_job.appendHtml);
        return converted == EntryState::Complete ||
               (TouchFile(stored) && WriteLogByte(page.stateOffset, StateLetter(converted)));
    }
    std::string text;
    if (!ReadFileText(stored, text)) {
        return false;
    }
    std::vector<ConversionVisitor::Item> items;
    items.reserve(replacements.size());
    for (const Replacement& replacement : replacements) {
        items.push_back({replacement.number, &replacement.text});
    }
    const bool sheet = IsStyleSheetName(page.fileName + page.suffix);
    std::string out;
    // Local addresses may be longer than what the page has now; the string grows as it must.
    out.reserve(text.size() + text.size() / 2 + 1024);
    const auto walk = [&](std::size_t maxTagText) {
        ConversionVisitor visitor(items);
        out.clear();
        if (sheet) {
            WalkStyleSheetLinks(text, out, visitor);
        } else {
            WalkLinks(text, out, visitor, maxTagText);
        }
        return visitor.LinksMet();
    };
    std::int64_t met = walk(kMaxTagText);
    if (met != links && !sheet) {
        // Rewritten links may have made a tag longer than the page parser's bound since it
        // was read: each of its links may now be up to 512 characters long, and a srcset list
        // holds many.
        met = walk(std::max(text.size(), kMaxTagText));
    }
    if (met != links) {
        // The page no longer pairs with its map (a page changed by hand, say): numbered
        // replacements would land on the wrong links, so the page keeps what it has.
        return false;
    }
    if (!ReplaceFileDurably(stored, out, FileAccess::Shared, FileSync::AtomicOnly,
                            FileWriters::One)) {
        return false;   // the page keeps its old text and its status
    }
    return WriteLogByte(page.stateOffset,
                        StateLetter(ConvertedPageState(m_job.linkMode, m_job.appendHtml)));
}

} // namespace torvex
