#include "project/CProjectSettings.h"

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <type_traits>

#include <gtest/gtest.h>

#include "base/CSettingsReader.h"
#include "project/PasswordScramble.h"
#include "project/WorkDir.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

CProjectSettings LoadBody(const std::string& text) {
    CProjectSettings settings;
    CSettingsReader reader;
    reader.OpenText(text);
    EXPECT_TRUE(settings.LoadSettingsBody(reader, false));
    return settings;
}

std::string BodyText(CProjectSettings& settings, SettingsBodyMode mode) {
    std::string out;
    settings.WriteSettingsBody(out, mode);
    return out;
}

// A project with every key away from its default.
CProjectSettings Everything() {
    CProjectSettings s;
    s.Name = "Every Key";
    s.ProjectDir = "/srv/sites/every";
    s.CreateTime = 1234567890;
    s.FileType = 3;
    s.UpdateMode = 1;
    s.FirstPage = 1;
    s.BackupLast = 0;
    s.Cookie = false;
    s.Link = 1;
    s.AutoConvert = false;
    s.AutoExt = true;
    s.DownthreadNum = 50;
    s.TimeOut = 1200;
    s.Retry = 0;
    s.FreeSpaceLimit = 999;
    s.MaxMinute = 9999;
    s.MaxFile = 17;
    s.UserAgentMode = 4;
    s.UserDefined = "Agent/1.0 (test)";
    s.FileTypeFilter.NoFileFilter = false;
    s.FileTypeFilter.FilterOther = true;
    s.FileTypeFilter.FilterNoExt = true;
    for (std::size_t i = 0; i < kFileFilterGroups; ++i) {
        s.FileTypeFilter.FileFilter[i] = "ext" + std::to_string(i) + ";0|x;1";
    }
    s.UseGlobeProxy = false;
    s.Proxy = 2;
    s.ProxyServer = "proxy.example";
    s.ProxyPort = 1081;
    s.ProxyUser = "puser";
    s.ProxyPassword = "p=ss word;#[x]";
    s.TimeDownload = true;

    CStartAddress first;
    first.StartURL = "http://a.example/news/$DATE/index.html";
    first.Level = 99;
    first.Description = "Front page";
    first.RequestMethod = "POST";
    first.Username = "anne";
    first.Password = "s3cret";
    first.DateFormat = "ddmmyyyy";
    first.Filter = {true, 3, "*.example;b.org", "ads.example", 2, "/news/*", "*.cgi*", 3};
    CStartAddress child;
    child.StartURL = "http://a.example/more/";
    child.Level = 1;
    child.Enable = false;
    child.Child = 1;
    child.DateFormat = "yymmdd";
    child.Inherit = 0;
    child.Filter = {false, 0, "", "x.example", 1, "", "/tmp/", 1};
    CStartAddress second;
    second.StartURL = "ftp://files.example/pub/";
    s.Addresses = {first, child, second};
    return s;
}

