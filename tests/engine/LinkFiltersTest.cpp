#include "engine/LinkFilters.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/LinkAcceptance.h"
#include "html/CTagTable.h"

namespace torvex {
namespace {

constexpr std::time_t kJune7th2024 = 1717718400 + 3600;   // 2024-06-07 01:00 UTC

bool Refuses(const CUrlFilter& filter, std::string_view candidate,
             std::string_view start = "http://p.q.r/docs/index.html") {
    return UrlFilterRefuses(filter, CUrl(candidate), start, "yyyymmdd", kJune7th2024);
}

CUrlFilter WithHosts(HostFilterMode mode, std::string fhost = "", std::string ehost = "") {
    CUrlFilter filter;
    filter.HostFilter = static_cast<int>(mode);
    filter.FHost = std::move(fhost);
    filter.EHost = std::move(ehost);
    return filter;
}

CUrlFilter WithPaths(PathFilterMode mode, std::string fpath = "", std::string epath = "") {
    CUrlFilter filter;
    filter.HostFilter = static_cast<int>(HostFilterMode::AllHosts);
    filter.PathFilter = static_cast<int>(mode);
    filter.FPath = std::move(fpath);
    filter.EPath = std::move(epath);
    return filter;
}

TEST(CUrlFilterHost, EveryMode) {
    struct Case {
        CUrlFilter filter;
        const char* candidate;
        bool refused;
    };
    const Case cases[] = {
        {WithHosts(HostFilterMode::AllHosts), "http://any.where/", false},
        {WithHosts(HostFilterMode::AllHosts, "", "ads.*;*.track"), "http://ads.x/", true},
        {WithHosts(HostFilterMode::AllHosts, "", "ads.*;*.track"), "http://t.track/", true},
        {WithHosts(HostFilterMode::AllHosts, "", "ads.*;*.track"), "http://news.x/", false},
        {WithHosts(HostFilterMode::StartDomain), "http://s.q.r/", false},
        {WithHosts(HostFilterMode::StartDomain), "http://q.r/", true},
        {WithHosts(HostFilterMode::StartDomain), "http://t.s.q.r/", true},
        {WithHosts(HostFilterMode::StartDomain, "", "s.q.r"), "http://s.q.r/", true},
        {WithHosts(HostFilterMode::StartHost), "http://p.q.r/x", false},
        {WithHosts(HostFilterMode::StartHost), "http://s.q.r/x", true},
        {WithHosts(HostFilterMode::StartHost, "", "p.q.r"), "http://p.q.r/x", false},
        {WithHosts(static_cast<HostFilterMode>(7)), "http://s.q.r/x", true},
        {WithHosts(HostFilterMode::SpecifiedHosts), "http://p.q.r/", true},
        {WithHosts(HostFilterMode::SpecifiedHosts, "*.q.r;other.org"), "http://other.org/", false},
        {WithHosts(HostFilterMode::SpecifiedHosts, "*.q.r;other.org"), "http://s.Q.r/", false},
        {WithHosts(HostFilterMode::SpecifiedHosts, "*.q.r", "s.*"), "http://s.q.r/", true},
        {WithHosts(HostFilterMode::SpecifiedHosts, "*.q.r"), "http://elsewhere/", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.candidate) + " mode " + std::to_string(c.filter.HostFilter) +
                     " F " + c.filter.FHost + " E " + c.filter.EHost);
        EXPECT_EQ(Refuses(c.filter, c.candidate), c.refused);
    }
}

TEST(CUrlFilterHost, TwoLabelStartHostComparesTheLastLabel) {
    const CUrlFilter filter = WithHosts(HostFilterMode::StartDomain);
    EXPECT_FALSE(Refuses(filter, "http://x.r/", "http://q.r/"));
    EXPECT_TRUE(Refuses(filter, "http://p.q.r/", "http://q.r/"));
    EXPECT_TRUE(Refuses(filter, "http://x.s/", "http://q.r/"));
}

// The start address a thread parsed last is kept: another start address, or a dated one on
// another day, must not be judged by the one kept.
TEST(CUrlFilterHost, EachStartAddressAndDayIsJudgedByItsOwnHost) {
    const CUrlFilter filter = WithHosts(HostFilterMode::StartHost);
    const std::string_view dated = "http://$DATE.r/";
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        EXPECT_FALSE(Refuses(filter, "http://a.r/x", "http://a.r/"));
        EXPECT_TRUE(Refuses(filter, "http://a.r/x", "http://b.r/"));
        EXPECT_FALSE(Refuses(filter, "http://b.r/x", "http://b.r/"));
        EXPECT_FALSE(UrlFilterRefuses(filter, CUrl("http://20240607.r/"), dated, "yyyymmdd",
                                      kJune7th2024));
        EXPECT_TRUE(UrlFilterRefuses(filter, CUrl("http://20240607.r/"), dated, "yyyymmdd",
                                     kJune7th2024 + 86400));
        EXPECT_FALSE(UrlFilterRefuses(filter, CUrl("http://20240608.r/"), dated, "yyyymmdd",
                                      kJune7th2024 + 86400));
        EXPECT_TRUE(Refuses(filter, "http://x.r/", ""));   // no start address: no host
    }
}

