#include "url/CUrl.h"

#include <gtest/gtest.h>

#include <string>

namespace torvex {
namespace {

struct ParseCase {
    const char* text;
    int status;
    const char* scheme;
    const char* host;
    int port;
    const char* path;
};

TEST(CUrlParse, AbsoluteForms) {
    const ParseCase cases[] = {
        {"HTTP://H/", 0, "http", "h", -1, "/"},
        {"http://h", 0, "http", "h", -1, "/"},
        {"http://h:8080/x", 0, "http", "h", 8080, "/x"},
        {"http://h:/x", 0, "http", "h", -1, "/x"},
        {"ftp://Files.Example.ORG:2121/a/B.zip", 0, "ftp", "files.example.org", 2121, "/a/B.zip"},
        {"https://h/s", 0, "https", "h", -1, "/s"},
        {"http:\\\\h\\a\\b.html", 0, "http", "h", -1, "/a/b.html"},
        {"http://h//d///e?x=//y", 0, "http", "h", -1, "/d/e?x=//y"},
        {"http://h/../x", 0, "http", "h", -1, "/../x"},
        {"http://h/a/b/../c", 0, "http", "h", -1, "/a/c"},
        {"http://h/a/./b", 0, "http", "h", -1, "/a/b"},
        {"http://h/a&amp;b?c=1&AMP;d=2", 0, "http", "h", -1, "/a&b?c=1&d=2"},
        {"http://user@h/x", 0, "http", "user@h", -1, "/x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        CUrl url(c.text);
        EXPECT_EQ(url.Status(), c.status);
        EXPECT_EQ(url.Scheme(), c.scheme);
        EXPECT_EQ(url.Host(), c.host);
        EXPECT_EQ(url.Port(), c.port);
        EXPECT_EQ(url.Path(), c.path);
        EXPECT_EQ(url.UserName(), nullptr);
        EXPECT_EQ(url.Password(), nullptr);
    }
}

TEST(CUrlParse, EveryStatusCodeIsReached) {
    const CUrl base("http://h/d/i.html");
    const std::string host129(129, 'a');
    const std::string host128(128, 'a');
    const std::string text513 = "http://h/" + std::string(504, 'p');
    const std::string text512 = "http://h/" + std::string(503, 'p');
    struct Case {
        std::string text;
        const CUrl* base;
        int status;
    } cases[] = {
        {"", nullptr, 1},
        {"", &base, 1},
        {text513, nullptr, 2},
        {text512, nullptr, 0},
        {"//h/x", nullptr, 3},
        {"//h/x", &base, 3},
        {"mailto:a@b", &base, 3},
        {"NEWS:comp.lang", &base, 3},
        {"page.cgi?u=http://h2/", nullptr, 3},
        {"mailto:a@b", nullptr, 4},
        {"x.html", nullptr, 4},
        {"://h/", nullptr, 4},
        {"gopher://h/", nullptr, 5},
        {"file://h/", &base, 5},
        {"http:///x", nullptr, 6},
        {"http://:80/x", nullptr, 6},
        {"http://", nullptr, 6},
        {"http://" + host129 + "/", nullptr, 7},
        {"http://" + host129, nullptr, 7},
        {"http://" + host128 + "/", nullptr, 0},
        {"http://h:0/", nullptr, 9},
        {"http://h:70000/", nullptr, 9},
        {"http://h:65535/", nullptr, 0},
        {"http://h:65536/", nullptr, 9},
        {"http://h:8o/", nullptr, 9},
        {"http://u:pw@h/", nullptr, 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        CUrl url(c.text, c.base);
        EXPECT_EQ(url.Status(), c.status);
    }
    CUrl none;
    EXPECT_EQ(none.Parse(std::nullopt), 1);
}

TEST(CUrlParse, OtherSchemesAreNeverPaths) {
    const CUrl base("http://h/d/i.html");
    struct Case {
        const char* text;
        int status;
    } cases[] = {
        {"javascript:void(0)", 3}, {"JavaScript:go('x.html')", 3}, {"tel:+123", 3},
        {"data:text/html,-b", 3},  {"about:blank", 3},            {"vbscript:x", 3},
        {"sms:1", 3},              {"c++:x", 3},                  {"a.b-c:d", 3},
        {"x1:y", 3},               {"http:x.html", 0},            {"HTTPS:y", 0},
        {"1a:b", 0},               {"a_b:c", 0},                  {"q.php?u=a:b", 0},
        {"d/e:f", 0},              {":x", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(CUrl(c.text, &base).Status(), c.status);
        EXPECT_EQ(HasUnfetchedScheme(c.text), c.status == 3);
    }
}

TEST(CUrlParse, PathTooLongAfterJoiningReference) {
    const CUrl base("http://h/" + std::string(400, 'd') + "/i.html");
    ASSERT_EQ(base.Status(), 0);
    EXPECT_EQ(CUrl(std::string(110, 'x'), &base).Status(), 0); // exactly 512
    EXPECT_EQ(CUrl(std::string(111, 'x'), &base).Status(), 8);
}

TEST(CUrlParse, BadPortLeavesPortUnset) {
    CUrl url("http://h:99999/x");
    EXPECT_EQ(url.Status(), 9);
    EXPECT_EQ(url.Port(), -1);
    EXPECT_EQ(url.Host(), "h");
}

TEST(CUrlParse, EmbeddedNulEndsTheText) {
    const std::string text("http://h/a\0b", 12);
    CUrl url(text);
    EXPECT_EQ(url.Status(), 0);
    EXPECT_EQ(url.Path(), "/a");
}

TEST(CUrlResolve, RelativeReferencesAgainstBase) {
    const CUrl base("http://h/a/b/c.html");
    const struct {
        const char* reference;
        const char* composed;
    } cases[] = {
        {"../../../x", "http://h/x"},
        {"./y", "http://h/a/b/y"},
        {"..z", "http://h/a/b/..z"},
        {"/r", "http://h/r"},
        {"d.html", "http://h/a/b/d.html"},
        {"../d.html", "http://h/a/d.html"},
        {"./../.././e", "http://h/e"},
        {"sub/../f", "http://h/a/b/f"},
        {"?q=1", "http://h/a/b/?q=1"},
        {"x\\y.html", "http://h/a/b/x/y.html"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reference);
        CUrl url(c.reference, &base);
        EXPECT_EQ(url.Status(), 0);
        EXPECT_EQ(url.Compose(), c.composed);
    }
}

TEST(CUrlResolve, QueryBeforeSchemeMakesReferenceRelative) {
    const CUrl base("http://h/d/i.html");
    CUrl url("page.cgi?u=http://h2/", &base);
    EXPECT_EQ(url.Status(), 0);
    EXPECT_EQ(url.Compose(), "http://h/d/page.cgi?u=http://h2/");
    EXPECT_EQ(url.Port(), 80);
}

TEST(CUrlResolve, TakesEffectivePortOfBase) {
    const CUrl httpBase("http://h/");
    EXPECT_EQ(CUrl("x", &httpBase).Port(), 80);
    const CUrl ftpBase("ftp://h:2121/pub/");
    CUrl fromFtp("f.zip", &ftpBase);
    EXPECT_EQ(fromFtp.Port(), 2121);
    EXPECT_EQ(fromFtp.Compose(), "ftp://h:2121/pub/f.zip");
    const CUrl httpsBase("https://h/");
    const CUrl fromHttps("x", &httpsBase);
    EXPECT_EQ(fromHttps.Port(), 443);
    EXPECT_EQ(fromHttps.Compose(), "https://h/x");
}

TEST(CUrlCompose, PortShownOnlyWhenNotDefaultNumber) {
    const struct {
        const char* text;
        const char* composed;
    } cases[] = {
        {"http://h:8080/x", "http://h:8080/x"},
        {"http://h:80/x", "http://h/x"},
        {"ftp://h:21/x", "ftp://h/x"},
        {"http://h:21/x", "http://h/x"},
        {"ftp://h:80/x", "ftp://h/x"},
        {"HTTP://H/", "http://h/"},
        // https names every port but its own: https://h:80/ is another address than https://h/.
        {"https://h:443/x", "https://h/x"},
        {"https://h:80/x", "https://h:80/x"},
        {"https://h:21/x", "https://h:21/x"},
        {"https://h:8443/x", "https://h:8443/x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(CUrl(c.text).Compose(), c.composed);
    }
}

TEST(CUrlCopy, ACopyIsExactlyAsValidAsItsOriginal) {
    const CUrl http("http://h/");
    CUrl copy(http);
    EXPECT_EQ(copy.Status(), 0);
    EXPECT_EQ(copy.Port(), 80);
    EXPECT_EQ(copy.Compose(), "http://h/");

    // A copied https address once lost its validity and was fetched as FTP on port 65535.
    const CUrl https("https://h/p");
    CUrl httpsCopy(https);
    EXPECT_EQ(httpsCopy.Status(), 0);
    EXPECT_EQ(httpsCopy.Scheme(), "https");
    EXPECT_EQ(httpsCopy.Port(), 443);
    EXPECT_EQ(httpsCopy.Compose(), "https://h/p");

    const struct {
        const char* text;
        int status;
    } invalid[] = {{"", 1}, {"gopher://h/", 5}, {"http://h:0/", 9}, {"http:///x", 6}};
    for (const auto& c : invalid) {
        SCOPED_TRACE(c.text);
        const CUrl original(c.text);
        EXPECT_EQ(CUrl(original).Status(), c.status);
        CUrl assigned("http://valid/");
        assigned = original;
        EXPECT_EQ(assigned.Status(), c.status);
    }
    EXPECT_EQ(CUrl(CUrl()).Status(), 0);   // an empty record stays what it is

    CUrl assigned("ftp://other/");
    assigned = http;
    EXPECT_EQ(assigned.Status(), 0);
    EXPECT_EQ(assigned.Port(), 80);
    EXPECT_EQ(assigned.Host(), "h");
}

TEST(CUrlCopy, CredentialsTravelWithCopies) {
    CUrl url("ftp://h/");
    url.SetUserName("joe");
    url.SetPassword("");
    CUrl copy(url);
    ASSERT_NE(copy.UserName(), nullptr);
    EXPECT_EQ(*copy.UserName(), "joe");
    ASSERT_NE(copy.Password(), nullptr);
    EXPECT_EQ(*copy.Password(), "");

    copy.SetUserName("");
    EXPECT_EQ(copy.UserName(), nullptr);
    copy.SetPassword(std::nullopt);
    EXPECT_EQ(copy.Password(), nullptr);
    EXPECT_EQ(*url.UserName(), "joe");
}

TEST(CUrlSetters, RefusedValuesKeepFieldAndSetStatus) {
    CUrl url("http://h/p");
    EXPECT_FALSE(url.SetScheme("gopher"));
    EXPECT_EQ(url.Status(), 5);
    EXPECT_EQ(url.Scheme(), "http");
    EXPECT_TRUE(url.SetScheme("FTP"));
    EXPECT_EQ(url.Scheme(), "ftp");
    EXPECT_EQ(url.Status(), 5);

    CUrl host;
    EXPECT_TRUE(host.SetHost(std::string(128, 'h')));
    EXPECT_FALSE(host.SetHost(std::string(129, 'h')));
    EXPECT_EQ(host.Status(), 7);
    EXPECT_EQ(host.Host().size(), 128u);

    CUrl port;
    EXPECT_TRUE(port.SetPort(65535));
    EXPECT_FALSE(port.SetPort(0));
    EXPECT_EQ(port.Status(), 9);
    EXPECT_EQ(port.Port(), 65535);

    CUrl path;
    EXPECT_TRUE(path.SetPath("/" + std::string(511, 'p')));
    EXPECT_FALSE(path.SetPath("/" + std::string(512, 'p')));
    EXPECT_EQ(path.Status(), 8);
}

TEST(CUrlDomainTail, DropsFirstLabel) {
    EXPECT_EQ(CUrl("http://www.example.com/").DomainTail(), "example.com");
    EXPECT_EQ(CUrl("http://example.com/").DomainTail(), "com");
    EXPECT_EQ(CUrl("http://localhost/").DomainTail(), "localhost");
}

TEST(CUrlPathArithmetic, BaseDirectory) {
    const struct {
        const char* path;
        const char* base;
    } cases[] = {
        {"/~u", "/~u/"},
        {"/d/~u", "/d/~u/"},
        {"/d/f.html", "/d/"},
        {"/", "/"},
        {"/f.html", "/"},
        {"/cgi/x?a=/b/c", "/cgi/"},
        {"/a/b/", "/a/b/"},
        {"rel", "/"},
        {"~rel", "~rel/"},
        {"/d/x?q~=1", "/d/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(BaseDirectory(c.path, 512), c.base);
    }
    // A prefix that does not fit is replaced by the whole path cut to capacity minus one, plus "/".
    EXPECT_EQ(BaseDirectory("/abcdef/g", 5), "/abc/");
}

TEST(CUrlPathArithmetic, LastSegment) {
    const struct {
        const char* path;
        const char* segment;
    } cases[] = {
        {"/a/b.cgi?x=1/2", "b.cgi?x=1/2"},
        {"/a/", ""},
        {"/d/~u", ""},
        {"/f.html", "f.html"},
        {"plain", "plain"},
        {"/cgi/q.cgi?x=1&y=2", "q.cgi?x=1&y=2"},
        {"/a/b?c/d=e/f", "d=e/f"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(LastSegment(c.path, 260), c.segment);
    }
    EXPECT_EQ(LastSegment("/abcdef", 3), "abc");
}

TEST(CUrlPathArithmetic, ResolveRelativeClimbsNoHigherThanRoot) {
    std::string out;
    EXPECT_EQ(ResolveRelative(out, "../../../../x", "/a/"), 0);
    EXPECT_EQ(out, "/x");
    EXPECT_EQ(ResolveRelative(out, "../x", "/"), 0);
    EXPECT_EQ(out, "/x");
    EXPECT_EQ(ResolveRelative(out, std::string(512, 'x'), "/"), 8);
    EXPECT_EQ(ResolveRelative(out, std::string(511, 'x'), "/"), 0);
    EXPECT_EQ(ResolveRelative(out, "/" + std::string(512, 'x'), "/"), 8);
}

TEST(CUrlPathArithmetic, NormaliseInsideAndOutsideQuery) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"/a//b///c", "/a/b/c"},
        {"/a?b//c", "/a?b//c"},
        {"/a/./././b", "/a/b"},
        {"/q?x=/./y", "/q?x=/y"},
        {"/a/b/../../c", "/c"},
        {"/../../x", "/../../x"},
        {"/a/../../x", "/../x"},
        {"/x&Amp;y", "/x&y"},
        {"/a/b/../", "/a/"},
        {"/x&amp;amp;y", "/x&y"},
        // A "../" in the query that removes the "?" exposes a "//" that must collapse too, so
        // the result is stable when the composed text is parsed again.
        {"/(.?/../%..//m", "/%../m"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        std::string path = c.in;
        NormalisePath(path);
        EXPECT_EQ(path, c.out);
    }
}

TEST(CUrlDateMacro, ExpandsWithPattern) {
    const std::time_t when = 1781049600; // 2026-06-10 00:00:00 UTC, a Wednesday
    std::string out;
    EXPECT_EQ(ExpandDateMacro("http://h/$DATE/x", "yyyymmdd", out, when), 0);
    EXPECT_EQ(out, "http://h/20260610/x");
    EXPECT_EQ(ExpandDateMacro("$DATE-$DATE", "YY-M-D", out, when), 0);
    EXPECT_EQ(out, "26-6-10-26-6-10");
    EXPECT_EQ(ExpandDateMacro("$date", "yyyymmdd", out, when), 0);
    EXPECT_EQ(out, "$date");
    EXPECT_EQ(ExpandDateMacro("a$DATEb", "", out, when), 0);
    EXPECT_EQ(out, "a$DATEb");
    EXPECT_EQ(ExpandDateMacro("$DATE", "ddd dd MMMM 'y'", out, when), 0);
    EXPECT_EQ(out, "Wed 10 June y");

    const std::string fits = std::string(504, 'x') + "$DATE";
    EXPECT_EQ(ExpandDateMacro(fits, "yyyymmdd", out, when), 0);
    EXPECT_EQ(out.size(), 512u);
    EXPECT_EQ(ExpandDateMacro(fits + "z", "yyyymmdd", out, when), -1);
    EXPECT_EQ(out.size(), 512u);
    // A text without the macro is cut the same way, pattern or none.
    for (const char* pattern : {"yyyymmdd", ""}) {
        SCOPED_TRACE(pattern);
        out = "old";
        EXPECT_EQ(ExpandDateMacro(std::string(512, 'y'), pattern, out, when), 0);
        EXPECT_EQ(out, std::string(512, 'y'));
        EXPECT_EQ(ExpandDateMacro(std::string(513, 'y'), pattern, out, when), -1);
        EXPECT_EQ(out, std::string(512, 'y'));
    }
}

TEST(CUrlRelativeLocalPath, LinksBetweenLocalDirectories) {
    const struct {
        const char* target;
        const char* page;
        const char* link;
    } cases[] = {
        {"h/a/", "h/a/b/", "../"},
        {"h/a/c/", "h/a/", "c/"},
        {"h2/", "h1/a/", "../../h2/"},
        {"h/a/", "h/a/", ""},
        {"g/x/", "h/", "../g/x/"},
        {"h/ab/", "h/a/", "../ab/"},
        {"h/a/", "h/ab/", "../a/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.target) + " from " + c.page);
        EXPECT_EQ(RelativeLocalPath(c.target, c.page), c.link);
    }
}

} // namespace
} // namespace torvex
