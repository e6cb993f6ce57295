// A whole generated site mirrored by torvex-cli from a real nginx on loopback: every page and
// part within the level limit is stored, nothing beyond it, and the rewritten links of stored
// pages open files of the mirror (or name where an unretrieved file would be stored).

#include <chrono>
#include <memory>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "support/CChildProcess.h"
#include "support/CNginxServer.h"
#include "support/SiteGenerator.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::ChildResult;
using test::CNginxServer;
using test::ReadFileBytes;
using test::TempDir;

const std::string kSiteGenerator = std::string(TORVEX_SOURCE_DIR) + "/../shared/bench/site_gen.py";

struct ManifestFile {
    std::string path;
    std::string kind;
    int depth = 0;
};

std::vector<ManifestFile> ReadManifest(const std::string& path) {
    std::vector<ManifestFile> files;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        ManifestFile file;
        std::string bytes;
        std::string depth;
        std::getline(fields, file.path, '\t');
        std::getline(fields, file.kind, '\t');
        std::getline(fields, bytes, '\t');
        std::getline(fields, depth, '\t');
        file.depth = depth.empty() || depth == "-" ? -1 : std::atoi(depth.c_str());
        files.push_back(file);
    }
    return files;
}

// The href and src values of a stored page.
std::vector<std::string> LinksOf(const std::string& page) {
    std::vector<std::string> links;
    for (const char* attribute : {"href=\"", "src=\"", "HREF=\"", "SRC=\""}) {
        std::size_t at = 0;
        const std::size_t length = std::char_traits<char>::length(attribute);
        while ((at = page.find(attribute, at)) != std::string::npos) {
            at += length;
            const std::size_t end = page.find('"', at);
            if (end == std::string::npos) {
                break;
            }
            links.push_back(page.substr(at, end - at));
        }
    }
    return links;
}

class SiteCrawl : public ::testing::Test {
protected:
    void SetUp() override {
        m_nginx = std::make_unique<CNginxServer>(m_site.Str() + "/root");
        if (!m_nginx->Started()) {
            GTEST_SKIP() << "nginx cannot run here: " << m_nginx->Reason();
        }
        // nginx serves from disk, so the site can be generated once its port is known. The
        // shared bench generator, when it is next to this checkout, makes the richer site.
        const std::string host = "127.0.0.1:" + std::to_string(m_nginx->Port());
        if (FileExists(kSiteGenerator)) {
            const std::string command = "python3 '" + kSiteGenerator + "' '" + m_site.Str() +
                                        "/root' --force --pages 2000 --host " + host + " >/dev/null";
            ASSERT_EQ(std::system(command.c_str()), 0);
            m_manifest = ReadManifest(m_site.Str() + "/root.manifest.tsv");
        } else {
            for (const test::SiteFile& file : test::GenerateSite(m_site.Str() + "/root", 2000, host)) {
                m_manifest.push_back({file.path, file.kind, file.depth});
            }
        }
        ASSERT_GT(m_manifest.size(), 2000u);
    }

    // The exit status of "torvex-cli start" on a new project with the given level limit.
    int Crawl(int level, const std::string& startPath = "/",
              const std::vector<std::string>& keys = {"HostFilter=2"}) {
        const std::vector<std::string> environment{"TORVEX_HOME=" + m_home.Str()};
        const std::string dir = m_project.Str();
        std::vector<std::string> arguments{
            "new", "--force", dir,
            "http://127.0.0.1:" + std::to_string(m_nginx->Port()) + startPath,
            "Level=" + std::to_string(level), "DownthreadNum=10"};
        arguments.insert(arguments.end(), keys.begin(), keys.end());
        const ChildResult made = test::RunChild(TORVEX_CLI_PATH, arguments, environment);
        EXPECT_EQ(made.exitStatus, 0) << made.err;
        const ChildResult run =
            test::RunChild(TORVEX_CLI_PATH, {"start", dir}, environment, std::chrono::seconds(120));
        EXPECT_FALSE(run.timedOut);
        return run.exitStatus;
    }

    std::string HostDir() const {
        return m_project.Str() + "/download/latest/127.0.0.1+" + std::to_string(m_nginx->Port());
    }

    TempDir m_home;
    TempDir m_site;
    TempDir m_project;
    std::unique_ptr<CNginxServer> m_nginx;
    std::vector<ManifestFile> m_manifest;
};