TEST(CUrlFilterPath, EveryMode) {
    struct Case {
        CUrlFilter filter;
        const char* candidate;
        bool refused;
    };
    const Case cases[] = {
        {WithPaths(PathFilterMode::AllPaths), "http://h/any/x.html", false},
        {WithPaths(PathFilterMode::AllPaths, "", "*.cgi*"), "http://h/a/run.cgi?x=1", true},
        {WithPaths(PathFilterMode::AllPaths, "", "*.cgi*"), "http://h/a/run.html", false},
        {WithPaths(PathFilterMode::AllPaths, "", "/cgi-bin/"), "http://h/cgi-bin/a", true},
        {WithPaths(PathFilterMode::AllPaths, "", "/cgi-bin/"), "http://h/cgi-bin/s/a", false},
        {WithPaths(PathFilterMode::AllPaths, "", "/cgi-bin/*"), "http://h/cgi-bin/s/a", true},
        {WithPaths(PathFilterMode::AllPaths, "", "o.org/*"), "http://o.org/a", true},
        {WithPaths(PathFilterMode::AllPaths, "", "o.org/*"), "http://h/a", false},
        {WithPaths(PathFilterMode::StartDirectory), "http://h/docs/x/y.html", false},
        {WithPaths(PathFilterMode::StartDirectory), "http://h/DOCS/y.html", false},
        {WithPaths(PathFilterMode::StartDirectory), "http://h/doc.html", true},
        {WithPaths(PathFilterMode::StartDirectory, "", "*.zip"), "http://h/docs/a.zip", true},
        {WithPaths(PathFilterMode::SpecifiedPaths), "http://h/docs/a.html", true},
        {WithPaths(PathFilterMode::SpecifiedPaths, "/a/*;*.pdf"), "http://h/a/b/c", false},
        {WithPaths(PathFilterMode::SpecifiedPaths, "/a/*;*.pdf"), "http://h/z/c.PDF", false},
        {WithPaths(PathFilterMode::SpecifiedPaths, "/a/*;*.pdf"), "http://h/z/c.html", true},
        {WithPaths(PathFilterMode::SpecifiedPaths, "/a/*", "/a/private/*"),
         "http://h/a/private/x", true},
        {WithPaths(PathFilterMode::SpecifiedPaths, "/news/$DATE/*"),
         "http://h/news/20240607/a.html", false},
        {WithPaths(PathFilterMode::SpecifiedPaths, "/news/$DATE/*"),
         "http://h/news/20240606/a.html", true},
        {WithPaths(static_cast<PathFilterMode>(5), "", "*.gif"), "http://h/a.gif", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.candidate) + " mode " + std::to_string(c.filter.PathFilter) +
                     " F " + c.filter.FPath + " E " + c.filter.EPath);
        EXPECT_EQ(Refuses(c.filter, c.candidate), c.refused);
    }
}

TEST(CUrlFilterPath, HostPatternLongerThanAHostNeverMatches) {
    const CUrlFilter filter =
        WithPaths(PathFilterMode::AllPaths, "", std::string(129, '*') + "/*");
    EXPECT_FALSE(Refuses(filter, "http://h/a"));
    EXPECT_TRUE(Refuses(WithPaths(PathFilterMode::AllPaths, "", std::string(128, '*') + "/*"),
                        "http://h/a"));
}

TEST(CUrlFilterProtocol, BitsRefuseHttpWithHttpsAndFtp) {
    CUrlFilter filter = WithHosts(HostFilterMode::AllHosts);
    filter.ProtocolFilter = kProtocolNoHttp;
    EXPECT_TRUE(Refuses(filter, "http://h/a"));
    EXPECT_FALSE(Refuses(filter, "ftp://h/a"));
    EXPECT_TRUE(Refuses(filter, "https://h/a"));   // https is HTTP
    filter.ProtocolFilter = kProtocolNoFtp;
    EXPECT_FALSE(Refuses(filter, "http://h/a"));
    EXPECT_FALSE(Refuses(filter, "https://h/a"));
    EXPECT_TRUE(Refuses(filter, "ftp://h/a"));
}

TEST(CUrlFilterHost, HttpsIsTheSameHost) {
    const std::string start = "http://h.example.org/";
    CUrlFilter filter = WithHosts(HostFilterMode::StartHost);
    EXPECT_FALSE(Refuses(filter, "https://h.example.org/a", start));
    EXPECT_TRUE(Refuses(filter, "https://other.example.org/a", start));
}

