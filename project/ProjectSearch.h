#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "project/CProjectSettings.h"

namespace torvex {

class CProjectTree;

constexpr std::string_view kComputerEntry = "Computer";

// One project found on the disks: what its settings file says and where it lies.
struct CFoundProject {
    std::string name;
    std::string folders;   // the folder path it had in its tree ("/" or "/a/b")
    std::string directory; // the project directory (the file's directory)
    std::string file;      // the settings file it was found by (project.conf or a copy of it)
    std::unique_ptr<CProjectSettings> settings;
    bool checked = true;
};

// One entry of the location box: its text and the directories it stands for.
struct CSearchLocation {
    std::string text;
    std::vector<std::string> paths;
};

// The entries of the location box: first the computer itself (every mounted real file system
// and the home folder), then each of those on its own. `mounts` are mount points, `home` the
// home folder (may be empty).
std::vector<CSearchLocation> SearchLocations(const std::vector<std::string> &mounts,
                                             const std::string &home);
// The mount points of the real file systems of this computer, from the mount table.
std::vector<std::string> RealMountPoints();

// What the location box's text stands for: the paths of an entry it names (without regard to
// case), else the directory it names. False, with `error` the message to show, when the text
// names no entry and no directory that exists.
bool ResolveSearchLocation(std::string_view text, const std::vector<CSearchLocation> &entries,
                           std::vector<std::string> &paths, std::string &error);

// Directories already known: those of the tree's projects and of rows found before. Compared
// without regard to case, and also by their resolved form so that a link names the same place.
class CKnownDirectories {
public:
    void Add(std::string_view directory);
    bool Contains(std::string_view directory) const;

private:
    std::set<std::string> m_lower;
};
CKnownDirectories TreeProjectDirectories(CProjectTree &tree);

// Reports of a search, called on the searching thread.
class ISearchSink {
public:
    virtual ~ISearchSink() = default;
    virtual void Searching(const std::string &directory) = 0;
    virtual void Found(CFoundProject found) = 0;
};

// Walks `paths` one after the other for project settings files: every file whose name contains
// "project.conf" (without regard to case) that loads as a project. Directories of `known`
// projects are not searched further; each directory is listed once (so a second settings file,
// a link or a bind mount never lists it twice). Symbolic links are not followed below the
// locations themselves, pseudo file systems are left alone, and `stop` is polled between
// directory entries. Returns false when it stopped early.
bool SearchProjects(const std::vector<std::string> &paths, CKnownDirectories known,
                    const std::atomic<bool> &stop, ISearchSink &sink);

// "%d project(s) have been found".
std::string FoundText(std::size_t count);

// The search of the "Search and Restore" dialog: SearchProjects on a thread of its own, with
// the stop flag and the searching flag, and the rows found so far. Start, Stop, Poll and the
// rows belong to the front end's thread; the thread only fills the pending list and the status
// text under the lock.
class CProjectSearch final : private ISearchSink {
public:
    CProjectSearch() = default;
    ~CProjectSearch();
    CProjectSearch(const CProjectSearch &) = delete;
    CProjectSearch &operator=(const CProjectSearch &) = delete;

    // Starts searching `paths`; `known` holds the tree's project directories. False when a
    // search runs already.
    bool Start(std::vector<std::string> paths, CKnownDirectories known);
    void Stop() { m_stop = true; }
    bool Searching() const { return m_searching.load(); }
    // Takes what the thread found since the last call into the rows; true when a search ended
    // since (its thread is then joined).
    bool Poll();
    // Blocks until the search ends, then polls.
    void Wait();
    // The status line: "Searching: %s" while searching, else the found count.
    std::string StatusText() const;

    std::vector<CFoundProject> &Rows() { return m_rows; }
    void SelectAll(bool checked);

private:
    void Searching(const std::string &directory) override;
    void Found(CFoundProject found) override;

    std::vector<CFoundProject> m_rows;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_searching{false};
    mutable std::mutex m_lock;
    std::vector<CFoundProject> m_pending;
    std::string m_status;
    bool m_ended = false;
};

} // namespace torvex
