#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "capture/BrowserIntegration.h"
#include "capture/JsonText.h"
#include "support/TempDir.h"

// The extension as it ships in capture/extension: one folder per browser family, each with the
// manifest that browser requires, sharing one background script.

namespace torvex {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;

const fs::path kExtensionDir = fs::path(TORVEX_SOURCE_DIR) / "capture/extension";

JsonValue Manifest(const char* browser) {
    const auto manifest = ParseJson(ReadFileBytes((kExtensionDir / browser / "manifest.json")));
    EXPECT_TRUE(manifest) << browser;
    return manifest ? *manifest : JsonValue{};
}

const std::string& Text(const JsonValue& object, const char* name) {
    static const std::string kMissing = "<missing>";
    const JsonValue* value = object.Member(name);
    return value != nullptr && value->IsString() ? value->text : kMissing;
}

std::vector<std::string> Strings(const JsonValue* array) {
    std::vector<std::string> texts;
    for (const JsonValue& item : array != nullptr ? array->items : std::vector<JsonValue>{}) {
        texts.push_back(item.IsString() ? item.text : "<not a string>");
    }
    return texts;
}

// The extension id Chromium derives from the manifest's public key: the first 128 bits of the
// SHA-256 of the key, written with the letters a to p for the hex digits.
std::string ChromiumIdOfKey(const std::string& key) {
    const std::string command =
        "python3 -c 'import base64,hashlib,sys; h=hashlib.sha256(base64.b64decode(sys.argv[1]))"
        ".hexdigest()[:32]; print(\"\".join(chr(ord(\"a\")+int(c,16)) for c in h))' " +
        key;
    std::string id;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[64] = {};
        if (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
            id = buffer;
        }
        ::pclose(pipe);
    }
    while (!id.empty() && id.back() == '\n') {
        id.pop_back();
    }
    return id;
}

// What both browsers check of the common keys, and that every file named is there.
void ExpectCommonKeys(const JsonValue& manifest, const fs::path& folder) {
    EXPECT_EQ(Text(manifest, "name"), "Torvex");
    // Up to four dot-separated numbers of at most 65535, without leading zeros.
    EXPECT_TRUE(std::regex_match(Text(manifest, "version"),
                                 std::regex("(0|[1-9][0-9]{0,4})(\\.(0|[1-9][0-9]{0,4})){0,3}")));
    EXPECT_LE(Text(manifest, "description").size(), 132u);
    const std::vector<std::string> permissions = Strings(manifest.Member("permissions"));
    for (const char* needed :
         {"contextMenus", "nativeMessaging", "notifications", "activeTab", "scripting"}) {
        EXPECT_NE(std::find(permissions.begin(), permissions.end(), needed), permissions.end())
            << needed;
    }
    const JsonValue* icons = manifest.Member("icons");
    ASSERT_NE(icons, nullptr);
    for (const JsonMember& icon : icons->members) {
        SCOPED_TRACE(icon.value.text);
        EXPECT_EQ(ReadFileBytes(folder / icon.value.text).substr(0, 8), "\x89PNG\r\n\x1a\n");
    }
    EXPECT_TRUE(fs::is_regular_file(folder / "icon-48.png")); // the notifications' icon
}

TEST(ExtensionManifest, ChromiumHasAManifestV3ServiceWorkerAndOurId) {
    const fs::path folder = kExtensionDir / "chromium";
    const JsonValue manifest = Manifest("chromium");
    EXPECT_EQ(manifest.Member("manifest_version")->text, "3");
    ExpectCommonKeys(manifest, folder);
    const JsonValue* background = manifest.Member("background");
    ASSERT_NE(background, nullptr);
    EXPECT_TRUE(fs::is_regular_file(folder / Text(*background, "service_worker")));
    EXPECT_EQ(background->Member("scripts"), nullptr); // Chromium warns about it in MV3
    // Keys Chromium does not know show as warnings on its extensions page.
    EXPECT_EQ(manifest.Member("browser_specific_settings"), nullptr);
    // The key fixes the id that the host manifest admits.
    EXPECT_EQ(ChromiumIdOfKey(Text(manifest, "key")), kChromiumExtensionId);
}

TEST(ExtensionManifest, FirefoxHasBackgroundScriptsAndAGeckoId) {
    const fs::path folder = kExtensionDir / "firefox";
    const JsonValue manifest = Manifest("firefox");
    EXPECT_EQ(manifest.Member("manifest_version")->text, "3");
    ExpectCommonKeys(manifest, folder);
    const JsonValue* background = manifest.Member("background");
    ASSERT_NE(background, nullptr);
    const std::vector<std::string> scripts = Strings(background->Member("scripts"));
    ASSERT_FALSE(scripts.empty());
    for (const std::string& script : scripts) {
        EXPECT_TRUE(fs::is_regular_file(folder / script)) << script;
    }
    // Firefox has no extension service workers: it refuses a manifest with only that.
    EXPECT_EQ(background->Member("service_worker"), nullptr);
    EXPECT_EQ(manifest.Member("key"), nullptr);
    // Native messaging admits an extension by this id; Manifest V3 needs Firefox 109 or later.
    const JsonValue* settings = manifest.Member("browser_specific_settings");
    ASSERT_NE(settings, nullptr);
    const JsonValue* gecko = settings->Member("gecko");
    ASSERT_NE(gecko, nullptr);
    EXPECT_EQ(Text(*gecko, "id"), kFirefoxExtensionId);
    EXPECT_TRUE(
        std::regex_match(Text(*gecko, "id"), std::regex("[a-zA-Z0-9._-]*@[a-zA-Z0-9._-]+")));
    EXPECT_GE(std::stoi(Text(*gecko, "strict_min_version")), 109);
}

TEST(ExtensionManifest, BothBrowsersRunTheSameScriptAgainstOurHost) {
    const JsonValue chromium = Manifest("chromium");
    const JsonValue firefox = Manifest("firefox");
    EXPECT_EQ(Text(chromium, "version"), Text(firefox, "version"));
    EXPECT_EQ(Text(chromium, "description"), Text(firefox, "description"));
    const std::string script = ReadFileBytes(kExtensionDir / "firefox/background.js");
    EXPECT_EQ(ReadFileBytes(kExtensionDir / "chromium/background.js"), script);
    EXPECT_NE(script.find("const HOST_NAME = \"" + std::string(kNativeHostName) + "\";"),
              std::string::npos);
    EXPECT_NE(script.find("title: \"Download by Torvex\""), std::string::npos);
    EXPECT_NE(script.find(R"(contexts: ["link", "image", "selection", "page"])"),
              std::string::npos);
}

} // namespace
} // namespace torvex