TEST(CFileTypeFilterExclusion, GroupsAndSwitches) {
    CFileTypeFilter filter;
    EXPECT_FALSE(IsFileTypeExcluded(filter, CUrl("http://h/a.exe")));   // retrieve all files
    filter.NoFileFilter = false;
    filter.FileFilter[1] = "gif;0|jpg;1";
    filter.FileFilter[7] = "gif;1|dat;0";
    struct Case {
        const char* url;
        bool excluded;
    };
    const Case cases[] = {
        {"http://h/i/a.gif", true},  {"http://h/i/A.GIF", true},   {"http://h/i/a.jpg", false},
        {"http://h/i/a.dat", true},  {"http://h/i/a.gi", false},   {"http://h/i/a.gif?x=1", true},
        {"http://h/i/", false},      {"http://h/i/index.html", false},
        {"http://h/i/noext", false}, {"http://h/i/odd.", false},   {"http://h/i/a.xyz", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(IsFileTypeExcluded(filter, CUrl(c.url)), c.excluded);
    }
    filter.FilterNoExt = true;
    filter.FilterOther = true;
    EXPECT_TRUE(IsFileTypeExcluded(filter, CUrl("http://h/i/noext")));
    EXPECT_TRUE(IsFileTypeExcluded(filter, CUrl("http://h/i/odd.")));
    EXPECT_TRUE(IsFileTypeExcluded(filter, CUrl("http://h/i/a.xyz")));
    EXPECT_FALSE(IsFileTypeExcluded(filter, CUrl("http://h/i/a.jpg")));
}

CLinkRules RulesForOneAddress() {
    CLinkRules rules;
    CStartAddressRules start;
    start.startUrl = "http://h/docs/index.html";
    start.filter = WithHosts(HostFilterMode::StartHost);
    start.level = 2;
    rules.startAddresses.push_back(start);
    return rules;
}

bool Accepts(const CLinkRules& rules, std::string_view url, int level, TagCode tag,
             int startIndex = 0) {
    return LinkAcceptance(rules, url, level, static_cast<int>(tag), startIndex, kJune7th2024);
}

TEST(LinkAcceptance, SameLevelLinksSkipTheUrlFilterUnlessAsked) {
    CLinkRules rules = RulesForOneAddress();
    EXPECT_TRUE(Accepts(rules, "http://h/docs/a.html", 2, TagCode::A));
    EXPECT_FALSE(Accepts(rules, "http://cdn/a.html", 2, TagCode::A));
    EXPECT_FALSE(Accepts(rules, "http://cdn/a.html", 2, TagCode::Area));
    EXPECT_FALSE(Accepts(rules, "http://cdn/a.html", 2, TagCode::Option));
    EXPECT_TRUE(Accepts(rules, "http://cdn/i.gif", 2, TagCode::Img));
    EXPECT_TRUE(Accepts(rules, "http://cdn/f.html", 2, TagCode::Frame));
    rules.startAddresses[0].filter.FilterSameLevel = true;
    EXPECT_FALSE(Accepts(rules, "http://cdn/i.gif", 2, TagCode::Img));
}

TEST(LinkAcceptance, SwitchesFileTypesAndLevelLimit) {
    CLinkRules rules = RulesForOneAddress();
    rules.fileType = kFileTypeNoImages;
    for (TagCode tag : {TagCode::Img, TagCode::Td, TagCode::Body, TagCode::Image}) {
        EXPECT_FALSE(Accepts(rules, "http://h/docs/i.gif", 2, tag));
    }
    EXPECT_TRUE(Accepts(rules, "http://h/docs/i.gif", 2, TagCode::Embed));
    EXPECT_TRUE(Accepts(rules, "http://h/docs/o.html", 2, TagCode::Option));
    rules.fileType = kFileTypeNoDropdownLists;
    EXPECT_FALSE(Accepts(rules, "http://h/docs/o.html", 2, TagCode::Option));
    EXPECT_TRUE(Accepts(rules, "http://h/docs/i.gif", 2, TagCode::Img));

    rules.fileType = 0;
    rules.fileTypes.NoFileFilter = false;
    rules.fileTypes.FileFilter[1] = "gif;0";
    EXPECT_FALSE(Accepts(rules, "http://cdn/i.GIF", 2, TagCode::Img));
    EXPECT_TRUE(Accepts(rules, "http://h/docs/sub/index.html", 2, TagCode::A));

    // Level limit 2: an anchor on a level-2 page leads to level 3; its images stay on 2.
    EXPECT_FALSE(Accepts(rules, "http://h/docs/deeper.html", 3, TagCode::A));
    EXPECT_TRUE(Accepts(rules, "http://h/docs/i.jpg", 2, TagCode::Img));
    rules.startAddresses[0].level = 0;
    EXPECT_TRUE(Accepts(rules, "http://h/docs/deeper.html", 99, TagCode::A));
}

TEST(LinkAcceptance, EachStartAddressJudgesItsOwnLinks) {
    CLinkRules rules = RulesForOneAddress();
    CStartAddressRules second;
    second.startUrl = "http://o/";
    second.filter = WithHosts(HostFilterMode::StartHost);
    rules.startAddresses.push_back(second);
    EXPECT_FALSE(Accepts(rules, "http://o/a.html", 2, TagCode::A, 0));
    EXPECT_TRUE(Accepts(rules, "http://o/a.html", 2, TagCode::A, 1));
    EXPECT_FALSE(Accepts(rules, "http://o/a.html", 2, TagCode::A, 2));
    EXPECT_FALSE(Accepts(rules, "http://o/a.html", 2, TagCode::A, -1));
    EXPECT_FALSE(Accepts(rules, "not a url", 2, TagCode::A, 1));
}

} // namespace
} // namespace torvex
