#include "html/PageParser.h"

#include "base/BoundedText.h"
#include "html/CTagTable.h"
#include "html/LinkMapLine.h"
#include "html/LinkWalker.h"

namespace torvex {

namespace {

// Resolves, records and rewrites the links that the walker meets on one page.
class PageLinkVisitor : public ILinkVisitor {
public:
    PageLinkVisitor(const CPageInfo& page, std::string& linkMap, IFoundLinkSink& sink);

    bool StopRequested() override { return m_sink.StopRequested(); }
    bool VisitLink(int tagCode, std::string_view linkText, std::string& replacement) override;

private:
    bool FoundLink(const CUrl& link, int tagCode, std::string& value);

    const CPageInfo& m_page;
    std::string& m_linkMap;
    IFoundLinkSink& m_sink;
    bool m_scriptFile = false;
    CUrl m_base;
    std::string m_pageDir;    // the directory the rewritten links are relative to
    std::string m_referrer;   // the address that new entries name as their referrer
    std::string m_linkDir;
    std::string m_linkFile;
};

PageLinkVisitor::PageLinkVisitor(const CPageInfo& page, std::string& linkMap,
                                 IFoundLinkSink& sink)
    : m_page(page), m_linkMap(linkMap), m_sink(sink), m_base(page.url),
      m_pageDir(page.localDir), m_referrer(page.url.Compose()) {
    if (page.linkCode != static_cast<int>(TagCode::Script)) {
        return;
    }
    // A script file writes into the page that included it: its links resolve against that
    // page's address and are rewritten relative to that page's directory.
    m_scriptFile = true;
    AppendLinkMapBaseLine(m_linkMap, page.referrer);
    const CUrl including(page.referrer);
    if (!including.IsValid()) {
        return;   // nothing better to go by than the script's own address
    }
    m_base = including;
    m_referrer = page.referrer;
    std::string includingDir;
    std::string includingFile;
    m_sink.LocalNamesFor(including, includingDir, includingFile);
    if (!includingDir.empty()) {
        m_pageDir = includingDir;
    }
}

bool PageLinkVisitor::VisitLink(int tagCode, std::string_view linkText, std::string& replacement) {
    const bool baseHref = tagCode == static_cast<int>(TagCode::Base);
    // In a script file only an address written as one is a link: what a tag in a string is
    // given by concatenation ('<img src="' + path + '">') leaves pieces of code behind.
    const bool scriptCode = m_scriptFile && !IsPlainAddress(linkText);
    const CUrl link = scriptCode ? CUrl() : CUrl(linkText, &m_base);
    if (scriptCode || !link.IsValid()) {
        // A base tag is not a link: it never takes a line, so the lines stay paired with the
        // links that a later reading of the stored page finds.
        if (!baseHref) {
            AppendLinkMapLine(m_linkMap, linkText, kLinkCodeInvalid);
        }
        return false;
    }
    if (baseHref) {
        if (!m_scriptFile) {
            m_base = link;
        }
        return false;
    }
    return FoundLink(link, tagCode, replacement);
}

bool PageLinkVisitor::FoundLink(const CUrl& link, int tagCode, std::string& value) {
    const std::string composed = link.Compose();
    AppendLinkMapLine(m_linkMap, composed, tagCode);

    m_linkDir.clear();
    m_linkFile.clear();
    const bool fits = m_sink.LocalNamesFor(link, m_linkDir, m_linkFile);
    const std::int32_t level = m_page.level + (CTagTable::LeadsDeeper(tagCode) ? 1 : 0);
    const CFoundLink found{link, composed, m_linkDir, m_linkFile, level, tagCode, m_referrer};
    if (!fits) {
        m_sink.OfferUnstorableLink(found);   // not fetched, but not forgotten either
    }
    if (m_linkFile.empty()) {
        return false;   // no local name to point at: the link stays as written
    }
    value = RelativeLocalPath(m_linkDir, m_pageDir);
    value += m_linkFile;
    CutTo(value, kMaxUrlText);
    if (!fits) {
        return true;    // rewritten, but a file that cannot be stored is not fetched
    }
    m_sink.OfferLink(found);
    return true;
}

} // namespace

void IFoundLinkSink::OfferUnstorableLink(const CFoundLink&) {}

void ParseLinksWith(LinkWalk walk, const CPageInfo& page, std::string_view text,
                    std::string& out, std::string& linkMap, IFoundLinkSink& sink) {
    out.clear();
    // Rewritten links are rarely much longer than the links as written; twice the page is room
    // enough for any real page, and a string that must still grow stays correct.
    out.reserve(text.size() * 2 + 1024);
    PageLinkVisitor visitor(page, linkMap, sink);
    walk(text, out, visitor);
}

void PageParser(const CPageInfo& page, std::string_view text, std::string& out,
                std::string& linkMap, IFoundLinkSink& sink) {
    ParseLinksWith([](std::string_view t, std::string& o, ILinkVisitor& v) { WalkLinks(t, o, v); },
                   page, text, out, linkMap, sink);
}

} // namespace torvex
