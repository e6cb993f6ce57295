#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/IPrompter.h"
#include "project/CProjectTree.h"
#include "project/ProjectSearch.h"

namespace torvex {

// Asks for another name in the "Rename" dialog, starting with `name`; false for Cancel.
class INameAsker {
public:
    virtual ~INameAsker() = default;
    virtual bool AskName(std::string &name, std::size_t capacity) = 0;
};

// What one step of a restore did.
struct CRestoreStep {
    bool done = false;          // no checked row is left to try
    CTreeNode *added = nullptr; // the project node added by this step, if any
    std::string status;         // the status line's text for this step
};

// Restores the checked rows of a search into the tree, one row a step, from the top: the row's
// settings file is read again, the target folder is the one the project had (created as needed)
// or `fallback`, name conflicts are asked about, and a restored row leaves the list. A row
// whose file no longer loads, or whose conflict the user cancels, stays. The caller pauses
// between the steps that added a project. Front end's thread; the tree is not saved here.
class CProjectRestore {
public:
    CProjectRestore(CProjectTree &tree, std::vector<CFoundProject> &rows, CTreeNode &fallback,
                    bool originalFolders, IPrompter &prompter, INameAsker &names, std::int32_t now);

    CRestoreStep Next();
    int Restored() const { return m_restored; }

private:
    // The folder the project goes into; null when the user cancelled.
    CTreeNode *TargetFolder(const std::string &folders, const std::string &project);
    // A folder name for a child of `parent`, asking while it is refused; false for Cancel.
    bool FreeName(const CTreeNode &parent, std::string &name, std::size_t capacity,
                  std::string_view question);

    CProjectTree &m_tree;
    std::vector<CFoundProject> &m_rows;
    CTreeNode &m_fallback;
    bool m_originalFolders;
    IPrompter &m_prompter;
    INameAsker &m_names;
    std::int32_t m_now;
    std::size_t m_next = 0;
    int m_restored = 0;
};

// "%d project(s) have been restored".
std::string RestoredText(int count);

} // namespace torvex
