#include <cstdint>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "base/CSettingsReader.h"
#include "project/CProjectSettings.h"
#include "project/PasswordScramble.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

// A realistic file to start from: every kind of line the writers produce, a few sections of
// another kind, comments and Windows line ends.
std::string BaseFile() {
    CProjectSettings s;
    s.Name = "Seed";
    s.UserDefined = "Agent";
    s.FileTypeFilter.FileFilter[1] = "gif;0|png;1";
    s.FileTypeFilter.FileFilter[7] = "iso;1";
    s.Proxy = 2;
    s.ProxyServer = "proxy";
    s.ProxyPassword = "proxy pw";
    for (int i = 0; i < 4; ++i) {
        CStartAddress a;
        a.StartURL = "http://h" + std::to_string(i) + ".example/$DATE/";
        a.Level = i * 40;
        a.Description = "address " + std::to_string(i);
        a.Child = i % 2;
        a.Inherit = i == 3 ? 0 : 1;
        a.Password = i == 1 ? "pw" : "";
        a.Filter = {true, 3, "*.example", "ads.example", 2, "/a/*", "*.cgi", 1};
        s.Addresses.push_back(a);
    }
    std::string out = "TorvexVersion=0.93\n# comment\n; another\nFolders=/\n";
    out += "Level=5\nHostFilter=1\n";
    s.WriteSettingsBody(out, SettingsBodyMode::TreeFile);
    out += "[Object]\nType=2\n[URL]\r\nStartURL=http://late.example/\r\n";
    return out;
}

