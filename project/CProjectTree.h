#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "project/CProjectSettings.h"

namespace torvex {

constexpr std::string_view kTreeFileName = "Torvex.dir";
constexpr std::string_view kTreeVersion = "0.93";
constexpr std::string_view kRootLabel = "Torvex";
constexpr std::size_t kMaxFolderName = 64;
constexpr int kMaxUniqueSuffix = 9999;
constexpr std::string_view kNameUsedText = "Sorry, this name is used. Please choose another.";
constexpr std::string_view kImportFailedText =
    "Error: Failed to open the file or it is in wrong format!";

// What a node is and shows; also the index of its image in the tree.
enum class NodeKind : int {
    RootCollapsed = 0,
    RootExpanded = 1,
    FolderCollapsed = 2,
    FolderExpanded = 3,
    ProjectIdle = 4,
    ProjectRunning = 5,
    ProjectWaiting = 6,
    ProjectOnTimer = 7,
};

// One node of the tree: the root, a folder or a project. Children are owned; a project node
// points at settings that the tree owns.
struct CTreeNode {
    NodeKind kind = NodeKind::FolderCollapsed;
    std::string label;
    CProjectSettings* project = nullptr;
    CTreeNode* parent = nullptr;
    std::vector<std::unique_ptr<CTreeNode>> children;

    bool IsRoot() const { return kind == NodeKind::RootCollapsed || kind == NodeKind::RootExpanded; }
    bool IsFolder() const {
        return kind == NodeKind::FolderCollapsed || kind == NodeKind::FolderExpanded;
    }
    bool IsProject() const { return !IsRoot() && !IsFolder(); }
    bool IsExpanded() const {
        return kind == NodeKind::RootExpanded || kind == NodeKind::FolderExpanded;
    }
};

// How a multi-object import solves a name that is taken.
enum class ImportMode : int {
    Prompt = 0,      // ask the user for another name (and directory)
    Automatic = 1,   // append 1, 2, ... to the name
};

// What the import asks the user in prompt mode. Both return false for Cancel.
class IImportPrompter {
public:
    virtual ~IImportPrompter() = default;
    // A folder whose name a project of the target already has: a new name for it.
    virtual bool RenameFolder(std::string& name) = 0;
    // A project whose name or directory is taken (`reason` says which): a new name and
    // directory for it.
    virtual bool ChangeProject(std::string_view reason, std::string& name, std::string& directory) = 0;
};

// The catalogue of all projects: a root, folders nested to any depth, projects as leaves, kept
// in the tree file "Torvex.dir". Folders come before projects among the children of a node, and
// names are unique among siblings without regard to case. The tree owns every project's
// settings until it is destroyed (a running task may still point at the settings of a deleted
// node). Lives on the front end's thread.
class CProjectTree {
public:
    // `treePath`: the tree file; `defaultProjectsDir`: where projects without a directory go.
    CProjectTree(std::string treePath, std::string defaultProjectsDir);

    // Reads the tree file, creating an empty one when it is missing or not a tree file.
    bool LoadTree();
    // Writes the tree file anew; with `writeProjectFiles` also every project's project.conf
    // (creating its directory). False when the tree file cannot be written.
    bool SaveTree(bool writeProjectFiles);
    // At closing: SaveTree with every project.conf, then a ".bak" copy of the tree file. False
    // (with `error` the message to show) when the tree file could not be written.
    bool SaveAll(std::string& error);

    // Where projects without a directory go from now on (the default directory changed).
    void SetDefaultProjectsDir(std::string directory) {
        m_defaultProjectsDir = std::move(directory);
    }

    CTreeNode& Root() { return m_root; }
    const CTreeNode& Root() const { return m_root; }
    // After a change of one project (made, or its settings edited): SaveTree without the other
    // projects' files, and this project's project.conf (creating its directory), so that the
    // project's own file never lags behind the tree. False, with `error` message 63024 for the
    // file that could not be written, when either failed.
    bool SaveProject(CTreeNode& node, std::string& error);
    // Writes the project.conf of a project node (creating its directory); false on failure.
    static bool WriteProjectConf(CTreeNode& node);
    // Message 63024: "Error: Failed to write file:", a line break, the quoted path and "!".
    static std::string WriteFailedText(std::string_view path);

