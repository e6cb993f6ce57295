#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "capture/BrowserIntegration.h"
#include "platform/Registry.h"
#include "support/CChildProcess.h"
#include "support/TempDir.h"

// The extension in a real browser: headless Chromium in a fresh profile loads a test build of
// the unpacked extension (the shipped files plus a hook that clicks the menu entry once at
// start-up), finds the host through the manifest that Browser Integration installs, and the
// host hands the address to a stub of the program.

namespace torvex {
namespace {

namespace fs = std::filesystem;
using test::CChildProcess;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

std::string FindChromium() {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        for (const char* name : {"chromium", "chromium-browser"}) {
            const std::string candidate = folders.substr(start, end - start) + "/" + name;
            if (::access(candidate.c_str(), X_OK) == 0) {
                return candidate;
            }
        }
        start = end + 1;
    }
    return {};
}

// Runs in the service worker after the shipped script: sends one request through the menu's
// own click handler, and a second one that tells whether the menu entry existed and whether the
// host's reply came back.
constexpr const char* kTestHook = R"(importScripts("background.js");
ext.contextMenus.update(MENU_ID, {}, () => {
    const menu = ext.runtime.lastError ? "no menu" : "menu ready";
    const click = (url, text) => handleMenuClick(
        { menuItemId: MENU_ID, linkUrl: url, linkText: text, pageUrl: "http://hook.example/" },
        undefined);
    click("http://hook.example/first", menu).then((reply) =>
        click("http://hook.example/second", menu + ", reply " + (reply?.ok ? "ok" : "missing")));
});
)";

TEST(ChromiumExtension, ServiceWorkerReachesTheHost) {
    const std::string chromium = FindChromium();
    if (chromium.empty()) {
        GTEST_SKIP() << "Chromium is not installed (apt-get install chromium), so the extension "
                        "was not loaded in a real browser";
    }
    TempDir dir;
    const std::string app = dir / "app";
    fs::create_directories(app);
    WriteFileBytes(app + "/torvex", "#!/bin/sh\nd=$(dirname \"$0\")\n"
                                    "printf '%s\\n' \"$@\" > \"$d/args.part\" && "
                                    "mv \"$d/args.part\" \"$d/args\"\n");
    fs::permissions(app + "/torvex", fs::perms::owner_all);

    CFileRegistry registry(dir / "registry");
    CUserBrowserIntegration integration(registry, {dir / "home", dir / "config", dir / "data"}, app,
                                        PELLIX_HOST_PATH);
    ASSERT_TRUE(integration.Install());

    // The test build: the shipped files by link, the manifest pointing at the hook.
    const fs::path shipped = fs::path(TORVEX_SOURCE_DIR) / "capture/extension/chromium";
    const fs::path extension = dir / "extension";
    fs::create_directories(extension);
    for (const auto& entry : fs::directory_iterator(shipped)) {
        if (entry.path().filename() != "manifest.json") {
            fs::create_symlink(entry.path(), extension / entry.path().filename());
        }
    }
    std::string manifest = ReadFileBytes(shipped / "manifest.json");
    const std::string worker = "\"service_worker\": \"background.js\"";
    ASSERT_NE(manifest.find(worker), std::string::npos);
    manifest.replace(manifest.find(worker), worker.size(), "\"service_worker\": \"test-hook.js\"");
    WriteFileBytes(extension / "manifest.json", manifest);
    WriteFileBytes(extension / "test-hook.js", kTestHook);

    CChildProcess browser(
        chromium,
        {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--user-data-dir=" + (dir / "config/chromium"), "--load-extension=" + extension.string(),
         "about:blank"},
        {"HOME=" + (dir / "home"), "XDG_CONFIG_HOME=" + (dir / "config"),
         "XDG_CACHE_HOME=" + (dir / "cache"), "TORVEX_REGISTRY=" + (dir / "registry")});
    ASSERT_TRUE(browser.Started());

    const std::string handOver = app + "/addurl.tmp";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while ((ReadFileBytes(handOver).find("/second") == std::string::npos ||
            !fs::exists(app + "/args")) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    browser.SendSignal(SIGTERM);
    const test::ChildResult ended = browser.Wait(std::chrono::seconds(30));
    EXPECT_EQ(ReadFileBytes(handOver), "URL=http://hook.example/second\n"
                                       "Info=menu ready, reply ok\n"
                                       "ParentURL=http://hook.example/\n")
        << ended.err.substr(0, 4000);
    EXPECT_EQ(ReadFileBytes(app + "/args"), "/u\n");
}

} // namespace
} // namespace torvex
