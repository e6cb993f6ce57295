// torvex-cli killed with SIGKILL at a random moment of a run (several fixed seeds), then resumed
// until it finishes, leaves the same mirror, byte for byte, as a run that was never interrupted:
// for a first start and for an update of a site that changed.

#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/CChildProcess.h"
#include "support/CNginxServer.h"
#include "support/SiteGenerator.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using namespace std::chrono_literals;
using test::ChildResult;
using test::CNginxServer;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

namespace fs = std::filesystem;

constexpr int kPages = 120;
// The site links a page it never serves: every run that ends lists it as failed.
constexpr int kFinishedWithFailures = 5;

// Every file of the copy below `root`, by its path relative to it, with its bytes. The index
// page's backup is left out: each end of a run that writes the index keeps the one before, so
// it is there or not by how many runs ended, not by what they stored.
std::map<std::string, std::string> TreeOf(const std::string &root) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string path = fs::relative(it->path(), root).string();
        if (it->is_regular_file() && path != "index.html.bak") {
            files[path] = ReadFileBytes(it->path().string());
        }
    }
    return files;
}

// What tells `actual` from `expected`: missing, extra and differing files, one a line, with the
// first differing byte and the bytes around it.
std::string Differences(const std::map<std::string, std::string> &expected,
                        const std::map<std::string, std::string> &actual) {
    std::string out;
    for (const auto &[path, bytes] : expected) {
        const auto found = actual.find(path);
        if (found == actual.end()) {
            out += "missing " + path + "\n";
        } else if (found->second != bytes) {
            const std::string &got = found->second;
            std::size_t at = 0;
            while (at < bytes.size() && at < got.size() && bytes[at] == got[at]) {
                ++at;
            }
            const std::size_t from = at > 40 ? at - 40 : 0;
            out += "differs " + path + " at byte " + std::to_string(at) + " (sizes " +
                   std::to_string(bytes.size()) + ", " + std::to_string(got.size()) +
                   "): expected \"" + bytes.substr(from, 120) + "\", got \"" +
                   got.substr(from, 120) + "\"\n";
        }
    }
    for (const auto &[path, bytes] : actual) {
        if (expected.count(path) == 0) {
            out += "extra " + path + "\n";
        }
    }
    return out;
}

class KilledRun : public ::testing::Test {
protected:
    void SetUp() override {
        m_nginx = std::make_unique<CNginxServer>(m_site / "root");
        if (!m_nginx->Started()) {
            GTEST_SKIP() << "nginx cannot run here: " << m_nginx->Reason();
        }
        m_files = test::GenerateSite(m_site / "root", kPages,
                                     "127.0.0.1:" + std::to_string(m_nginx->Port()));
    }

    ChildResult Cli(const std::vector<std::string> &arguments) {
        return test::RunChild(TORVEX_CLI_PATH, arguments, Environment(), 120s);
    }
    std::vector<std::string> Environment() const { return {"TORVEX_HOME=" + m_home.Str()}; }

    std::string NewProject(const std::string &name) {
        const std::string dir = m_work / name;
        const ChildResult made =
            Cli({"new", "--force", dir, "http://127.0.0.1:" + std::to_string(m_nginx->Port()) + "/",
                 "Level=0", "DownthreadNum=4", "BackupLast=0",
                 // The index page shows the project's name: one name for every copy.
                 "Name=site"});
        EXPECT_EQ(made.exitStatus, 0) << made.err;
        return dir;
    }

    // `command` on `dir`, killed after `delay`; then resumed (answering the question) until a
    // resume finishes the record. A kill that came before the command began its record (the
    // program was still starting) left nothing to resume: the user gives the command again.
    void KillThenResume(const std::string &command, const std::string &dir,
                        std::chrono::milliseconds delay) {
        const std::string recordsBefore = ReadFileBytes(dir + "/project.log");
        {
            test::CChildProcess run(TORVEX_CLI_PATH, {command, dir}, Environment());
            ASSERT_TRUE(run.Started());
            std::this_thread::sleep_for(delay);
            run.SendSignal(SIGKILL);
            run.Wait();
        }
        if (!recordsBefore.empty() && ReadFileBytes(dir + "/project.log") == recordsBefore) {
            EXPECT_EQ(Cli({command, dir}).exitStatus, kFinishedWithFailures);
            return;
        }
        for (int attempt = 0; attempt < 3; ++attempt) {
            const ChildResult resumed = Cli({"resume", "--yes", dir});
            if (resumed.exitStatus == kFinishedWithFailures) {
                return;
            }
            EXPECT_EQ(resumed.exitStatus, 4) << resumed.err; // finished already: nothing to do
            if (resumed.exitStatus == 4) {
                return;
            }
        }
        ADD_FAILURE() << "no resume finished the record";
    }