void Mutate(std::string& text, std::mt19937& random) {
    auto pick = [&random](std::size_t n) {
        return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    auto byte = [&random] { return static_cast<char>(random() & 0xFF); };
    const std::size_t at = pick(text.size() + 1);
    switch (pick(10)) {
    case 0: // flip a byte
        if (!text.empty()) {
            text[pick(text.size())] = byte();
        }
        break;
    case 1: // a very long line
        text.insert(at, "\n" + std::string(pick(2) ? "FHost=" : "") +
                            std::string(5000, static_cast<char>('a' + pick(26))) + "\n");
        break;
    case 2: // NUL bytes
        text.insert(at, std::string(1 + pick(4), '\0'));
        break;
    case 3: // a header loses its "]"
        if (const auto close = text.find(']', at); close != std::string::npos) {
            text.erase(close, 1);
        }
        break;
    case 4: { // binary junk
        std::string junk(1 + pick(200), '\0');
        for (char& c : junk) {
            c = byte();
        }
        text.insert(at, junk);
        break;
    }
    case 5: { // a number far out of range
        static const char* const huge[] = {"99999999999999999999999", "-2147483649",
                                           "4294967296", "-99999999999999999999", "2147483647"};
        if (const auto eq = text.find('=', at); eq != std::string::npos) {
            const auto end = text.find('\n', eq);
            text.replace(eq + 1, (end == std::string::npos ? text.size() : end) - eq - 1,
                         huge[pick(5)]);
        }
        break;
    }
    case 6: // cut short
        text.resize(at);
        break;
    case 7: { // a chunk repeated
        const std::size_t length = pick(300);
        text.insert(pick(text.size() + 1), text.substr(at, length));
        break;
    }
    case 8: // stray section lines and line ends
        text.insert(at, pick(2) ? "\n[URL]\n" : "\r\r\n[]\n[ url ]\n");
        break;
    default: { // a stored password replaced by junk of a scrambled length
        if (const auto key = text.find("Password=", at); key != std::string::npos) {
            std::string junk(25 + 24 * pick(8), 'x');
            for (char& c : junk) {
                c = kScrambleAlphabet[pick(64)];
            }
            text.insert(key + 9, junk);
        }
        break;
    }
    }
}

void ExpectInRange(const CProjectSettings& s) {
    EXPECT_LE(s.Name.size(), kMaxProjectName);
    EXPECT_LE(s.ProjectDir.size(), kMaxProjectDir);
    EXPECT_TRUE(s.Level >= 0 && s.Level <= 99);
    EXPECT_TRUE(s.HostFilter >= 0 && s.HostFilter <= 3);
    EXPECT_TRUE(s.PathFilter >= 0 && s.PathFilter <= 2);
    EXPECT_TRUE(s.UpdateMode >= 0 && s.UpdateMode <= 2);
    EXPECT_TRUE(s.FirstPage == 0 || s.FirstPage == 1);
    EXPECT_TRUE(s.Link == 0 || s.Link == 1);
    EXPECT_TRUE(s.Proxy >= 0 && s.Proxy <= 2);
    EXPECT_TRUE(s.ProxyPort >= 1 && s.ProxyPort <= 65535);
    EXPECT_TRUE(s.DownthreadNum >= 1 && s.DownthreadNum <= 50);
    EXPECT_TRUE(s.TimeOut >= 10 && s.TimeOut <= 1200);
    EXPECT_TRUE(s.Retry >= 0 && s.Retry <= 99);
    EXPECT_TRUE(s.FreeSpaceLimit >= 1 && s.FreeSpaceLimit <= 999);
    EXPECT_TRUE(s.MaxMinute >= 0 && s.MaxMinute <= 9999);
    EXPECT_TRUE(s.MaxFile >= 0 && s.MaxFile <= 9999);
    EXPECT_TRUE(s.UserAgentMode >= 0 && s.UserAgentMode <= 4);
    EXPECT_LE(s.UserDefined.size(), kMaxUserDefined);
    for (const auto& list : s.FileTypeFilter.FileFilter) {
        EXPECT_LE(list.size(), kMaxFileFilterList);
    }
    EXPECT_LE(s.ProxyServer.size(), kMaxProxyServer);
    EXPECT_LE(s.ProxyUser.size(), kMaxProxyUser);
    EXPECT_LE(s.ProxyPassword.size(), kMaxPlainPassword);
    for (std::size_t i = 0; i < s.Addresses.size(); ++i) {
        const CStartAddress& a = s.Addresses[i];
        EXPECT_LE(a.StartURL.size(), kMaxStartUrl);
        EXPECT_TRUE(a.Level >= 0 && a.Level <= 99);
        EXPECT_LE(a.Description.size(), kMaxDescription);
        EXPECT_TRUE(a.RequestMethod == "GET" || a.RequestMethod == "POST");
        EXPECT_TRUE(i > 0 || a.Enable);
        EXPECT_LE(a.Username.size(), kMaxUsername);
        EXPECT_LE(a.Password.size(), kMaxPlainPassword);
        EXPECT_LE(a.DateFormat.size(), kMaxDateFormat);
        EXPECT_TRUE(i == 0 || a.Inherit == 0 || a.Inherit == 1);
        EXPECT_TRUE(a.Filter.HostFilter >= 0 && a.Filter.HostFilter <= 3);
        EXPECT_TRUE(a.Filter.PathFilter >= 0 && a.Filter.PathFilter <= 2);
        EXPECT_LE(a.Filter.FHost.size(), kMaxFilterList);
        EXPECT_LE(a.Filter.EPath.size(), kMaxFilterList);
    }
}

std::string Rewrite(const std::string& text) {
    CSettingsReader reader;
    reader.OpenText(text);
    CProjectSettings s;
    EXPECT_TRUE(s.LoadSettingsBody(reader, false));
    std::string out;
    s.WriteSettingsBody(out, SettingsBodyMode::TreeFile);
    return out;
}

TEST(SettingsBadInput, MutatedFilesLoadIntoRangeAndSettleWhenRewritten) {
    std::mt19937 random(20240917);
    const std::string base = BaseFile();
    test::TempDir dir;
    for (int round = 0; round < 700; ++round) {
        std::string text = base;
        const int mutations = 1 + static_cast<int>(random() % 4);
        for (int m = 0; m < mutations; ++m) {
            Mutate(text, random);
        }
        SCOPED_TRACE("round " + std::to_string(round));

        CSettingsReader reader;
        reader.OpenText(text);
        CProjectSettings body;
        ASSERT_TRUE(body.LoadSettingsBody(reader, false));
        ExpectInRange(body);

        if (round % 10 == 0) {
            test::WriteFileBytes(dir / "p.conf", text);
            CProjectSettings file;
            std::string folders;
            if (file.LoadProjectFile(dir / "p.conf", &folders)) {
                EXPECT_LE(folders.size(), kMaxFoldersText);
            }
            ExpectInRange(file);
            CProjectSettings defaults;
            EXPECT_TRUE(defaults.LoadDefaults(dir / "p.conf"));
            ExpectInRange(defaults);
        }

        // Whatever was read, our own output reads back to the same output.
        std::string once;
        body.WriteSettingsBody(once, SettingsBodyMode::TreeFile);
        const std::string twice = Rewrite(once);
        if (::testing::Test::HasFailure()) {
            break;
        }
        ASSERT_EQ(Rewrite(twice), twice);
    }
}

} // namespace
} // namespace torvex
