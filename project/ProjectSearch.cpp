#include "project/ProjectSearch.h"

#include <algorithm>
#include <map>

#include "base/AsciiCase.h"
#include "base/BoundedText.h"
#include "platform/DirectoryList.h"
#include "platform/FileSystem.h"
#include "project/CProjectTree.h"

namespace torvex {

namespace {

constexpr std::string_view kSettingsFileName = "project.conf";

std::string Join(const std::string &directory, const std::string &name) {
    if (!directory.empty() && directory.back() == '/') {
        return directory + name;
    }
    return directory + "/" + name;
}

std::string LastComponent(const std::string &directory) {
    const std::size_t slash = directory.find_last_of('/', directory.size() - 1);
    return slash == std::string::npos ? directory : directory.substr(slash + 1);
}

// The walk of one search over several locations: directories are visited once each, by
// identity, whatever path leads to them.
class CWalk {
public:
    CWalk(CKnownDirectories known, const std::atomic<bool> &stop, ISearchSink &sink)
        : m_known(std::move(known)), m_stop(stop), m_sink(sink),
          m_pseudoDevices(PseudoMountDevices()) {}

    void Location(const std::string &path) {
        std::vector<std::string> stack{path};
        std::vector<CDirEntry> entries;
        while (!stack.empty() && !m_stop) {
            const std::string directory = std::move(stack.back());
            stack.pop_back();
            if (!Enter(directory)) {
                continue;
            }
            m_sink.Searching(directory);
            ListDirectory(directory, entries);
            std::sort(entries.begin(), entries.end(),
                      [](const CDirEntry &a, const CDirEntry &b) { return a.name < b.name; });
            if (!Files(directory, entries)) {
                continue; // a project of the tree: its own folders hold nothing more
            }
            // Deepest first, in name order.
            for (auto it = entries.rbegin(); it != entries.rend() && !m_stop; ++it) {
                if (it->kind == DirEntryKind::Directory) {
                    stack.push_back(Join(directory, it->name));
                }
            }
        }
    }

private:
    // Whether `directory` is to be listed: not seen before, not a link, not a pseudo file system.
    bool Enter(const std::string &directory) {
        DirIdentity identity;
        if (!DirectoryIdentityOf(directory, identity) || !m_visited.insert(identity).second) {
            return false;
        }
        if (m_pseudoDevices.count(identity.first) != 0) {
            return false;
        }
        const auto known = m_deviceIsPseudo.find(identity.first);
        if (known != m_deviceIsPseudo.end()) {
            return !known->second;
        }
        const bool pseudo = IsPseudoFileSystemType(directory);
        m_deviceIsPseudo.emplace(identity.first, pseudo);
        return !pseudo;
    }

    // Tries the settings files of `directory`; false when it belongs to a project of the tree.
    bool Files(const std::string &directory, const std::vector<CDirEntry> &entries) {
        for (const CDirEntry &entry : entries) {
            if (m_stop) {
                return false;
            }
            if (entry.kind != DirEntryKind::File ||
                FindNoCase(entry.name, kSettingsFileName) == std::string::npos) {
                continue;
            }
            if (m_known.Contains(directory)) {
                return false;
            }
            CFoundProject found;
            found.settings = std::make_unique<CProjectSettings>();
            found.file = Join(directory, entry.name);
            if (!found.settings->LoadProjectFile(found.file, &found.folders)) {
                continue;
            }
            found.directory = directory;
            found.settings->ProjectDir = directory;
            found.name = found.settings->Name;
            if (found.name.empty()) {
                AssignCut(found.name, LastComponent(directory), kMaxProjectName);
                found.settings->Name = found.name;
            }
            if (found.folders.empty()) {
                found.folders = "/";
            }
            // One row per directory, whichever of its settings files comes first.
            m_known.Add(directory);
            m_sink.Found(std::move(found));
            return true;
        }
        return true;
    }

