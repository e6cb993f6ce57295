#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/CliArguments.h"
#include "cli/CliHelp.h"
#include "cli/CliOptions.h"
#include "cli/ProgressLine.h"
#include "cli/SettingChanges.h"
#include "project/CProjectSettings.h"
#include "project/SettingsKeys.h"

namespace torvex {
namespace {

CliArguments Parse(std::vector<const char*> words) {
    words.insert(words.begin(), "torvex-cli");
    return ParseCliArguments(static_cast<int>(words.size()), words.data());
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A project with two start addresses, after the options of `words` ("mirror" and the addresses
// are added); the error of the first refused setting, and the warnings.
struct Applied {
    CProjectSettings settings;
    std::string error;
    std::vector<std::string> warnings;
};

Applied Apply(std::vector<const char*> options) {
    std::vector<const char*> words = {"mirror", "http://a.example/docs/", "http://b.example/"};
    words.insert(words.end(), options.begin(), options.end());
    const CliArguments args = Parse(words);
    Applied applied;
    applied.error = args.error;
    for (const std::string& url : args.urls) {
        CStartAddress address = applied.settings.NewAddress();
        address.StartURL = url;
        applied.settings.Addresses.push_back(address);
    }
    for (const CliSetting& setting : args.settings) {
        if (!applied.error.empty()) {
            break;
        }
        applied.error = ApplyCliSetting(applied.settings, setting, applied.warnings);
    }
    return applied;
}

TEST(CliOptionsParse, LongShortAndJoinedFormsTakeTheirValues) {
    for (const std::vector<const char*>& words :
         std::vector<std::vector<const char*>>{{"--level=3"},
                                               {"--level", "3"},
                                               {"-l", "3"},
                                               {"-l3"}}) {
        SCOPED_TRACE(words.front());
        const Applied applied = Apply(words);
        EXPECT_EQ(applied.error, "");
        for (const CStartAddress& address : applied.settings.Addresses) {
            EXPECT_EQ(address.Level, 4);   // three links deep from the start page
        }
    }
    const CliArguments np = Parse({"mirror", "-np", "example.org/docs/", "site"});
    EXPECT_EQ(np.error, "");
    EXPECT_EQ(np.urls, (std::vector<std::string>{"http://example.org/docs/"}));
    EXPECT_EQ(np.projectDir, "site");
    ASSERT_EQ(np.settings.size(), 1u);
    EXPECT_EQ(np.settings[0].option->id, OptionId::NoParent);
}

TEST(CliOptionsParse, MirrorTellsTheFolderFromTheAddresses) {
    const struct {
        std::vector<const char*> words;
        const char* dir;
        std::size_t urls;
    } rows[] = {
        {{"mirror", "http://h/"}, "", 1},
        {{"mirror", "h.example/", "127.0.0.1:8080/x"}, "", 2},
        {{"mirror", "h.example/", "docs"}, "docs", 1},
        {{"mirror", "h.example/", "./h.example"}, "./h.example", 1},
        {{"mirror", "-P", "out", "h.example/", "localhost/"}, "out", 2},
        {{"mirror", "-i", "list.txt", "mine"}, "mine", 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.words.back());
        const CliArguments args = Parse(r.words);
        EXPECT_EQ(args.error, "");
        EXPECT_EQ(args.projectDir, r.dir);
        EXPECT_EQ(args.urls.size(), r.urls);
    }
}

TEST(CliOptionsParse, WrongUsageSaysWhatWasMeant) {
    const struct {
        std::vector<const char*> words;
        const char* message;
    } rows[] = {
        {{"mirror", "h.example/", "--levle=3"}, "unknown option --levle; did you mean --level?"},
        {{"mirror", "h.example/", "--level"}, "--level needs a value (N)"},
        {{"mirror", "h.example/", "--span-hosts=yes"}, "--span-hosts takes no value"},
        {{"start", "/p", "--level=3"}, "--level is an option of new and mirror only"},
        {{"new", "/p", "h.example/", "-P", "x"}, "--directory-prefix is an option of mirror only"},
        {{"mirror"}, "mirror needs a start address (or -i FILE)"},
        {{"mirorr", "h.example/"}, "did you mean \"mirror\"?"},
        {{"mirror", "h.example/", "-i", "a", "-i", "b"}, "--input-file may be given once"},
        {{"mirror", "h.example/", "-Z"}, "unknown option -Z"},
        {{"keys", "extra"}, "keys takes no arguments"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.message);
        EXPECT_TRUE(Contains(Parse(r.words).error, r.message)) << Parse(r.words).error;
    }
}

TEST(CliOptionsParse, AddressesWithoutASchemeGetHttp) {
    EXPECT_EQ(WithDefaultScheme("127.0.0.1:18555/"), "http://127.0.0.1:18555/");
    EXPECT_EQ(WithDefaultScheme("example.org/docs/"), "http://example.org/docs/");
    EXPECT_EQ(WithDefaultScheme("ftp://example.org/"), "ftp://example.org/");
    EXPECT_EQ(AddressesFromText("# list\n  a.example/ \r\n\nftp://b.example/x\n#c\n"),
              (std::vector<std::string>{"http://a.example/", "ftp://b.example/x"}));
    EXPECT_TRUE(AddressesFromText("").empty());
}

TEST(CliOptionsApply, EachOptionSetsItsKeys) {
    Applied a = Apply({"--no-parent", "--span-hosts", "--threads=4", "--tries=1", "--timeout=30",
                       "--max-files=7", "--max-minutes=2", "--user=ann", "--password=pw",
                       "--user-agent=Bot/1", "--no-cookies", "--absolute-links", "-E",
                       "--update=local", "--no-backup"});
    ASSERT_EQ(a.error, "");
    const CProjectSettings& s = a.settings;
    EXPECT_EQ(s.DownthreadNum, 4);
    EXPECT_EQ(s.Retry, 0);
    EXPECT_EQ(s.TimeOut, 30);
    EXPECT_EQ(s.MaxFile, 7);
    EXPECT_EQ(s.MaxMinute, 2);
    EXPECT_EQ(s.UserAgentMode, 4);
    EXPECT_EQ(s.UserDefined, "Bot/1");
    EXPECT_FALSE(s.Cookie);
    EXPECT_EQ(s.Link, 1);
    EXPECT_TRUE(s.AutoExt);
    EXPECT_EQ(s.UpdateMode, 0);
    EXPECT_EQ(s.BackupLast, 0);
    for (const CStartAddress& address : s.Addresses) {
        EXPECT_EQ(address.Filter.PathFilter, 1);
        EXPECT_EQ(address.Filter.HostFilter, 0);
        EXPECT_EQ(address.Username, "ann");
        EXPECT_EQ(address.Password, "pw");
    }

    a = Apply({"--domains=example.org,.test", "--exclude-domains=ads.example.org",
               "--include-directories=/docs,guide/", "-X", "/docs/old"});
    ASSERT_EQ(a.error, "");
    const CUrlFilter& filter = a.settings.Addresses.back().Filter;
    EXPECT_EQ(filter.HostFilter, 3);
    EXPECT_EQ(filter.FHost, "example.org;*.example.org;*.test");
    EXPECT_EQ(filter.EHost, "ads.example.org;*.ads.example.org");
    EXPECT_EQ(filter.PathFilter, 2);
    EXPECT_EQ(filter.FPath, "/docs/*;/guide/*");
    EXPECT_EQ(filter.EPath, "/docs/old/*");

    a = Apply({"--proxy=socks5://u:p@proxy.local", "--level=inf", "--tries=inf"});
    ASSERT_EQ(a.error, "");
    EXPECT_FALSE(a.settings.UseGlobeProxy);
    EXPECT_EQ(a.settings.Proxy, 2);
    EXPECT_EQ(a.settings.ProxyServer, "proxy.local");
    EXPECT_EQ(a.settings.ProxyPort, 1080);
    EXPECT_EQ(a.settings.ProxyUser, "u");
    EXPECT_EQ(a.settings.ProxyPassword, "p");
    EXPECT_EQ(a.settings.Addresses.front().Level, 0);
    EXPECT_EQ(a.settings.Retry, 99);
    ASSERT_EQ(a.warnings.size(), 1u);   // --tries=inf: at most 100 tries

    a = Apply({"--http-keep-alive"});
    ASSERT_EQ(a.error, "");
    EXPECT_TRUE(a.settings.KeepAlive);
    a = Apply({"--http-keep-alive", "--no-http-keep-alive"});   // the last one wins
    ASSERT_EQ(a.error, "");
    EXPECT_FALSE(a.settings.KeepAlive);
}

TEST(CliOptionsApply, AcceptAndRejectRewriteTheFileTypeLists) {
    Applied a = Apply({"--reject=zip,.ISO"});
    ASSERT_EQ(a.error, "");
    const CFileTypeFilter& rejected = a.settings.FileTypeFilter;
    EXPECT_FALSE(rejected.NoFileFilter);
    EXPECT_TRUE(Contains(rejected.FileFilter[2], "zip;0"));
    EXPECT_TRUE(Contains(rejected.FileFilter[2], "gz;1"));
    EXPECT_EQ(rejected.FileFilter[7], "iso;0");

    a = Apply({"-A", "pdf,png"});
    ASSERT_EQ(a.error, "");
    const CFileTypeFilter& accepted = a.settings.FileTypeFilter;
    EXPECT_TRUE(accepted.FilterOther);
    EXPECT_TRUE(Contains(accepted.FileFilter[0], "html;1"));   // pages still lead on
    EXPECT_TRUE(Contains(accepted.FileFilter[1], "png;1"));
    EXPECT_TRUE(Contains(accepted.FileFilter[1], "gif;0"));
    EXPECT_TRUE(Contains(accepted.FileFilter[3], "pdf;1"));
}

TEST(CliOptionsApply, BadValuesAreRefusedAndOutOfRangeOnesClampedWithAWarning) {
    const struct {
        std::vector<const char*> words;
        const char* error;     // empty: applied
        const char* warning;   // empty: none
    } rows[] = {
        {{"--level=abc"}, "--level=abc: --level takes a whole number from 0 to 98, or inf", ""},
        {{"--level=-2"}, "--level takes", ""},
        {{"--level=500"}, "",
         "--level=500: --level takes a whole number from 0 to 98, or inf; using 98"},
        {{"--threads=0"}, "",
         "--threads=0: DownthreadNum takes a whole number from 1 to 50; using 1"},
        {{"--timeout=1"}, "", "using 10"},
        {{"--threads=many"}, "--threads=many: DownthreadNum takes a whole number from 1 to 50", ""},
        {{"--tries=-1"}, "--tries takes", ""},
        {{"--cookies=maybe"}, "--cookies takes on or off", ""},
        {{"--update=sometimes"}, "--update takes server, local-first or local", ""},
        {{"--proxy=ftp://p:21"}, "--proxy takes HOST:PORT", ""},
        {{"--proxy=p:99999"}, "PORT from 1 to 65535", ""},
        {{"--proxy=:8080"}, "--proxy takes", ""},
        {{"--accept=,"}, "--accept takes extensions joined by commas", ""},
        {{"--reject=a;b"}, "not \"a;b\"", ""},
        {{"--domains=,,"}, "takes a comma-separated list of domains", ""},
        {{"Level=abc"}, "Level=abc: Level takes a whole number from 0 to 99", ""},
        {{"Level=500"}, "", "Level=500: Level takes a whole number from 0 to 99; using 99"},
        {{"HostFilter=abc"}, "HostFilter takes 0 (all hosts)", ""},
        {{"Link=yes"}, "Link takes 0", ""},
        {{"Levle=3"}, "unknown key \"Levle\"; did you mean \"Level\"?", ""},
        {{"Banana=3"}, "unknown key \"Banana\" (torvex-cli keys lists them)", ""},
        {{"Enable=0"}, "the key Enable has no meaning here", ""},
        {{"ProjectDir=/x"}, "the key ProjectDir is set by the program", ""},
        {{"TimeOut=1"}, "", "TimeOut=1: TimeOut takes a whole number from 10 to 1200; using 10"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.words.front());
        const Applied a = Apply(r.words);
        if (*r.error) {
            EXPECT_TRUE(Contains(a.error, r.error)) << a.error;
        } else {
            EXPECT_EQ(a.error, "");
        }
        if (*r.warning) {
            ASSERT_EQ(a.warnings.size(), 1u);
            EXPECT_TRUE(Contains(a.warnings[0], r.warning)) << a.warnings[0];
        } else {
            EXPECT_TRUE(a.warnings.empty());
        }
    }
}

// Every key a user may set, and every option, is in --help, in "torvex-cli keys" and in the
// manual page; they are made from the same tables, and this holds them to it.
TEST(CliDocumentation, ListsEveryOptionAndEveryKey) {
    const std::string help = CliUsageText();
    const std::string keys = KeysListingText(CProjectSettings(), "");
    const std::string man = ManPageText();
    for (const CSettingsKey& key : SettingsKeys()) {
        SCOPED_TRACE(std::string(key.name));
        EXPECT_TRUE(Contains(keys, "  " + std::string(key.name) + "="));
        EXPECT_TRUE(Contains(man, ".B " + std::string(key.name) + "="));
        if (key.Settable()) {
            EXPECT_TRUE(Contains(help, std::string(key.name)));
        }
    }
    for (const CCliOption& option : CliOptions()) {
        SCOPED_TRACE(std::string(option.longName));
        EXPECT_TRUE(Contains(help, "--" + std::string(option.longName)));
        std::string roff;
        for (const char c : option.longName) {
            roff += c == '-' ? std::string("\\-") : std::string(1, c);
        }
        EXPECT_TRUE(Contains(man, "\\-\\-" + roff));
    }
    for (const int status : {0, 1, 2, 3, 4, 5, 64}) {
        EXPECT_TRUE(Contains(help, "\n  " + std::to_string(status) + " "));
    }
    // A line of --help never passes 79 columns.
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i <= help.size(); ++i) {
        if (i == help.size() || help[i] == '\n') {
            EXPECT_LE(i - lineStart, 79u) << help.substr(lineStart, i - lineStart);
            lineStart = i + 1;
        }
    }
}

TEST(CliProgressLine, FitsTheWidthAndSaysTheRunGoesOn) {
    ProgressSample s;
    s.fetched = 514;
    s.queued = 646;
    s.failed = 2;
    s.bytes = 12 * 1024 * 1024;
    s.bytesPerSecond = 850 * 1024;
    s.filesPerSecond = 8.25;
    s.elapsedSeconds = 65;
    EXPECT_EQ(FormatProgressLine(s, 200),
              "Running 00:01:05 | 514 fetched (12.0 MB) | 646 queued | 2 failed | 8.2 files/s | "
              "850.0 KB/s");
    for (const int columns : {0, 1, 10, 20, 40, 60, 80}) {
        SCOPED_TRACE(columns);
        const std::string line = FormatProgressLine(s, columns);
        EXPECT_LT(line.size(), static_cast<std::size_t>(std::max(columns, 2)));
        EXPECT_EQ(line.find('\n'), std::string::npos);
    }
    EXPECT_EQ(FormatProgressLine(s, 41), "Running 00:01:05 | 514 fetched (12.0 MB)");
    s.stopping = true;
    EXPECT_EQ(FormatProgressLine(s, 30).rfind("Stopping", 0), 0u);
}

} // namespace
} // namespace torvex