    // The text of the refusal for `name` as a child of `parent` (empty when it is good):
    // "Please enter the name.", the invalid-characters message, or "Sorry, this name is used.
    // Please choose another." (`self`, when renaming, is not compared with itself).
    static std::string CheckName(const CTreeNode& parent, std::string_view name,
                                 const CTreeNode* self = nullptr);

    CTreeNode* AddFolder(CTreeNode& parent, std::string_view name);
    CTreeNode* AddProject(CTreeNode& parent, std::unique_ptr<CProjectSettings> settings);
    // Renames after CheckName; false when refused.
    bool RenameItem(CTreeNode& node, std::string_view name);
    // Removes an idle project or a folder without running or waiting projects below it; with
    // `deleteFiles` the projects' files go too. False when refused.
    bool DeleteItem(CTreeNode& node, bool deleteFiles);
    // Moves `node` under `target` (the root or a folder). Empty when moved or when nothing is
    // to be done; the refusal text when a sibling there has the same name.
    std::string MoveItem(CTreeNode& node, CTreeNode& target);
    // Writes a project as a one-project file, a folder or the root as a multi-object file.
    bool ExportItem(CTreeNode& node, const std::string& path);
    // What an export file holds: 0 one project, 1 a folder, 2 the whole tree; -1 when it cannot
    // be read or is not one of ours.
    static int ExportKind(const std::string &path);
    // `name` made acceptable as a folder or project name: characters a name cannot hold become
    // "_", leading and trailing dots too, cut to `capacity`; an empty name stays empty.
    static std::string UsableName(std::string_view name, std::size_t capacity);
    // Imports `path` below `target`. One-project files ask `prompter` for the name and directory
    // as a project conflict does. False when the file cannot be read or is not ours.
    bool ImportFile(const std::string& path, CTreeNode& target, ImportMode mode,
                    IImportPrompter& prompter, std::int32_t now);

    static CTreeNode* FindChildByName(const CTreeNode& parent, std::string_view name, bool exact);
    CTreeNode* FindProjectByDirectory(std::string_view directory);
    // "/" for a project directly under the root, else "/folder/sub".
    static std::string FolderPath(const CTreeNode& node);

private:
    CTreeNode* Insert(CTreeNode& parent, std::unique_ptr<CTreeNode> node);
    void WriteObjects(std::string& out, CTreeNode& node, int level, SettingsBodyMode mode,
                      bool withExpand, bool writeProjectFiles, bool& filesOk);
    std::string StoredDirectory(const std::string& directory) const;
    std::string LoadedDirectory(const std::string& stored, const std::string& name) const;
    bool ImportObjects(CSettingsReader& reader, CTreeNode& target, ImportMode mode,
                       IImportPrompter& prompter);
    // The folder `name` under `parent` for an imported folder: the one there, or a new one; a
    // project of that name makes the folder ask for (Prompt) or take (Automatic) another name.
    // Null when the folder is skipped with its content.
    CTreeNode* ImportFolder(CTreeNode& parent, std::string name, ImportMode mode,
                            IImportPrompter& prompter);
    // The name and directory an imported project gets under `parent`; false when it is skipped.
    bool PlaceImportedProject(const CTreeNode& parent, std::string& name, std::string& directory,
                              ImportMode mode, IImportPrompter& prompter);
    // Asks for another name and directory while the name is taken under `place` or the
    // directory by a project (`askFirst`: once before looking); false when the user cancels.
    bool AskFreeNameAndDirectory(const CTreeNode& place, std::string& name,
                                 std::string& directory, bool askFirst,
                                 IImportPrompter& prompter);
    static void FixParentKind(CTreeNode& node);
    static bool HasActiveProject(const CTreeNode& node);
    static void DeleteProjectFilesBelow(const CTreeNode& node);

    std::string m_treePath;
    std::string m_treeDir;
    std::string m_defaultProjectsDir;
    CTreeNode m_root;
    std::vector<std::unique_ptr<CProjectSettings>> m_settings;
};

} // namespace torvex
