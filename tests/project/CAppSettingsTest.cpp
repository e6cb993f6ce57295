#include "project/CAppSettings.h"

#include <sstream>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace torvex {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

TEST(AppSettingsLoad, ClampsOutOfRangeValuesAndFillsTheDefaultDirectory) {
    TempDir dir;
    const std::string path = dir.Str() + "/Torvex.conf";
    WriteFileBytes(path,
                   "AutoTimeOut=90\nRedial=-3\nWaitBeforeRedial=0\nMaxRunningTask=20\n"
                   "EndNotify=7\nProxy=2\nProxyPort=0\nRecordListSort=x\n");
    CAppSettings settings;
    EXPECT_TRUE(settings.Load(path, "/work/MyWebsites"));
    EXPECT_EQ(settings.AutoTimeOut, 60);
    EXPECT_EQ(settings.Redial, 0);
    EXPECT_EQ(settings.WaitBeforeRedial, 1);
    EXPECT_EQ(settings.MaxRunningTask, 8);
    EXPECT_EQ(settings.EndNotify, 1);
    EXPECT_EQ(settings.ProxyPort, 1080);
    EXPECT_EQ(settings.RecordListSort, "0");
    EXPECT_EQ(settings.DefaultDir, "/work/MyWebsites");

    CAppSettings missing;
    EXPECT_FALSE(missing.Load(dir.Str() + "/none.conf", "/d"));
    EXPECT_EQ(missing.MaxRunningTask, 8);
    EXPECT_EQ(missing.DefaultDir, "/d");
}

TEST(AppSettingsSave, WritesThirtyLinesInOrderAndReadsThemBack) {
    TempDir dir;
    const std::string path = dir.Str() + "/Torvex.conf";
    CAppSettings settings;
    settings.DefaultDir = "/home/u/sites";
    settings.Proxy = 1;
    settings.ProxyServer = "proxy.local\nInjected=1";
    settings.ProxyPassword = "secret";
    settings.BandWidthControl = true;
    ASSERT_TRUE(settings.Save(path));
    const std::string text = ReadFileBytes(path);
    std::istringstream lines(text);
    std::vector<std::string> keys;
    for (std::string line; std::getline(lines, line);) {
        keys.push_back(line.substr(0, line.find('=')));
    }
    ASSERT_EQ(keys.size(), 30u);
    EXPECT_EQ(keys.front(), "Version");
    EXPECT_EQ(text.substr(0, 13), "Version=0.93\n");
    EXPECT_EQ(keys.back(), "StopDownloadMinute");
    EXPECT_EQ(text.find("BandWidthControl"), std::string::npos);
    EXPECT_EQ(text.find("secret"), std::string::npos);

    CAppSettings loaded;
    ASSERT_TRUE(loaded.Load(path, "/d"));
    EXPECT_EQ(loaded.ProxyServer, "proxy.local");
    EXPECT_EQ(loaded.ProxyPassword, "secret");
    EXPECT_EQ(loaded.DefaultDir, "/home/u/sites");
}

TEST(AppSettingsSave, TheShutdownActionIsWrittenLastAndOnlyWhenNotPowerOff) {
    TempDir dir;
    const std::string path = dir.Str() + "/Torvex.conf";
    CAppSettings settings;
    ASSERT_TRUE(settings.Save(path));
    EXPECT_EQ(ReadFileBytes(path).find("ShutdownAction"), std::string::npos);
    settings.ShutdownAction = 1;
    ASSERT_TRUE(settings.Save(path));
    const std::string text = ReadFileBytes(path);
    EXPECT_EQ(text.substr(text.size() - 17), "ShutdownAction=1\n");
    CAppSettings loaded;
    ASSERT_TRUE(loaded.Load(path, "/d"));
    EXPECT_EQ(loaded.ShutdownAction, 1);
    WriteFileBytes(path, "ShutdownAction=7\n");
    ASSERT_TRUE(loaded.Load(path, "/d"));
    EXPECT_EQ(loaded.ShutdownAction, 0);
}

TEST(ProxyPortInRange, OutsideItTheModesDefaultPort) {
    struct Case {
        int mode;
        int port;
        int expected;
    };
    const Case cases[] = {{0, 0, 8080},      {1, 65536, 8080}, {2, 0, 1080},   {2, -1, 1080},
                          {2, 65535, 65535}, {1, 1, 1},        {0, 3128, 3128}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.mode) + " " + std::to_string(c.port));
        EXPECT_EQ(ProxyPortInRange(c.mode, c.port), c.expected);
    }
}

TEST(AppSettingsSave, TlsCaFilesOnlyWhenSetAndAfterTheOtherKeys) {
    TempDir dir;
    const std::string path = dir.Str() + "/Torvex.conf";
    CAppSettings settings;
    ASSERT_TRUE(settings.Save(path));
    EXPECT_EQ(ReadFileBytes(path).find("TlsCaFiles"), std::string::npos);
    settings.TlsCaFiles = "/etc/a.pem;;/srv/b c.pem;";
    ASSERT_TRUE(settings.Save(path));
    const std::string text = ReadFileBytes(path);
    const std::string last = "\nTlsCaFiles=/etc/a.pem;;/srv/b c.pem;\n";
    ASSERT_GE(text.size(), last.size());
    EXPECT_EQ(text.substr(text.size() - last.size()), last);
    CAppSettings loaded;
    ASSERT_TRUE(loaded.Load(path, "/d"));
    EXPECT_EQ(SplitCaFiles(loaded.TlsCaFiles),
              (std::vector<std::string>{"/etc/a.pem", "/srv/b c.pem"}));
    EXPECT_TRUE(SplitCaFiles("").empty());
}

} // namespace
} // namespace torvex
