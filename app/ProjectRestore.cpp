#include "app/ProjectRestore.h"

#include <memory>

#include "base/BoundedText.h"

namespace torvex {

namespace {

std::string FolderQuestion(const std::string &folder, const std::string &project) {
    return "The original folder \"" + folder + "\" of the project \"" + project +
           "\" has the same name with an existing project. Do you want to rename the folder or "
           "cancel the restore of the project?";
}

std::string ProjectQuestion(const std::string &project) {
    return "The project \"" + project +
           "\"  has the same name with an existing project or folder. Do you want to rename the "
           "project or cancel the restore of it?";
}

std::vector<std::string> FolderNames(const std::string &folders) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= folders.size()) {
        const std::size_t slash = folders.find('/', start);
        const std::size_t end = slash == std::string::npos ? folders.size() : slash;
        if (end > start) {
            names.push_back(folders.substr(start, end - start));
        }
        if (slash == std::string::npos) {
            break;
        }
        start = slash + 1;
    }
    return names;
}

} // namespace

std::string RestoredText(int count) {
    return std::to_string(count) + " project(s) have been restored";
}

CProjectRestore::CProjectRestore(CProjectTree &tree, std::vector<CFoundProject> &rows,
                                 CTreeNode &fallback, bool originalFolders, IPrompter &prompter,
                                 INameAsker &names, std::int32_t now)
    : m_tree(tree), m_rows(rows), m_fallback(fallback), m_originalFolders(originalFolders),
      m_prompter(prompter), m_names(names), m_now(now) {}

bool CProjectRestore::FreeName(const CTreeNode &parent, std::string &name, std::size_t capacity,
                               std::string_view question) {
    std::string refusal = CProjectTree::CheckName(parent, name);
    if (refusal.empty()) {
        return true;
    }
    // A name in use is asked about first; a name the tree cannot take at all (a slash, a
    // control character) is told, then renamed.
    if (refusal == kNameUsedText) {
        if (!m_prompter.AskOkCancel(question)) {
            return false;
        }
    } else {
        m_prompter.Warning(refusal);
    }
    for (;;) {
        CutTo(name, capacity);
        if (!m_names.AskName(name, capacity)) {
            return false;
        }
        refusal = CProjectTree::CheckName(parent, name);
        if (refusal.empty()) {
            return true;
        }
        m_prompter.Warning(refusal);
    }
}

CTreeNode *CProjectRestore::TargetFolder(const std::string &folders, const std::string &project) {
    if (!m_originalFolders) {
        return &m_fallback;
    }
    CTreeNode *current = &m_tree.Root();
    for (std::string name : FolderNames(folders)) {
        CTreeNode *same = CProjectTree::FindChildByName(*current, name, false);
        if (same != nullptr && same->IsFolder()) {
            current = same;
            continue;
        }
        if (!FreeName(*current, name, kMaxFolderName, FolderQuestion(name, project))) {
            return nullptr;
        }
        CTreeNode *made = CProjectTree::FindChildByName(*current, name, false);
        if (made == nullptr) {
            made = m_tree.AddFolder(*current, name);
        }
        if (made == nullptr) {
            return nullptr;
        }
        current = made;
    }
    return current;
}

CRestoreStep CProjectRestore::Next() {
    CRestoreStep step;
    while (m_next < m_rows.size() && !m_rows[m_next].checked) {
        ++m_next;
    }
    if (m_next >= m_rows.size()) {
        step.done = true;
        return step;
    }
    CFoundProject &row = m_rows[m_next];
    // Restored meanwhile (by an earlier row of the same directory, or by hand): it is in the
    // tree already and is not added twice.
    if (m_tree.FindProjectByDirectory(row.directory) != nullptr) {
        m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(m_next));
        return step;
    }
    // The file is read again: it may have changed since the search. The row keeps the file it
    // was found by, so that a project known only by its copy is restored from that copy.
    auto settings = std::make_unique<CProjectSettings>();
    std::string folders;
    if (!settings->LoadProjectFile(row.file, &folders)) {
        ++m_next;
        return step;
    }
    settings->ProjectDir = row.directory;
    if (settings->Name.empty()) {
        settings->Name = row.name;
    }
    if (folders.empty()) {
        folders = "/";
    }
    step.status = "Restoring project \"" + settings->Name + "\"";
    CTreeNode *target = TargetFolder(folders, settings->Name);
    std::string name = settings->Name;
    if (target == nullptr ||
        !FreeName(*target, name, kMaxProjectName, ProjectQuestion(settings->Name))) {
        ++m_next;
        return step;
    }
    settings->Name = name;
    settings->CreateTime = m_now;
    step.added = m_tree.AddProject(*target, std::move(settings));
    if (step.added == nullptr) {
        ++m_next;
        return step;
    }
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(m_next));
    ++m_restored;
    return step;
}

} // namespace torvex