TEST(ProjectSettingsFormat, WritesTheBodyLineByLine) {
    CProjectSettings s;
    s.CreateTime = 1000;
    s.FileTypeFilter.FileFilter[3] = "pdf;0";
    s.FileTypeFilter.FileFilter[7] = "iso;1";
    CStartAddress a;
    a.StartURL = "http://a.example/$DATE/";
    a.Level = 3;
    a.Description = "Main";
    a.Filter.HostFilter = 1;
    a.Filter.EHost = "ads.*";
    CStartAddress b;
    b.StartURL = "http://a.example/docs/";
    b.Child = 1;
    b.Inherit = 0;
    b.Filter.PathFilter = 2;
    b.Filter.FPath = "/docs/*";
    s.Addresses = {a, b};

    const std::string common = "FileType=0\nUpdateMode=2\nFirstPage=0\nBackupLast=1\nCookie=1\n"
                               "Link=0\nAutoConvert=1\nAutoExt=0\nDownthreadNum=10\nTimeOut=120\n"
                               "Retry=3\nFreeSpaceLimit=2\nMaxMinute=0\nMaxFile=0\n"
                               "UserAgentMode=1\nUserDefined=\nNoFileFilter=1\nFilterOther=0\n"
                               "FilterNoExt=0\nFileFilter4=pdf;0\nFileFilter8=iso;1\n";
    const std::string proxy = "UseGlobeProxy=1\nProxy=0\nProxyServer=\nProxyPort=8080\n"
                              "ProxyUser=\nProxyPassword=\nTimeDownload=0\n";
    const std::string urls = "[URL]\nStartURL=http://a.example/$DATE/\nLevel=3\n"
                             "Description=Main\nHostFilter=1\nEHost=ads.*\n"
                             "[URL]\nStartURL=http://a.example/docs/\nLevel=0\nChild=1\n"
                             "Inherit=0\nPathFilter=2\nFPath=/docs/*\n";
    EXPECT_EQ(BodyText(s, SettingsBodyMode::TreeFile),
              "CreateTime=1000      \n" + common + proxy + urls);
    EXPECT_EQ(BodyText(s, SettingsBodyMode::ExportFile), common + urls);
    EXPECT_EQ(BodyText(s, SettingsBodyMode::ProjectFile), common + proxy + urls);

    test::TempDir dir;
    ASSERT_TRUE(s.WriteProjectFile(dir / "project.conf", "/Work/Sites"));
    EXPECT_EQ(test::ReadFileBytes(dir / "project.conf"),
              "TorvexVersion=0.93\nName=\nFolders=/Work/Sites\n" + common + proxy + urls);
    ASSERT_TRUE(s.WriteProjectFile(dir / "one.tvp", ""));
    EXPECT_EQ(test::ReadFileBytes(dir / "one.tvp"), "TorvexVersion=0.93\nName=\n" + common + urls);

    ASSERT_TRUE(s.SaveDefaults(dir / "default.conf"));
    EXPECT_EQ(test::ReadFileBytes(dir / "default.conf"),
              "TorvexVersion=0.93\nLevel=2\nFilterSameLevel=0\nHostFilter=2\nPathFilter=0\n"
              "ProtocolFilter=0\n" +
                  common);
}

TEST(ProjectSettingsRoundTrip, EveryKeyComesBack) {
    test::TempDir dir;
    CProjectSettings written = Everything();

    // project.conf: everything but the directory and time, which the file does not carry.
    ASSERT_TRUE(written.WriteProjectFile(dir / "project.conf", "/A/B"));
    CProjectSettings loaded;
    std::string folders;
    ASSERT_TRUE(loaded.LoadProjectFile(dir / "project.conf", &folders));
    EXPECT_EQ(folders, "/A/B");
    loaded.ProjectDir = written.ProjectDir;
    loaded.CreateTime = written.CreateTime;
    EXPECT_TRUE(loaded == written);
    EXPECT_EQ(loaded.Addresses, written.Addresses);
    EXPECT_EQ(loaded.ProxyPassword, "p=ss word;#[x]");
    EXPECT_EQ(loaded.Addresses[0].Password, "s3cret");

    // A tree file object: the body in mode 0 after the lines the tree writes itself.
    const std::string tree = "[Object]\nType=2\nLevel=1\nName=" + written.Name +
                             "\nProjectDir=" + written.ProjectDir + "\n" +
                             BodyText(written, SettingsBodyMode::TreeFile) + "[Object]\nType=1\n";
    CSettingsReader reader;
    reader.OpenText(tree);
    ASSERT_TRUE(reader.FindSection("Object"));
    CProjectSettings fromTree;
    ASSERT_TRUE(fromTree.LoadSettingsBody(reader, false));
    EXPECT_TRUE(fromTree == written);
    const auto next = reader.NextSection();
    ASSERT_TRUE(next);
    EXPECT_EQ(*next, "Object");
    int type = 0;
    ASSERT_TRUE(reader.FindSection("Object"));
    ASSERT_TRUE(reader.ReadInt("Type", type));
    EXPECT_EQ(type, 1);

    // An export file: no proxy and no timer flag.
    ASSERT_TRUE(written.WriteProjectFile(dir / "one.tvp", ""));
    CProjectSettings exported;
    ASSERT_TRUE(exported.LoadProjectFile(dir / "one.tvp", nullptr));
    EXPECT_EQ(exported.Addresses, written.Addresses);
    EXPECT_EQ(exported.Proxy, 0);
    EXPECT_EQ(exported.ProxyPassword, "");
    EXPECT_FALSE(exported.TimeDownload);
}