TEST_F(SiteCrawl, MirrorsEveryPageAndPartAndLinksThemLocally) {
    // The links to missing pages fail: the run finishes with failures, each in the run's list.
    bool anyMissing = false;
    for (const ManifestFile& file : m_manifest) {
        anyMissing = anyMissing || file.kind == "missing";
    }
    ASSERT_EQ(Crawl(0), anyMissing ? 5 : 0);
    const std::string failed = ReadFileBytes(m_project.Str() + "/logs/latest.failed");
    for (const ManifestFile& file : m_manifest) {
        if (file.kind == "missing") {
            EXPECT_NE(failed.find("/127.0.0.1:" + std::to_string(m_nginx->Port()) + file.path +
                                  "\tHTTPSession\t404\tHTTP 404 Not Found\n"),
                      std::string::npos)
                << file.path;
        }
    }
    std::vector<std::string> missing;
    for (const ManifestFile& file : m_manifest) {
        // Missing pages and the redirecting directory have no file of their own on the server.
        const bool served = file.kind != "missing" && file.kind != "redirect";
        if (served && !FileExists(HostDir() + file.path)) {
            missing.push_back(file.path);
        }
    }
    EXPECT_TRUE(missing.empty()) << missing.size() << " missing, e.g. " << missing.front();

    // Every rewritten link of a sample of pages opens a file of the mirror, or names a place
    // outside this host's folder where an unretrieved file would be stored.
    int checked = 0;
    for (std::size_t i = 0; i < m_manifest.size(); i += 31) {
        const ManifestFile& file = m_manifest[i];
        if (file.kind != "page" && file.kind != "index") {
            continue;
        }
        const std::string page = ReadFileBytes(HostDir() + file.path);
        const std::string folder = (HostDir() + file.path).substr(0, (HostDir() + file.path).rfind('/') + 1);
        for (std::string link : LinksOf(page)) {
            link = link.substr(0, link.find('#'));
            if (link.empty() || link.rfind("http:", 0) == 0 || link.rfind("mailto:", 0) == 0) {
                continue;
            }
            SCOPED_TRACE(file.path + " -> " + link);
            EXPECT_NE(link[0], '/');
            const std::string target = folder + link;
            if (target.find("127.0.0.2") == std::string::npos && link.find("missing") == std::string::npos) {
                // The run's link conversion points links to a redirected directory at its
                // forwarding page ("dir.html").
                EXPECT_TRUE(FileExists(target));
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 100);
}

TEST_F(SiteCrawl, StopsAtTheLevelLimit) {
    const int status = Crawl(3);
    ASSERT_TRUE(status == 0 || status == 5) << status;   // 5: links to missing pages failed
    int within = 0;
    for (const ManifestFile& file : m_manifest) {
        if (file.kind != "page" && file.kind != "index") {
            continue;
        }
        SCOPED_TRACE(file.path);
        // The start page is level 1, so anchor depth d is level d + 1.
        if (file.depth >= 0 && file.depth + 1 <= 3) {
            EXPECT_TRUE(FileExists(HostDir() + file.path));
            ++within;
        } else if (file.depth + 1 > 3) {
            EXPECT_FALSE(FileExists(HostDir() + file.path));
        }
    }
    EXPECT_GT(within, 100);
}

TEST_F(SiteCrawl, KeepsToTheStartDirectoryWithItsPathMode) {
    // Path mode 1 follows anchors only below the start address's directory; the parts of its
    // pages (images, the style sheet) come from wherever they are.
    const int status = Crawl(0, "/section-2/index.html", {"HostFilter=2", "PathFilter=1"});
    ASSERT_TRUE(status == 0 || status == 5) << status;
    int inside = 0;
    for (const ManifestFile& file : m_manifest) {
        if (file.kind != "page" && file.kind != "index") {
            continue;
        }
        SCOPED_TRACE(file.path);
        if (file.path.rfind("/section-2/", 0) == 0) {
            inside += FileExists(HostDir() + file.path) ? 1 : 0;
        } else {
            EXPECT_FALSE(FileExists(HostDir() + file.path));
        }
    }
    EXPECT_GT(inside, 50);
}

} // namespace
} // namespace torvex
