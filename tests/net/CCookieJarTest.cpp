#include "net/CCookieJar.h"

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace torvex {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

std::vector<std::string> Names(const CCookieJar& jar) {
    std::vector<std::string> names;
    for (const CCookie& cookie : jar.Cookies()) {
        names.push_back(cookie.name);
    }
    return names;
}

TEST(CookieParse, ReadsPairsAndAttributes) {
    struct Case {
        std::string text;
        std::string name, value, path, domain;
        bool secure;
    };
    const std::vector<Case> cases = {
        {"id=5; path=/; domain=.a.com", "id", "5", "/", ".a.com", false},
        {"id=5; expires=Wed, 09 Jun 2021 10:18:14 GMT; path=/x", "id", "5", "/x", "", false},
        {"a=1 2,3; secure", "a", "1 2,3", "", "", true},
        {"a=1;secure ,", "a", "1", "", "", true},
        // "secure" followed by another attribute after a blank is dropped with it.
        {"a=1; secure x", "a", "1", "", "", false},
        {"PATH=/p; n=b=c", "n", "b=c", "/p", "", false},
        // Later pairs are attributes, never the cookie itself.
        {"sid=abc; Max-Age=60; HttpOnly; SameSite=Lax", "sid", "abc", "", "", false},
        {"a=1; path=/a b", "a", "1", "/a", "", false},
        {"a=1\r\nSet-Cookie: b=2", "a", "1", "", "", false},
        {"n=" + std::string(600, 'v'), "n", std::string(512, 'v'), "", "", false},
        {std::string(200, 'k') + "=1", std::string(128, 'k'), "1", "", "", false},
        {"flag", "", "", "", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        const CCookie cookie = ParseSetCookie(c.text);
        EXPECT_EQ(cookie.name, c.name);
        EXPECT_EQ(cookie.value, c.value);
        EXPECT_EQ(cookie.path, c.path);
        EXPECT_EQ(cookie.domain, c.domain);
        EXPECT_EQ(cookie.secure, c.secure);
    }
}

TEST(CookieDomain, MatchesWholeLabelsOnly) {
    struct Case {
        const char* domain;
        const char* host;
        bool matches;
    };
    for (const Case c : {Case{".a.com", "shop.a.com", true}, Case{".a.com", "a.com", true},
                         Case{"a.com", "a.com", true}, Case{"A.Com", "x.y.a.com", true},
                         Case{"a.com", "bada.com", false}, Case{".a.com", "bad-a.com", false},
                         Case{"", "a.com", false}, Case{".", "a.com", false},
                         Case{".com", "a.com", true}, Case{"..a.com", "a.com", false}}) {
        SCOPED_TRACE(std::string(c.domain) + " / " + c.host);
        EXPECT_EQ(CookieDomainMatches(c.domain, c.host), c.matches);
    }
}

TEST(CookieDomain, AServerSetsCookiesOnlyForItselfAndItsParents) {
    struct Case {
        const char* host;
        const char* domain;
        const char* kept;
    };
    for (const Case c :
         {Case{"h", "", "h"}, Case{"shop.a.com", ".a.com", ".a.com"},
          Case{"shop.a.com", "a.com", "a.com"}, Case{"a.com", ".a.com", ".a.com"},
          Case{"a.com", "evil.com", ""}, Case{"a.com", "shop.a.com", ""},
          Case{"shop.a.com", ".com", ""}, Case{"localhost", "localhost", "localhost"},
          Case{"127.0.0.1", "0.0.1", ""}, Case{"127.0.0.1", ".127.0.0.1", "127.0.0.1"},
          Case{"a.com", ".", ""}}) {
        SCOPED_TRACE(std::string(c.host) + " / " + c.domain);
        EXPECT_EQ(CookieDomainFor(c.host, c.domain), c.kept);
    }
}

TEST(CookieDomain, NoServerSetsACookieForAPublicSuffix) {
    struct Case {
        const char* host;
        const char* domain;
        const char* kept;
    };
    for (const Case c :
         {Case{"shop.example.co.uk", ".co.uk", ""}, Case{"shop.example.co.uk", "co.uk", ""},
          Case{"shop.example.co.uk", ".example.co.uk", ".example.co.uk"},
          Case{"me.github.io", ".github.io", ""},
          Case{"me.github.io", ".me.github.io", ".me.github.io"},
          Case{"a.b.CO.UK", ".Co.Uk", ""}, Case{"co.uk", "co.uk", "co.uk"}}) {
        SCOPED_TRACE(std::string(c.host) + " / " + c.domain);
        EXPECT_EQ(CookieDomainFor(c.host, c.domain), c.kept);
    }
    CCookieJar jar;
    jar.AddSetCookie("id=1; domain=.co.uk", "shop.example.co.uk", "/");
    EXPECT_TRUE(jar.Cookies().empty());
}

TEST(CookiePath, MatchesOnlyAtASegmentBoundary) {
    struct Case {
        const char* cookiePath;
        const char* requestPath;
        bool matches;
    };
    for (const Case c : {Case{"/foo", "/foo", true}, Case{"/foo", "/foo/bar", true},
                         Case{"/foo", "/foobar", false}, Case{"/foo/", "/foo/bar", true},
                         Case{"/foo/", "/foo", false}, Case{"/", "/anything", true},
                         Case{"/foo", "/foo?x=1", true}, Case{"/foo", "/foox?y=/", false},
                         Case{"/Foo", "/foo/a", true}, Case{"", "/", false}}) {
        SCOPED_TRACE(std::string(c.cookiePath) + " / " + c.requestPath);
        EXPECT_EQ(CookiePathMatches(c.cookiePath, c.requestPath), c.matches);
    }
    CCookieJar jar;
    jar.AddSetCookie("a=1; path=/foo", "h", "/");
    EXPECT_EQ(jar.BuildCookieHeader("h", "/foobar"), "");
    EXPECT_EQ(jar.BuildCookieHeader("h", "/foo/x"), "Cookie: a=1\r\n");
}

TEST(CookieJarExchange, SendsMatchingCookiesInJarOrder) {
    CCookieJar jar;
    jar.AddSetCookie("a=1", "h", "/dir/");
    jar.AddSetCookie("b=2 3; path=/", "h", "/dir/");
    jar.AddSetCookie("c=3; domain=.a.com", "shop.a.com", "/");
    EXPECT_EQ(jar.BuildCookieHeader("h", "/dir/page.html"), "Cookie: a=1; b=2 3\r\n");
    EXPECT_EQ(jar.BuildCookieHeader("h", "/DIR/x"), "Cookie: a=1; b=2 3\r\n");
    EXPECT_EQ(jar.BuildCookieHeader("h", "/other"), "Cookie: b=2 3\r\n");
    EXPECT_EQ(jar.BuildCookieHeader("www.a.com", "/"), "Cookie: c=3\r\n");
    // The domain's own host as well: the leading dot is no part of it.
    EXPECT_EQ(jar.BuildCookieHeader("a.com", "/"), "Cookie: c=3\r\n");
    EXPECT_EQ(jar.BuildCookieHeader("g", "/dir/"), "");
    EXPECT_EQ(jar.BuildCookieHeader("bada.com", "/"), "");
    CCookieJar own;
    own.AddSetCookie("s=1; domain=.b.org", "b.org", "/");
    EXPECT_EQ(own.BuildCookieHeader("b.org", "/"), "Cookie: s=1\r\n");
    const std::vector<CCookie> cookies = jar.Cookies();
    ASSERT_EQ(cookies.size(), 3u);
    EXPECT_EQ(cookies[0].path, "/dir/");
    EXPECT_EQ(cookies[0].domain, "h");
    EXPECT_EQ(cookies[0].useCount, 2);
    EXPECT_EQ(cookies[1].useCount, 3);
}

TEST(CookieJarExchange, LeavesOutCookiesBeyondTheLineLimit) {
    CCookieJar jar;
    for (int i = 0; i < kCookiesPerDomain; ++i) {
        jar.AddSetCookie("c" + std::to_string(i) + "=" + std::string(500, 'v'), "h", "/");
    }
    jar.AddSetCookie("small=1", "h", "/");   // a 21st: replaces c0, the earliest unused
    const std::string line = jar.BuildCookieHeader("h", "/");
    EXPECT_LE(line.size(), kMaxCookieLine);
    EXPECT_EQ(line.substr(0, 18), "Cookie: small=1; c");
    EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
    const std::vector<CCookie> cookies = jar.Cookies();
    EXPECT_EQ(cookies[0].useCount, 1);
    EXPECT_EQ(cookies[1].useCount, 1);
    EXPECT_EQ(cookies.back().useCount, 0);
}

TEST(CookieJarExchange, DropsCookiesItCannotKeepOrSend) {
    CCookieJar jar;
    for (const char* text : {"x=1; domain=evil.com", "x=1; domain=com", "flag", "=", "a=1\tb",
                             "\x01=2"}) {
        SCOPED_TRACE(text);
        jar.AddSetCookie(text, "a.com", "/");
        EXPECT_TRUE(jar.Cookies().empty());
    }
    // A path that is not one gives way to the page's directory.
    jar.AddSetCookie("a=1; path=docs", "a.com", "/d/");
    ASSERT_EQ(jar.Cookies().size(), 1u);
    EXPECT_EQ(jar.Cookies()[0].path, "/d/");
}

TEST(CookieJarExchange, ANewValueReplacesTheOldOneInPlace) {
    CCookieJar jar;
    jar.AddSetCookie("sid=1; path=/", "h", "/");
    jar.AddSetCookie("other=x", "h", "/");
    jar.AddSetCookie("sid=1; path=/", "h", "/");
    jar.AddSetCookie("sid=2; path=/", "H", "/");
    jar.AddSetCookie("sid=3; path=/sub/", "h", "/");
    EXPECT_EQ(jar.BuildCookieHeader("h", "/sub/"), "Cookie: sid=2; other=x; sid=3\r\n");
}

TEST(CookieJarLimits, TheTwentyFirstOfADomainReplacesItsLeastUsed) {
    CCookieJar jar;
    jar.AddSetCookie("elsewhere=1", "g", "/");
    for (int i = 0; i < kCookiesPerDomain; ++i) {
        jar.AddSetCookie("c" + std::to_string(i) + "=v", "h", "/p" + std::to_string(i) + "/");
    }
    for (int i = 0; i < kCookiesPerDomain; ++i) {
        if (i != 7) {
            jar.BuildCookieHeader("h", "/p" + std::to_string(i) + "/");
        }
    }
    jar.AddSetCookie("new=v", "h", "/");
    const std::vector<std::string> names = Names(jar);
    ASSERT_EQ(names.size(), 21u);
    EXPECT_EQ(names[8], "new");   // c7's slot, after the other domain's cookie
    EXPECT_EQ(std::count(names.begin(), names.end(), "c7"), 0);
}

TEST(CookieJarLimits, AFullJarReplacesTheEarliestLeastUsed) {
    CCookieJar jar;
    for (std::size_t i = 0; i < kCookieSlots; ++i) {
        jar.AddSetCookie("c" + std::to_string(i) + "=v",
                         "d" + std::to_string(i / kCookiesPerDomain) + ".example", "/");
    }
    ASSERT_EQ(jar.Cookies().size(), kCookieSlots);
    jar.BuildCookieHeader("d0.example", "/");   // slots 0 to 19 were used once
    jar.AddSetCookie("new=v", "other.example", "/");
    const std::vector<std::string> names = Names(jar);
    ASSERT_EQ(names.size(), kCookieSlots);
    EXPECT_EQ(names[20], "new");
    EXPECT_EQ(names[0], "c0");
}

TEST(CookieJarLimits, StaysBoundedWhileWorkersAddAndSendAtOnce) {
    CCookieJar jar;
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([&jar, t] {
            for (int i = 0; i < 400; ++i) {
                const std::string host = "h" + std::to_string((i + t) % 30) + ".example";
                jar.AddSetCookie("c" + std::to_string(i) + "=" + std::to_string(t), host, "/");
                jar.BuildCookieHeader(host, "/");
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    const std::vector<CCookie> cookies = jar.Cookies();
    EXPECT_EQ(cookies.size(), kCookieSlots);
    for (const CCookie& cookie : cookies) {
        const auto sameDomain = [&](const CCookie& other) { return other.domain == cookie.domain; };
        EXPECT_LE(std::count_if(cookies.begin(), cookies.end(), sameDomain), kCookiesPerDomain);
    }
}

TEST(CookieJarFile, SavesOneLinePerCookieAndLoadsWithoutDuplicates) {
    TempDir dir;
    const std::string file = dir.Str() + "/cookies";
    CCookieJar jar;
    jar.AddSetCookie("a=1 2,3; secure", "h", "/d/");
    jar.AddSetCookie("b=2; path=/", "h", "/d/");
    // A cookie at every capacity still makes a whole line on the way back.
    jar.AddSetCookie("c=" + std::string(600, 'v') + "; path=/" + std::string(600, 'p'), "h", "/");
    ASSERT_TRUE(jar.SaveCookies(file));

    const std::string text = ReadFileBytes(file);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 12);
    EXPECT_EQ(text.substr(0, 26), "h\r/d/\ra\r1 2,3\r1\nh\r/\rb\r2\r0\n");

    CCookieJar loaded;
    ASSERT_TRUE(loaded.LoadCookies(file));
    ASSERT_TRUE(loaded.LoadCookies(file));
    const std::vector<CCookie> before = jar.Cookies();
    const std::vector<CCookie> after = loaded.Cookies();
    ASSERT_EQ(after.size(), 3u);
    for (std::size_t i = 0; i < after.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(after[i].domain, before[i].domain);
        EXPECT_EQ(after[i].path, before[i].path);
        EXPECT_EQ(after[i].name, before[i].name);
        EXPECT_EQ(after[i].value, before[i].value);
        EXPECT_EQ(after[i].secure, before[i].secure);
        EXPECT_EQ(after[i].useCount, 0);
    }
    EXPECT_EQ(after[2].value.size(), kMaxCookieValue);
}

TEST(CookieJarFile, AnEmptyJarOrAMissingFileChangesNothing) {
    TempDir dir;
    const std::string file = dir.Str() + "/cookies";
    CCookieJar jar;
    EXPECT_TRUE(jar.LoadCookies(file));
    EXPECT_TRUE(jar.Cookies().empty());
    WriteFileBytes(file, "kept");
    EXPECT_TRUE(jar.SaveCookies(file));
    EXPECT_EQ(ReadFileBytes(file), "kept");
    // A file that cannot be written is reported.
    jar.AddSetCookie("a=1", "h", "/");
    EXPECT_FALSE(jar.SaveCookies(dir.Str() + "/missing/cookies"));
}

TEST(CookieJarFile, SkipsDamagedLinesAndKeepsTheRest) {
    TempDir dir;
    const std::string file = dir.Str() + "/cookies";
    std::string text;
    text += std::string("\x00\xff\x01garbage", 10) + "\n";
    text += "h\r/\rgood1\rv\r0\n";
    text += "only\rthree\rfields\n";
    text += "\r/\rnodomain\rv\r0\n";
    text += "h\r/\r\rnoname\r0\n";
    text += "h\r/\rctl\rv\x01w\r0\n";
    text += "h\r/\rlong\r" + std::string(5000, 'x') + "\r0\n";
    text += "h\r/\rnul\rab" + std::string(1, '\0') + "cd\r0\n";
    text += "h\r/p\rgood2\rv\r1\r\n";   // CR LF line end
    text += "h\r/\rold\rv\n";           // no secure column
    text += "h\r/\rlast\rv";            // no line end at all
    WriteFileBytes(file, text);
    CCookieJar jar;
    ASSERT_TRUE(jar.LoadCookies(file));
    EXPECT_EQ(Names(jar), (std::vector<std::string>{"good1", "nul", "good2", "old", "last"}));
    EXPECT_EQ(jar.Cookies()[1].value, "ab");
    EXPECT_TRUE(jar.Cookies()[2].secure);
}

TEST(CookieJarFile, StopsReadingARunawayFile) {
    TempDir dir;
    const std::string file = dir.Str() + "/cookies";
    std::string text;
    for (int i = 0; i < 50000; ++i) {
        text += "d" + std::to_string(i) + ".example\r/\rn" + std::to_string(i) + "\rv\r0\n";
    }
    WriteFileBytes(file, text);
    CCookieJar jar;
    ASSERT_TRUE(jar.LoadCookies(file));
    const std::vector<std::string> names = Names(jar);
    ASSERT_EQ(names.size(), kCookieSlots);
    // Unused cookies give way from the front, so slot 0 holds the last line read.
    EXPECT_EQ(names[0], "n" + std::to_string(10 * kCookieSlots - 1));
    EXPECT_EQ(names[1], "n1");
}

} // namespace
} // namespace torvex