TEST(ProjectSettingsRoundTrip, DefaultsFileKeepsTheNewAddressDefaults) {
    test::TempDir dir;
    CProjectSettings written = Everything();
    written.Level = 7;
    written.FilterSameLevel = true;
    written.HostFilter = 0;
    written.PathFilter = 1;
    written.ProtocolFilter = 2;
    ASSERT_TRUE(written.SaveDefaults(dir / "default.conf"));

    CProjectSettings loaded;
    ASSERT_TRUE(loaded.LoadDefaults(dir / "default.conf"));
    const CStartAddress fresh = loaded.NewAddress();
    EXPECT_EQ(fresh.Level, 7);
    EXPECT_EQ(fresh.Filter, (CUrlFilter{true, 0, "", "", 1, "", "", 2}));
    EXPECT_EQ(loaded.FileTypeFilter, written.FileTypeFilter);
    EXPECT_EQ(loaded.UserDefined, written.UserDefined);
    EXPECT_EQ(loaded.MaxFile, 17);
    EXPECT_TRUE(loaded.Addresses.empty());
    EXPECT_TRUE(loaded.UseGlobeProxy) << "the defaults file has no proxy keys";
}

TEST(ProjectSettingsRoundTrip, AFileReadAndWrittenAgainIsByteIdentical) {
    test::TempDir dir;
    CProjectSettings original = Everything();
    ASSERT_TRUE(original.WriteProjectFile(dir / "first.conf", "/"));

    CProjectSettings loaded;
    ASSERT_TRUE(loaded.LoadProjectFile(dir / "first.conf", nullptr));
    ASSERT_TRUE(loaded.WriteProjectFile(dir / "second.conf", "/"));
    EXPECT_EQ(test::ReadFileBytes(dir / "second.conf"), test::ReadFileBytes(dir / "first.conf"));

    // Saving the same object twice also keeps the scrambled passwords.
    const std::string once = BodyText(loaded, SettingsBodyMode::TreeFile);
    EXPECT_EQ(BodyText(loaded, SettingsBodyMode::TreeFile), once);

    // A changed password is scrambled anew.
    loaded.Addresses[0].Password = "other";
    const std::string changed = BodyText(loaded, SettingsBodyMode::TreeFile);
    EXPECT_NE(changed, once);
    EXPECT_EQ(LoadBody(changed).Addresses[0].Password, "other");
}

TEST(ProjectSettingsRoundTrip, PlainStoredPasswordsAreScrambledAtTheNextSave) {
    CProjectSettings s = LoadBody("ProxyPassword=plain pw\n[URL]\nStartURL=http://h/\n"
                                  "Password=open sesame\n");
    EXPECT_EQ(s.ProxyPassword, "plain pw");
    EXPECT_EQ(s.Addresses[0].Password, "open sesame");

    const std::string body = BodyText(s, SettingsBodyMode::ProjectFile);
    EXPECT_EQ(body.find("plain pw"), std::string::npos);
    EXPECT_EQ(body.find("open sesame"), std::string::npos);
    CSettingsReader reader;
    reader.OpenText(body);
    std::string stored;
    ASSERT_TRUE(reader.ReadText("ProxyPassword", stored, 192));
    EXPECT_EQ(stored.size(), 25u);
    const CProjectSettings again = LoadBody(body);
    EXPECT_EQ(again.ProxyPassword, "plain pw");
    EXPECT_EQ(again.Addresses[0].Password, "open sesame");
}