    // A few pages change their text and time, so an update fetches them again.
    void ChangeTheSite() {
        int changed = 0;
        for (const test::SiteFile &file : m_files) {
            if (file.kind != "page" || ++changed > 8) {
                continue;
            }
            const std::string path = m_site / ("root" + file.path);
            WriteFileBytes(path, ReadFileBytes(path) + "<p>changed</p>\n");
            fs::last_write_time(path, fs::file_time_type::clock::now() + 1h);
        }
    }

    std::string Mirror(const std::string &dir) const { return dir + "/download/latest"; }

    TempDir m_home;
    TempDir m_site;
    TempDir m_work;
    std::unique_ptr<CNginxServer> m_nginx;
    std::vector<test::SiteFile> m_files;
};

// The delays reach over the whole run: the time the uninterrupted run took, drawn per seed.
std::vector<std::chrono::milliseconds> Delays(std::chrono::milliseconds span) {
    std::vector<std::chrono::milliseconds> delays;
    for (const unsigned seed : {1u, 2u, 3u}) {
        std::mt19937 draw(seed);
        std::uniform_int_distribution<long long> pick(0, std::max<long long>(span.count(), 1));
        delays.emplace_back(pick(draw));
    }
    return delays;
}

TEST_F(KilledRun, AStartKilledAtAnyMomentResumesToTheSameMirror) {
    const std::string reference = NewProject("reference");
    const auto began = std::chrono::steady_clock::now();
    ASSERT_EQ(Cli({"start", reference}).exitStatus, kFinishedWithFailures);
    const auto span = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - began);
    const auto expected = TreeOf(Mirror(reference));
    ASSERT_GT(expected.size(), static_cast<std::size_t>(kPages));
    int seed = 0;
    for (const auto delay : Delays(span)) {
        SCOPED_TRACE("seed " + std::to_string(++seed) + ", killed after " +
                     std::to_string(delay.count()) + " ms");
        const std::string dir = NewProject("killed" + std::to_string(seed));
        KillThenResume("start", dir, delay);
        EXPECT_EQ(Differences(expected, TreeOf(Mirror(dir))), "");
    }
}

TEST_F(KilledRun, AnUpdateKilledAtAnyMomentResumesToTheSameMirror) {
    const std::string reference = NewProject("reference");
    ASSERT_EQ(Cli({"start", reference}).exitStatus, kFinishedWithFailures);
    std::vector<std::string> dirs;
    for (int seed = 1; seed <= 3; ++seed) {
        dirs.push_back(NewProject("killed" + std::to_string(seed)));
        ASSERT_EQ(Cli({"start", dirs.back()}).exitStatus, kFinishedWithFailures);
    }
    ChangeTheSite();
    const auto began = std::chrono::steady_clock::now();
    ASSERT_EQ(Cli({"update", reference}).exitStatus, kFinishedWithFailures);
    const auto span = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - began);
    const auto expected = TreeOf(Mirror(reference));
    int changedPages = 0;
    for (const auto &[path, bytes] : expected) {
        changedPages += bytes.find("<p>changed</p>") != std::string::npos ? 1 : 0;
    }
    ASSERT_GT(changedPages, 0); // the update fetched what changed
    int seed = 0;
    for (const auto delay : Delays(span)) {
        SCOPED_TRACE("seed " + std::to_string(seed + 1) + ", killed after " +
                     std::to_string(delay.count()) + " ms");
        KillThenResume("update", dirs[static_cast<std::size_t>(seed)], delay);
        EXPECT_EQ(Differences(expected, TreeOf(Mirror(dirs[static_cast<std::size_t>(seed)]))), "");
        ++seed;
    }
}

} // namespace
} // namespace torvex