    CKnownDirectories m_known;
    const std::atomic<bool> &m_stop;
    ISearchSink &m_sink;
    std::set<DirIdentity> m_visited;
    std::set<std::uint64_t> m_pseudoDevices;
    std::map<std::uint64_t, bool> m_deviceIsPseudo;
};

} // namespace

std::vector<std::string> RealMountPoints() {
    std::vector<std::string> mounts;
    for (const CMountPoint &mount : CurrentMounts()) {
        if (!IsPseudoFileSystemName(mount.type) &&
            std::find(mounts.begin(), mounts.end(), mount.directory) == mounts.end()) {
            mounts.push_back(mount.directory);
        }
    }
    return mounts;
}

std::vector<CSearchLocation> SearchLocations(const std::vector<std::string> &mounts,
                                             const std::string &home) {
    std::vector<std::string> all = mounts;
    if (!home.empty() && std::find(all.begin(), all.end(), home) == all.end()) {
        all.push_back(home);
    }
    std::vector<CSearchLocation> entries;
    entries.push_back({std::string(kComputerEntry), all});
    for (const std::string &path : all) {
        entries.push_back({path, {path}});
    }
    return entries;
}

bool ResolveSearchLocation(std::string_view text, const std::vector<CSearchLocation> &entries,
                           std::vector<std::string> &paths, std::string &error) {
    paths.clear();
    error.clear();
    for (const CSearchLocation &entry : entries) {
        if (EqualsNoCase(entry.text, text)) {
            for (const std::string &path : entry.paths) {
                if (DirectoryExists(path)) {
                    paths.push_back(path);
                }
            }
            return true;
        }
    }
    const std::string typed(text);
    if (typed.empty() || HasControlCharacter(typed)) {
        error = "Please enter the folder to search, or choose one from the list.";
        return false;
    }
    const std::string resolved = ResolvedPath(typed);
    if (resolved.empty()) {
        error = "The folder \"" + typed + "\" does not exist.";
        return false;
    }
    if (!DirectoryExists(resolved)) {
        error = "\"" + typed + "\" is a file, not a folder.";
        return false;
    }
    std::vector<CDirEntry> entriesOfDir;
    if (!ListDirectory(resolved, entriesOfDir)) {
        error = "The folder \"" + typed + "\" cannot be read.";
        return false;
    }
    paths.push_back(resolved);
    return true;
}

void CKnownDirectories::Add(std::string_view directory) {
    m_lower.insert(LowerAscii(directory));
    const std::string resolved = ResolvedPath(directory);
    if (!resolved.empty()) {
        m_lower.insert(LowerAscii(resolved));
    }
}

bool CKnownDirectories::Contains(std::string_view directory) const {
    return m_lower.count(LowerAscii(directory)) != 0;
}

CKnownDirectories TreeProjectDirectories(CProjectTree &tree) {
    CKnownDirectories known;
    std::vector<const CTreeNode *> stack{&tree.Root()};
    while (!stack.empty()) {
        const CTreeNode *node = stack.back();
        stack.pop_back();
        if (node->project != nullptr) {
            known.Add(node->project->ProjectDir);
        }
        for (const auto &child : node->children) {
            stack.push_back(child.get());
        }
    }
    return known;
}

bool SearchProjects(const std::vector<std::string> &paths, CKnownDirectories known,
                    const std::atomic<bool> &stop, ISearchSink &sink) {
    CWalk walk(std::move(known), stop, sink);
    for (const std::string &path : paths) {
        if (stop) {
            break;
        }
        // The location itself may be reached through a link; nothing below it is.
        const std::string resolved = ResolvedPath(path);
        if (!resolved.empty()) {
            walk.Location(resolved);
        }
    }
    return !stop;
}

std::string FoundText(std::size_t count) {
    return std::to_string(count) + " project(s) have been found";
}

CProjectSearch::~CProjectSearch() {
    Stop();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool CProjectSearch::Start(std::vector<std::string> paths, CKnownDirectories known) {
    if (m_searching) {
        return false;
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
    Poll();
    for (const CFoundProject &row : m_rows) {
        known.Add(row.directory);
    }
    m_stop = false;
    m_searching = true;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_ended = false;
        m_status.clear();
    }
    m_thread = std::thread([this, paths = std::move(paths), known = std::move(known)]() mutable {
        SearchProjects(paths, std::move(known), m_stop, *this);
        std::lock_guard<std::mutex> lock(m_lock);
        m_ended = true;
        m_searching = false;
    });
    return true;
}

void CProjectSearch::Searching(const std::string &directory) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_status = "Searching: " + directory;
}

void CProjectSearch::Found(CFoundProject found) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_pending.push_back(std::move(found));
}

bool CProjectSearch::Poll() {
    bool ended = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (CFoundProject &found : m_pending) {
            m_rows.push_back(std::move(found));
        }
        m_pending.clear();
        ended = m_ended;
        m_ended = false;
    }
    if (ended && m_thread.joinable()) {
        m_thread.join();
    }
    if (ended) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_status = FoundText(m_rows.size());
    }
    return ended;
}

void CProjectSearch::Wait() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
    Poll();
}

std::string CProjectSearch::StatusText() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_status;
}

void CProjectSearch::SelectAll(bool checked) {
    for (CFoundProject &row : m_rows) {
        row.checked = checked;
    }
}

} // namespace torvex