TEST(ProjectSettingsRoundTrip, PasswordsOfEveryByteAndLengthSurvive) {
    std::string all;
    for (int b = 1; b <= 255; ++b) {
        if (b != '\n') {   // a password typed into a one-line field never holds a line break
            all.push_back(static_cast<char>(b));
        }
    }
    for (std::size_t start = 0; start < all.size(); start += 32) {
        CProjectSettings s;
        s.ProxyPassword = all.substr(start, 64);
        CStartAddress a;
        a.Password = all.substr(all.size() - start - 1, 64);
        s.Addresses = {a};
        const std::string body = BodyText(s, SettingsBodyMode::TreeFile);
        const CProjectSettings back = LoadBody(body);
        EXPECT_EQ(back.ProxyPassword, s.ProxyPassword) << start;
        EXPECT_EQ(back.Addresses[0].Password, s.Addresses[0].Password) << start;
    }
}

struct QuirkCase {
    const char* what;
    std::string text;
    std::function<void(const CProjectSettings&)> check;
};

TEST(ProjectSettingsLoad, KeepsTheQuirksOfTheFormat) {
    const QuirkCase cases[] = {
        {"Enable 0 counts only from the second address",
         "[URL]\nStartURL=a\nEnable=0\n[URL]\nStartURL=b\nEnable=0\n",
         [](const CProjectSettings& s) {
             ASSERT_EQ(s.Addresses.size(), 2u);
             EXPECT_TRUE(s.Addresses[0].Enable);
             EXPECT_FALSE(s.Addresses[1].Enable);
         }},
        {"a child without DateFormat takes its parent's",
         "[URL]\nStartURL=a\nDateFormat=ddmmyy\n[URL]\nStartURL=b\nChild=1\n"
         "[URL]\nStartURL=c\n[URL]\nStartURL=d\nChild=1\n",
         [](const CProjectSettings& s) {
             ASSERT_EQ(s.Addresses.size(), 4u);
             EXPECT_EQ(s.Addresses[1].DateFormat, "ddmmyy");
             EXPECT_EQ(s.Addresses[3].DateFormat, "yyyymmdd");
         }},
        {"RequestMethod must be GET or POST exactly",
         "[URL]\nRequestMethod=post\n[URL]\nRequestMethod=POST\n[URL]\nRequestMethod=PUT\n",
         [](const CProjectSettings& s) {
             EXPECT_EQ(s.Addresses[0].RequestMethod, "GET");
             EXPECT_EQ(s.Addresses[1].RequestMethod, "POST");
             EXPECT_EQ(s.Addresses[2].RequestMethod, "GET");
         }},
        {"ProxyPort 0 with SOCKS5", "Proxy=2\nProxyPort=0\n",
         [](const CProjectSettings& s) { EXPECT_EQ(s.ProxyPort, 1080); }},
        {"ProxyPort 0 with HTTP", "Proxy=1\nProxyPort=0\n",
         [](const CProjectSettings& s) { EXPECT_EQ(s.ProxyPort, 8080); }},
        {"ProxyPort above 65535 with an unknown proxy mode", "Proxy=9\nProxyPort=70000\n",
         [](const CProjectSettings& s) {
             EXPECT_EQ(s.Proxy, 0);
             EXPECT_EQ(s.ProxyPort, 8080);
         }},
        {"a key written twice gives the second value", "DownthreadNum=5\nDownthreadNum=7\n",
         [](const CProjectSettings& s) { EXPECT_EQ(s.DownthreadNum, 7); }},
        {"a blank before = does not match", "Retry =9\n",
         [](const CProjectSettings& s) { EXPECT_EQ(s.Retry, 3); }},
        {"a key only in a later section is not found", "[URL]\nStartURL=a\nTimeOut=300\n",
         [](const CProjectSettings& s) {
             EXPECT_EQ(s.TimeOut, 120);
             EXPECT_EQ(s.Addresses.size(), 1u);
         }},
        {"another section ends the body", "[URL]\nStartURL=a\n[Object]\n[URL]\nStartURL=b\n",
         [](const CProjectSettings& s) { EXPECT_EQ(s.Addresses.size(), 1u); }},
        {"Inherit is clamped for all but the first address",
         "[URL]\nChild=1\nInherit=5\n[URL]\nChild=1\nInherit=5\n",
         [](const CProjectSettings& s) {
             EXPECT_EQ(s.Addresses[0].Inherit, 5);
             EXPECT_EQ(s.Addresses[1].Inherit, 1);
         }},
        {"texts are cut to their capacity",
         "Name=" + std::string(100, 'n') + "\n[URL]\nStartURL=" + std::string(600, 'u') +
             "\nFHost=" + std::string(1200, 'h') + "\n",
         [](const CProjectSettings& s) {
             EXPECT_EQ(s.Name.size(), 64u);
             EXPECT_EQ(s.Addresses[0].StartURL.size(), 512u);
             EXPECT_EQ(s.Addresses[0].Filter.FHost.size(), 995u) << "the line limit";
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.check(LoadBody(c.text));
    }
}

TEST(ProjectSettingsValidate, ClampsEveryNumber) {
    const struct {
        const char* key;
        const char* value;
        int CProjectSettings::*field;
        int expected;
    } cases[] = {
        {"FreeSpaceLimit", "0", &CProjectSettings::FreeSpaceLimit, 2},
        {"FreeSpaceLimit", "5000", &CProjectSettings::FreeSpaceLimit, 999},
        {"FreeSpaceLimit", "1", &CProjectSettings::FreeSpaceLimit, 1},
        {"TimeOut", "5", &CProjectSettings::TimeOut, 10},
        {"TimeOut", "1201", &CProjectSettings::TimeOut, 1200},
        {"DownthreadNum", "0", &CProjectSettings::DownthreadNum, 1},
        {"DownthreadNum", "51", &CProjectSettings::DownthreadNum, 50},
        {"Retry", "-1", &CProjectSettings::Retry, 0},
        {"Retry", "100", &CProjectSettings::Retry, 99},
        {"MaxMinute", "10000", &CProjectSettings::MaxMinute, 9999},
        {"MaxFile", "-3", &CProjectSettings::MaxFile, 0},
        {"UpdateMode", "3", &CProjectSettings::UpdateMode, 2},
        {"FirstPage", "2", &CProjectSettings::FirstPage, 0},
        {"Link", "-1", &CProjectSettings::Link, 0},
        {"UserAgentMode", "5", &CProjectSettings::UserAgentMode, 1},
        {"UserAgentMode", "4", &CProjectSettings::UserAgentMode, 4},
        {"FileType", "12345", &CProjectSettings::FileType, 12345},   // left as read
        {"BackupLast", "7", &CProjectSettings::BackupLast, 7},       // left as read
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.value);
        EXPECT_EQ(LoadBody(std::string(c.key) + "=" + c.value + "\n").*c.field, c.expected);
    }

    const CProjectSettings s = LoadBody("[URL]\nLevel=150\nHostFilter=4\nPathFilter=3\n"
                                        "[URL]\nLevel=-2\nHostFilter=-1\nPathFilter=2\n");
    EXPECT_EQ(s.Addresses[0].Level, 99);
    EXPECT_EQ(s.Addresses[0].Filter.HostFilter, 2);
    EXPECT_EQ(s.Addresses[0].Filter.PathFilter, 0);
    EXPECT_EQ(s.Addresses[1].Level, 0);
    EXPECT_EQ(s.Addresses[1].Filter.HostFilter, 2);
    EXPECT_EQ(s.Addresses[1].Filter.PathFilter, 2);

    test::TempDir dir;
    test::WriteFileBytes(dir / "default.conf", "Level=150\nHostFilter=7\nPathFilter=-1\n");
    CProjectSettings defaults;
    ASSERT_TRUE(defaults.LoadDefaults(dir / "default.conf"));
    EXPECT_EQ(defaults.Level, 99);
    EXPECT_EQ(defaults.HostFilter, 2);
    EXPECT_EQ(defaults.PathFilter, 0);
}

TEST(ProjectSettingsWrite, LeavesOutWhatEqualsItsDefault) {
    CProjectSettings s;
    s.FileTypeFilter.FileFilter[0] = "htm;0";
    s.FileTypeFilter.FileFilter[0] = std::string(kFileFilterDefaults[0]);   // edited back
    s.FileTypeFilter.FileFilter[6] = "";
    CStartAddress parent;
    parent.DateFormat = "ddmmyy";
    CStartAddress child;
    child.Child = 1;
    child.DateFormat = "ddmmyy";
    s.Addresses = {parent, child};
    const std::string body = BodyText(s, SettingsBodyMode::ExportFile);
    EXPECT_EQ(body.find("FileFilter1"), std::string::npos);
    EXPECT_NE(body.find("FileFilter7=\n"), std::string::npos) << "an emptied list is a change";
    EXPECT_EQ(body.find("FileFilter8"), std::string::npos);
    EXPECT_EQ(body.find("DateFormat"), body.rfind("DateFormat"))
        << "the child's pattern equals its parent's and is not written";

    const CProjectSettings back = LoadBody(body);
    EXPECT_EQ(back.FileTypeFilter.FileFilter[6], "");
    EXPECT_EQ(back.Addresses[1].DateFormat, "ddmmyy");
}

TEST(ProjectSettingsWrite, TlsVerifyOnlyWhenOffAndAfterEveryOtherProjectKey) {
    CProjectSettings s;
    s.Addresses = {CStartAddress{}};
    for (const auto mode : {SettingsBodyMode::TreeFile, SettingsBodyMode::ExportFile}) {
        SCOPED_TRACE(static_cast<int>(mode));
        s.TlsVerify = true;
        EXPECT_EQ(BodyText(s, mode).find("TlsVerify"), std::string::npos);
        s.TlsVerify = false;
        const std::string body = BodyText(s, mode);
        const auto at = body.find("TlsVerify=0\n");
        ASSERT_NE(at, std::string::npos) << body;
        // The last key before the start addresses.
        EXPECT_EQ(body.find("[URL]"), at + 12) << body;
        EXPECT_FALSE(LoadBody(body).TlsVerify);
    }
    test::TempDir dir;
    ASSERT_TRUE(s.SaveDefaults(dir.Str() + "/default.conf"));
    const std::string defaults = test::ReadFileBytes(dir.Str() + "/default.conf");
    EXPECT_EQ(defaults.substr(defaults.size() - 12), "TlsVerify=0\n");
    CProjectSettings loaded;
    ASSERT_TRUE(loaded.LoadDefaults(dir.Str() + "/default.conf"));
    EXPECT_FALSE(loaded.TlsVerify);
}

TEST(ProjectSettingsWrite, KeepAliveOnlyWhenOnAndAfterTlsVerify) {
    CProjectSettings s;
    s.Addresses = {CStartAddress{}};
    EXPECT_EQ(BodyText(s, SettingsBodyMode::TreeFile).find("KeepAlive"), std::string::npos);
    s.KeepAlive = true;
    s.TlsVerify = false;
    const std::string body = BodyText(s, SettingsBodyMode::TreeFile);
    const auto tls = body.find("TlsVerify=0\n");
    ASSERT_NE(tls, std::string::npos) << body;
    EXPECT_EQ(body.find("KeepAlive=1\n"), tls + 12) << body;
    const CProjectSettings back = LoadBody(body);
    EXPECT_TRUE(back.KeepAlive);
    EXPECT_FALSE(back.TlsVerify);
    // Anything but 0 or 1 is not a flag: the default stays.
    EXPECT_FALSE(LoadBody("[Option]\nKeepAlive=2\n").KeepAlive);
}

TEST(ProjectSettingsWrite, AChildThatComesFirstKeepsItsDateFormat) {
    CProjectSettings s;
    CStartAddress first;
    first.Child = 1;
    first.DateFormat = "mmddyy";
    CStartAddress second;
    second.Child = 1;
    second.DateFormat = "mmddyy";
    s.Addresses = {first, second};
    const CProjectSettings back = LoadBody(BodyText(s, SettingsBodyMode::TreeFile));
    EXPECT_EQ(back.Addresses[0].DateFormat, "mmddyy");
    EXPECT_EQ(back.Addresses[1].DateFormat, "mmddyy");
}

TEST(ProjectSettingsWrite, AValueNeverBreaksItsLine) {
    CProjectSettings s;
    s.Name = "Two\nProxy=2";
    s.UserDefined = std::string("A\0B", 3);
    test::TempDir dir;
    ASSERT_TRUE(s.WriteProjectFile(dir / "p.conf", "/"));
    CProjectSettings back;
    ASSERT_TRUE(back.LoadProjectFile(dir / "p.conf", nullptr));
    EXPECT_EQ(back.Name, "Two");
    EXPECT_EQ(back.Proxy, 0);
    EXPECT_EQ(back.UserDefined, "A");
}

TEST(ProjectSettingsFiles, RefusesFilesWithoutVersionAndMissingFiles) {
    test::TempDir dir;
    CProjectSettings s;
    EXPECT_FALSE(s.LoadProjectFile(dir / "missing.conf", nullptr));
    test::WriteFileBytes(dir / "nover.conf", "Name=x\n[URL]\nStartURL=http://h/\n");
    EXPECT_FALSE(s.LoadProjectFile(dir / "nover.conf", nullptr));
    EXPECT_FALSE(s.LoadDefaults(dir / "missing.conf"));
    EXPECT_TRUE(s == CProjectSettings()) << "failed loads leave the defaults";

    test::WriteFileBytes(dir / "win.conf", "TorvexVersion=0.1\r\nName=Win\r\nTimeOut=60\r\n"
                                           "[URL]\r\nStartURL=http://h/\r\n");
    std::string folders = "stale";
    ASSERT_TRUE(s.LoadProjectFile(dir / "win.conf", &folders));
    EXPECT_EQ(folders, "");
    EXPECT_EQ(s.Name, "Win");
    EXPECT_EQ(s.TimeOut, 60);
    ASSERT_EQ(s.Addresses.size(), 1u);
    EXPECT_EQ(s.Addresses[0].StartURL, "http://h/");

    EXPECT_FALSE(s.WriteProjectFile(dir / "no/such/dir/p.conf", "/"));
    EXPECT_FALSE(s.SaveDefaults(dir / "no/such/dir/default.conf"));
}

TEST(ProjectSettingsCopyForRun, TakesEnabledAddressesWithTheirFilters) {
    CProjectSettings project;
    project.Name = "Run";
    project.ProxyPassword = "pw";
    CStartAddress a;
    a.StartURL = "http://a.example/$DATE/";
    a.DateFormat = "yyyy-mm-dd";
    a.Filter.HostFilter = 0;
    a.Filter.EPath = "*.cgi*";
    CStartAddress off;
    off.StartURL = "http://off.example/";
    off.Child = 1;
    off.Enable = false;
    CStartAddress inheriting;
    inheriting.StartURL = "http://a.example/$DATE/x";
    inheriting.Child = 1;
    inheriting.Filter.HostFilter = 3;
    CStartAddress own;
    own.StartURL = "http://b.example/";
    own.Child = 1;
    own.Inherit = 0;
    own.Filter.PathFilter = 1;
    own.Password = "child pw";
    CStartAddress disabledParent;
    disabledParent.Enable = false;
    disabledParent.Filter.ProtocolFilter = 2;
    CStartAddress orphan;
    orphan.Child = 1;
    project.Addresses = {a, off, inheriting, own, disabledParent, orphan};
    const CProjectSettings before = project;

    CProjectSettings run;
    run.CopyForRun(project, 86400 * 365);   // 1971-01-01 UTC
    ASSERT_EQ(run.Addresses.size(), 4u);
    EXPECT_EQ(run.Addresses[0].StartURL, "http://a.example/1971-01-01/");
    EXPECT_EQ(run.Addresses[1].StartURL, "http://a.example/19710101/x");
    EXPECT_EQ(run.Addresses[1].Filter, a.Filter) << "a child with Inherit 1 takes its parent's";
    EXPECT_EQ(run.Addresses[2].Filter, own.Filter);
    EXPECT_EQ(run.Addresses[2].Password, "child pw");
    EXPECT_EQ(run.Addresses[3].Filter, disabledParent.Filter);
    for (const auto& address : run.Addresses) {
        EXPECT_TRUE(address.Enable);
        EXPECT_EQ(address.Inherit, 0);
    }
    EXPECT_EQ(run.Name, "Run");
    EXPECT_EQ(run.ProxyPassword, "pw");

    // The run's copy is its own: changing it leaves the project untouched.
    run.Addresses[0].Filter.EHost = "changed";
    run.Name = "changed";
    EXPECT_TRUE(project == before);

    // Copying from itself works too.
    project.CopyForRun(project, 0);
    EXPECT_EQ(project.Addresses.size(), 4u);
}

TEST(ProjectSettingsValue, IsAPlainCopyableValue) {
    static_assert(std::is_copy_constructible_v<CProjectSettings>);
    static_assert(std::is_copy_assignable_v<CProjectSettings>);
    CProjectSettings a = Everything();
    CProjectSettings b = a;
    b.Addresses[0].Filter.FPath = "/other/";
    b.FileTypeFilter.FileFilter[0] = "x;1";
    EXPECT_EQ(a.Addresses[0].Filter.FPath, "/news/*");
    EXPECT_EQ(a.FileTypeFilter.FileFilter[0], "ext0;0|x;1");
}

class DefaultSettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("TORVEX_HOME");
        m_old = old ? std::optional<std::string>(old) : std::nullopt;
        ::setenv("TORVEX_HOME", (m_dir.Str() + "/").c_str(), 1);
    }
    void TearDown() override {
        if (m_old) {
            ::setenv("TORVEX_HOME", m_old->c_str(), 1);
        } else {
            ::unsetenv("TORVEX_HOME");
        }
    }
    test::TempDir m_dir;
    std::optional<std::string> m_old;
};

