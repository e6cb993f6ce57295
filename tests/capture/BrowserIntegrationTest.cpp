#include "capture/BrowserIntegration.h"

#include <filesystem>
#include <optional>
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "capture/HandOver.h"
#include "capture/JsonText.h"
#include "platform/Registry.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

const std::string kEnglishKey = std::string(kMenuExtKeyPath) + "\\Download by Torvex";
const std::string kChineseKey = std::string(kMenuExtKeyPath) + "\\使用Torvex下载";

std::vector<std::string> Strings(const JsonValue* array) {
    std::vector<std::string> texts;
    if (array != nullptr) {
        for (const JsonValue& item : array->items) {
            texts.push_back(item.IsString() ? item.text : "<not a string>");
        }
    }
    return texts;
}

class UserBrowserIntegration : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(m_app); }

    UserFolders Folders() const { return {m_dir / "home", m_dir / "config", m_dir / "data"}; }

    CUserBrowserIntegration Integration(std::string workDir, std::string host = PELLIX_HOST_PATH) {
        return CUserBrowserIntegration(m_registry, Folders(), std::move(workDir), std::move(host));
    }

    std::vector<std::string> ManifestPaths() const {
        return {m_dir / "config/chromium/NativeMessagingHosts/torvex.pellix.json",
                m_dir / "config/google-chrome/NativeMessagingHosts/torvex.pellix.json",
                m_dir / "home/.mozilla/native-messaging-hosts/torvex.pellix.json"};
    }

    std::optional<std::string> Value(std::string_view key, std::string_view name) const {
        std::string value;
        return m_registry.ReadString(key, name, value) ? std::optional(value) : std::nullopt;
    }

    void ExpectNothingInstalled() {
        for (const std::string& path : ManifestPaths()) {
            EXPECT_FALSE(fs::exists(path)) << path;
        }
        EXPECT_FALSE(m_registry.KeyExists(kEnglishKey));
        EXPECT_FALSE(m_registry.KeyExists(kChineseKey));
    }

    TempDir m_dir;
    std::string m_app = m_dir / "app";
    CFileRegistry m_registry{m_dir / "registry"};
};

TEST_F(UserBrowserIntegration, InstallsWhatEachBrowserNeedsAndRemovesIt) {
    CUserBrowserIntegration integration = Integration(m_app + "/");
    EXPECT_FALSE(integration.IsInstalled());
    ASSERT_TRUE(integration.Toggle());
    EXPECT_TRUE(integration.IsInstalled());

    const std::regex hostName("[a-z0-9_]+(\\.[a-z0-9_]+)*");
    for (const std::string& path : ManifestPaths()) {
        SCOPED_TRACE(path);
        const auto manifest = ParseJson(ReadFileBytes(path));
        ASSERT_TRUE(manifest);
        // Both browsers look the manifest up by the host's name and start the program by an
        // absolute path, speaking over standard input and output.
        const std::string name = manifest->Member("name")->text;
        EXPECT_TRUE(std::regex_match(name, hostName));
        EXPECT_EQ(fs::path(path).filename(), name + ".json");
        EXPECT_EQ(name, kNativeHostName);
        EXPECT_FALSE(manifest->Member("description")->text.empty());
        EXPECT_EQ(manifest->Member("path")->text, PELLIX_HOST_PATH);
        EXPECT_EQ(manifest->Member("type")->text, "stdio");
        if (path.find(".mozilla") == std::string::npos) {
            EXPECT_EQ(Strings(manifest->Member("allowed_origins")),
                      std::vector<std::string>{"chrome-extension://" +
                                               std::string(kChromiumExtensionId) + "/"});
            EXPECT_EQ(manifest->Member("allowed_extensions"), nullptr);
        } else {
            EXPECT_EQ(Strings(manifest->Member("allowed_extensions")),
                      std::vector<std::string>{std::string(kFirefoxExtensionId)});
            EXPECT_EQ(manifest->Member("allowed_origins"), nullptr);
        }
    }
    EXPECT_EQ(Value(kEnglishKey, ""), m_app + "/AddURL.htm");
    EXPECT_EQ(Value(kEnglishKey, "contexts"), "243");
    EXPECT_EQ(Value(kProgramKeyPath, kWorkDirValueName), m_app);

    ASSERT_TRUE(integration.Toggle());
    EXPECT_FALSE(integration.IsInstalled());
    ExpectNothingInstalled();
    // The working directory stays: it tells the capture library where the program is.
    EXPECT_EQ(Value(kProgramKeyPath, kWorkDirValueName), m_app);
}

TEST_F(UserBrowserIntegration, AnyPartCountsAsInstalledAndRemovingClearsAll) {
    CUserBrowserIntegration integration = Integration(m_app);
    ASSERT_TRUE(m_registry.WriteString(kChineseKey, "contexts", "243")); // a Chinese build's key
    EXPECT_TRUE(integration.IsInstalled());
    ASSERT_TRUE(integration.Toggle());
    ExpectNothingInstalled();

    fs::create_directories(fs::path(ManifestPaths()[2]).parent_path());
    WriteFileBytes(ManifestPaths()[2], "{}"); // a manifest left behind on its own
    EXPECT_TRUE(integration.IsInstalled());
    ASSERT_TRUE(integration.Toggle());
    ExpectNothingInstalled();
}

TEST_F(UserBrowserIntegration, AFailedInstallLeavesItRemoved) {
    const std::string notExecutable = m_dir / "plain-file";
    WriteFileBytes(notExecutable, "");
    struct Case {
        const char* what;
        std::string workDir;
        std::string host;
    };
    const Case cases[] = {
        {"a relative working directory", "app", PELLIX_HOST_PATH},
        {"a working directory too long", "/" + std::string(kWorkDirBufferSize, 'a'),
         PELLIX_HOST_PATH},
        {"a host that is not a program", m_app, notExecutable},
        {"no host", m_app, m_dir / "missing"},
        {"a relative host", m_app, "pellix-host"},
        {"a host path that is not UTF-8", m_app, "/opt/\xff/pellix-host"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CUserBrowserIntegration integration = Integration(c.workDir, c.host);
        EXPECT_FALSE(integration.Install());
        EXPECT_FALSE(integration.IsInstalled());
        ExpectNothingInstalled();
    }

    // A browser folder that cannot be made: what was already written is taken back.
    WriteFileBytes(m_dir / "config", "a file where the folder should be");
    CUserBrowserIntegration integration = Integration(m_app);
    EXPECT_FALSE(integration.Install());
    EXPECT_FALSE(integration.IsInstalled());
    ExpectNothingInstalled();
}

TEST(HostManifestFolders, FollowsTheXdgConfigFolderAndLeavesOutUnknownOnes) {
    const auto folders = HostManifestFolders({"/h", "/c", "/d"});
    ASSERT_EQ(folders.size(), 3u);
    EXPECT_EQ(folders[0].path, "/c/chromium/NativeMessagingHosts");
    EXPECT_EQ(folders[1].path, "/c/google-chrome/NativeMessagingHosts");
    EXPECT_EQ(folders[2].path, "/h/.mozilla/native-messaging-hosts");
    EXPECT_EQ(folders[2].family, BrowserFamily::Firefox);
    EXPECT_TRUE(HostManifestFolders({}).empty());
}

} // namespace
} // namespace torvex