TEST_F(DefaultSettingsFile, LivesInTheConfigFolderOfTheWorkingDirectory) {
    EXPECT_EQ(WorkingDirectory(), m_dir.Str());
    EXPECT_EQ(DefaultSettingsPath(), m_dir / "Config/default.conf");

    CProjectSettings settings;
    settings.TimeOut = 77;
    EXPECT_FALSE(LoadDefaultSettings(settings)) << "a missing defaults file";
    EXPECT_EQ(settings.TimeOut, 77);

    ASSERT_TRUE(SaveDefaultSettings(settings));
    EXPECT_TRUE(std::filesystem::is_directory(m_dir / "Config"));
    CProjectSettings loaded;
    ASSERT_TRUE(LoadDefaultSettings(loaded));
    EXPECT_EQ(loaded.TimeOut, 77);

    EXPECT_EQ(DefaultsWriteErrorText("/x/default.conf"),
              "Error: Failed to write default settings to file:\n\"/x/default.conf\"!");
}

TEST(ShippedDefaults, DifferFromTheBuiltInOnesOnlyInKeepingAbsoluteLinks) {
    const std::string shipped = std::string(TORVEX_SOURCE_DIR) + "/Config/default.conf";
    CProjectSettings loaded;
    ASSERT_TRUE(loaded.LoadDefaults(shipped));
    EXPECT_EQ(loaded.Link, 1);
    CProjectSettings expected;
    EXPECT_EQ(expected.Link, 0);   // the built-in defaults stay as they are
    expected.Link = 1;
    // Written as the program writes a defaults file, so "Save as default" reproduces it.
    test::TempDir dir;
    ASSERT_TRUE(expected.SaveDefaults(dir / "default.conf"));
    EXPECT_EQ(test::ReadFileBytes(dir / "default.conf"), test::ReadFileBytes(shipped));
    ASSERT_TRUE(loaded.SaveDefaults(dir / "again.conf"));
    EXPECT_EQ(test::ReadFileBytes(dir / "again.conf"), test::ReadFileBytes(shipped));
}

TEST(WorkingDirectoryFallback, IsTheProgramFolderWithoutTorvexHome) {
    const char* old = std::getenv("TORVEX_HOME");
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    ::unsetenv("TORVEX_HOME");
    const std::string dir = WorkingDirectory();
    if (saved) {
        ::setenv("TORVEX_HOME", saved->c_str(), 1);
    }
    EXPECT_FALSE(dir.empty());
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(dir) / "project_tests"));
}

} // namespace
} // namespace torvex
