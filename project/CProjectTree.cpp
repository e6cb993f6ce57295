#include "project/CProjectTree.h"

#include <algorithm>
#include <limits>

#include "base/AsciiCase.h"
#include "base/BoundedText.h"
#include "base/CSettingsReader.h"
#include "platform/FileSystem.h"
#include "project/ProjectFiles.h"

namespace torvex {

namespace {

constexpr int kTypeFolder = 1;
constexpr int kTypeProject = 2;

constexpr std::string_view kNameEmptyText = "Please enter the name.";
constexpr std::string_view kNameInvalidText =
    "Sorry, the name contains invalid characters. Please try another name.\n"
    "Note, the following characters are invalid: \\, /, *, ?, \", <, >, |.";
constexpr std::string_view kNameTooLongText =
    "Sorry, the name should be no longer than 64 characters.";
constexpr std::string_view kMoveRefusedText =
    "Sorry, you cannot move it. Because there is a project or folder of the same name in the "
    "target folder.";

std::string OneLine(std::string_view text) {
    return std::string(text.substr(0, text.find_first_of("\r\n")));
}

void Append(std::string& out, std::string_view key, std::string_view value) {
    out.append(key);
    out.push_back('=');
    out.append(OneLine(value));
    out.push_back('\n');
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// Where an object of `level`, read after `current` (at `currentLevel`), goes: below `current`
// when it is deeper (a larger jump counts as one), else below the ancestor one level above
// `level`, never climbing past `top`. `placedLevel` gets the object's own level, at least
// `minLevel`.
CTreeNode* PlaceByLevel(CTreeNode& current, int currentLevel, int level, const CTreeNode& top,
                        int minLevel, int& placedLevel) {
    if (level > currentLevel) {
        placedLevel = currentLevel + 1;
        return &current;
    }
    CTreeNode* parent = &current;
    for (int up = currentLevel - level + 1; up > 0 && parent != &top; --up) {
        parent = parent->parent;
    }
    placedLevel = std::max(level, minLevel);
    return parent;
}

bool IsAncestorOf(const CTreeNode& node, const CTreeNode* other) {
    for (; other != nullptr; other = other->parent) {
        if (other == &node) {
            return true;
        }
    }
    return false;
}

// `name` with the first number from 1 on that no child of `parent` has (a folder of that name
// will do when `folderMayMerge`); false when every number is taken.
bool UniqueChildName(const CTreeNode& parent, const std::string& name, bool folderMayMerge,
                     std::string& out) {
    for (int n = 1; n <= kMaxUniqueSuffix; ++n) {
        out = name + std::to_string(n);
        const CTreeNode* same = CProjectTree::FindChildByName(parent, out, false);
        if (same == nullptr || (folderMayMerge && same->IsFolder())) {
            return true;
        }
    }
    return false;
}

} // namespace

CProjectTree::CProjectTree(std::string treePath, std::string defaultProjectsDir)
    : m_treePath(std::move(treePath)),
      m_treeDir(DirectoryOf(m_treePath)),
      m_defaultProjectsDir(std::move(defaultProjectsDir)) {
    m_root.kind = NodeKind::RootCollapsed;
    m_root.label = std::string(kRootLabel);
}

std::string CProjectTree::CheckName(const CTreeNode& parent, std::string_view name,
                                    const CTreeNode* self) {
    if (name.empty()) {
        return std::string(kNameEmptyText);
    }
    if (name.front() == '.' || name.back() == '.' || HasControlCharacter(name) ||
        name.find_first_of("\\/:*?<>|\"") != std::string_view::npos) {
        return std::string(kNameInvalidText);
    }
    if (name.size() > kMaxFolderName) {
        return std::string(kNameTooLongText);
    }
    for (const auto& child : parent.children) {
        if (child.get() != self && EqualsNoCase(child->label, name)) {
            return std::string(kNameUsedText);
        }
    }
    // Renaming a node to its own name in other letters is a name in use as well.
    if (self != nullptr && EqualsNoCase(self->label, name)) {
        return std::string(kNameUsedText);
    }
    return {};
}

CTreeNode* CProjectTree::Insert(CTreeNode& parent, std::unique_ptr<CTreeNode> node) {
    node->parent = &parent;
    CTreeNode* raw = node.get();
    if (raw->IsFolder()) {
        // After the last folder child: folders stay ahead of projects.
        const auto firstProject =
            std::find_if(parent.children.begin(), parent.children.end(),
                         [](const std::unique_ptr<CTreeNode>& child) { return child->IsProject(); });
        parent.children.insert(firstProject, std::move(node));
    } else {
        parent.children.push_back(std::move(node));
    }
    return raw;
}

CTreeNode* CProjectTree::AddFolder(CTreeNode& parent, std::string_view name) {
    if (parent.IsProject() || !CheckName(parent, name).empty()) {
        return nullptr;
    }
    auto node = std::make_unique<CTreeNode>();
    node->kind = NodeKind::FolderCollapsed;
    AssignCut(node->label, name, kMaxFolderName);
    return Insert(parent, std::move(node));
}

CTreeNode* CProjectTree::AddProject(CTreeNode& parent, std::unique_ptr<CProjectSettings> settings) {
    if (parent.IsProject() || !settings || !CheckName(parent, settings->Name).empty()) {
        return nullptr;
    }
    auto node = std::make_unique<CTreeNode>();
    node->kind = settings->TimeDownload ? NodeKind::ProjectOnTimer : NodeKind::ProjectIdle;
    node->label = settings->Name;
    node->project = settings.get();
    m_settings.push_back(std::move(settings));
    return Insert(parent, std::move(node));
}

bool CProjectTree::RenameItem(CTreeNode& node, std::string_view name) {
    if (node.IsRoot() || node.parent == nullptr || !CheckName(*node.parent, name, &node).empty()) {
        return false;
    }
    AssignCut(node.label, name, node.IsFolder() ? kMaxFolderName : kMaxProjectName);
    if (node.project != nullptr) {
        node.project->Name = node.label;
    }
    return true;
}

bool CProjectTree::HasActiveProject(const CTreeNode& node) {
    if (node.kind == NodeKind::ProjectRunning || node.kind == NodeKind::ProjectWaiting) {
        return true;
    }
    return std::any_of(node.children.begin(), node.children.end(),
                       [](const std::unique_ptr<CTreeNode>& child) { return HasActiveProject(*child); });
}

void CProjectTree::DeleteProjectFilesBelow(const CTreeNode& node) {
    for (const auto& child : node.children) {
        DeleteProjectFilesBelow(*child);
    }
    if (node.project != nullptr && !node.project->ProjectDir.empty()) {
        DeleteProjectFiles(node.project->ProjectDir, true);
    }
}

void CProjectTree::FixParentKind(CTreeNode& node) {
    if (!node.children.empty()) {
        return;
    }
    if (node.IsRoot()) {
        node.kind = NodeKind::RootCollapsed;
    } else if (node.IsFolder()) {
        node.kind = NodeKind::FolderCollapsed;
    }
}

bool CProjectTree::DeleteItem(CTreeNode& node, bool deleteFiles) {
    if (node.IsRoot() || node.parent == nullptr || HasActiveProject(node)) {
        return false;
    }
    if (deleteFiles) {
        DeleteProjectFilesBelow(node);
    }
    CTreeNode& parent = *node.parent;
    std::erase_if(parent.children,
                  [&node](const std::unique_ptr<CTreeNode>& child) { return child.get() == &node; });
    FixParentKind(parent);
    return true;
}

std::string CProjectTree::MoveItem(CTreeNode& node, CTreeNode& target) {
    if (node.IsRoot() || target.IsProject() || &target == &node || &target == node.parent ||
        IsAncestorOf(node, &target)) {
        return {};
    }
    if (FindChildByName(target, node.label, false) != nullptr) {
        return std::string(kMoveRefusedText);
    }
    CTreeNode& oldParent = *node.parent;
    auto found = std::find_if(oldParent.children.begin(), oldParent.children.end(),
                              [&node](const std::unique_ptr<CTreeNode>& child) { return child.get() == &node; });
    std::unique_ptr<CTreeNode> moved = std::move(*found);
    oldParent.children.erase(found);
    Insert(target, std::move(moved));
    target.kind = target.IsRoot() ? NodeKind::RootExpanded : NodeKind::FolderExpanded;
    FixParentKind(oldParent);
    return {};
}

CTreeNode* CProjectTree::FindChildByName(const CTreeNode& parent, std::string_view name, bool exact) {
    for (const auto& child : parent.children) {
        if (exact ? child->label == name : EqualsNoCase(child->label, name)) {
            return child.get();
        }
    }
    return nullptr;
}

CTreeNode* CProjectTree::FindProjectByDirectory(std::string_view directory) {
    std::vector<CTreeNode*> stack{&m_root};
    while (!stack.empty()) {
        CTreeNode* node = stack.back();
        stack.pop_back();
        if (node->project != nullptr && EqualsNoCase(node->project->ProjectDir, directory)) {
            return node;
        }
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) {
            stack.push_back(it->get());
        }
    }
    return nullptr;
}

std::string CProjectTree::FolderPath(const CTreeNode& node) {
    std::vector<const std::string*> names;
    for (const CTreeNode* p = node.parent; p != nullptr && !p->IsRoot(); p = p->parent) {
        names.push_back(&p->label);
    }
    if (names.empty()) {
        return "/";
    }
    std::string path;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        path += "/" + **it;
    }
    return path;
}

std::string CProjectTree::StoredDirectory(const std::string& directory) const {
    // Kept relative to the tree file's folder where it lies below it, so that the folder can
    // move as a whole.
    const std::string prefix = m_treeDir + "/";
    if (directory.size() > prefix.size() && directory.compare(0, prefix.size(), prefix) == 0) {
        return directory.substr(prefix.size());
    }
    return directory;
}

std::string CProjectTree::LoadedDirectory(const std::string& stored, const std::string& name) const {
    if (stored.empty()) {
        std::string directory = m_defaultProjectsDir + "/" + name;
        CutTo(directory, kMaxProjectDir);
        return directory;
    }
    if (stored.front() == '/') {
        return stored;
    }
    return m_treeDir + "/" + stored;
}

void CProjectTree::WriteObjects(std::string& out, CTreeNode& node, int level,
                                SettingsBodyMode mode, bool withExpand, bool writeProjectFiles,
                                bool& filesOk) {
    out += "[Object]\n";
    if (node.IsFolder()) {
        Append(out, "Type", std::to_string(kTypeFolder));
        if (withExpand) {
            Append(out, "Expand", node.IsExpanded() ? "1" : "0");
        }
        Append(out, "Level", std::to_string(level));
        Append(out, "Name", node.label);
        for (auto& child : node.children) {
            WriteObjects(out, *child, level + 1, mode, withExpand, writeProjectFiles, filesOk);
        }
        return;
    }
    CProjectSettings& project = *node.project;
    Append(out, "Type", std::to_string(kTypeProject));
    Append(out, "Level", std::to_string(level));
    Append(out, "Name", node.label);
    if (mode == SettingsBodyMode::TreeFile) {
        Append(out, "ProjectDir", StoredDirectory(project.ProjectDir));
    }
    project.WriteSettingsBody(out, mode);
    if (writeProjectFiles) {
        filesOk = WriteProjectConf(node) && filesOk;
    }
}

bool CProjectTree::WriteProjectConf(CTreeNode& node) {
    if (node.project == nullptr) {
        return false;
    }
    CProjectSettings& project = *node.project;
    MakeDirectoryPath(project.ProjectDir);
    return project.WriteProjectFile(project.ProjectDir + "/project.conf", FolderPath(node));
}

std::string CProjectTree::WriteFailedText(std::string_view path) {
    return "Error: Failed to write file:\n\"" + std::string(path) + "\"!";
}

bool CProjectTree::SaveProject(CTreeNode& node, std::string& error) {
    error.clear();
    if (!SaveTree(false)) {
        error = WriteFailedText(m_treePath);
        return false;
    }
    if (node.project != nullptr && !WriteProjectConf(node)) {
        error = WriteFailedText(node.project->ProjectDir + "/project.conf");
        return false;
    }
    return true;
}

bool CProjectTree::SaveTree(bool writeProjectFiles) {
    std::string out;
    Append(out, "TorvexVersion", kTreeVersion);
    Append(out, "ROOT_EXPAND", m_root.IsExpanded() ? "1" : "0");
    bool filesOk = true;
    for (auto& child : m_root.children) {
        WriteObjects(out, *child, 1, SettingsBodyMode::TreeFile, true, writeProjectFiles, filesOk);
    }
    return WriteFileText(m_treePath, out);
}

bool CProjectTree::SaveAll(std::string& error) {
    if (!SaveTree(true)) {
        error = WriteFailedText(m_treePath);
        return false;
    }
    CopyFileOver(m_treePath, m_treePath + ".bak");
    error.clear();
    return true;
}

bool CProjectTree::LoadTree() {
    CSettingsReader reader;
    std::string version;
    if (!reader.Open(m_treePath) || !reader.ReadText("TorvexVersion", version, 16)) {
        std::string fresh;
        Append(fresh, "TorvexVersion", kTreeVersion);
        Append(fresh, "ROOT_EXPAND", "0");
        WriteFileText(m_treePath, fresh);
        reader.OpenText(fresh);
    }
    m_root.children.clear();
    m_root.kind = NodeKind::RootCollapsed;
    bool rootExpanded = false;
    reader.ReadFlag("ROOT_EXPAND", rootExpanded);

    CTreeNode* current = &m_root;
    int currentLevel = 0;
    std::vector<CTreeNode*> expandLater;
    while (reader.FindSection("Object")) {
        int type = 0;
        int level = 0;
        reader.ReadInt("Type", type);
        reader.ReadInt("Level", level);
        if (type != kTypeFolder && type != kTypeProject) {
            continue;
        }
        // Children of the root are level 1, whatever the file says.
        CTreeNode* parent = PlaceByLevel(*current, currentLevel, level, m_root, 1, level);
        std::string name;
        reader.ReadText("Name", name, type == kTypeFolder ? kMaxFolderName : kMaxProjectName);
        auto node = std::make_unique<CTreeNode>();
        node->label = name;
        if (type == kTypeFolder) {
            bool expand = false;
            reader.ReadFlag("Expand", expand);
            node->kind = NodeKind::FolderCollapsed;
            CTreeNode* inserted = parent->children.emplace_back(std::move(node)).get();
            inserted->parent = parent;
            if (expand) {
                expandLater.push_back(inserted);
            }
            current = inserted;
        } else {
            if (name.empty()) {
                continue;
            }
            auto settings = std::make_unique<CProjectSettings>();
            settings->LoadSettingsBody(reader, false);
            settings->Name = name;
            settings->Validate();
            settings->ProjectDir = LoadedDirectory(settings->ProjectDir, name);
            node->kind = settings->TimeDownload ? NodeKind::ProjectOnTimer : NodeKind::ProjectIdle;
            node->project = settings.get();
            m_settings.push_back(std::move(settings));
            CTreeNode* inserted = parent->children.emplace_back(std::move(node)).get();
            inserted->parent = parent;
            current = inserted;
        }
        currentLevel = level;
    }
    for (CTreeNode* folder : expandLater) {
        folder->kind = NodeKind::FolderExpanded;
    }
    if (rootExpanded) {
        m_root.kind = NodeKind::RootExpanded;
    }
    return true;
}

bool CProjectTree::ExportItem(CTreeNode& node, const std::string& path) {
    if (node.IsProject()) {
        return node.project->WriteProjectFile(path, "");
    }
    std::string out;
    Append(out, "TorvexVersion", kTreeVersion);
    Append(out, "Export", node.IsRoot() ? "2" : "1");
    bool unused = true;
    if (node.IsRoot()) {
        for (auto& child : node.children) {
            WriteObjects(out, *child, 1, SettingsBodyMode::ExportFile, false, false, unused);
        }
    } else {
        WriteObjects(out, node, 0, SettingsBodyMode::ExportFile, false, false, unused);
    }
    return WriteFileText(path, out);
}

int CProjectTree::ExportKind(const std::string &path) {
    CSettingsReader reader;
    std::string version;
    if (!reader.Open(path) || !reader.ReadText("TorvexVersion", version, 16)) {
        return -1;
    }
    int exported = 0;
    reader.ReadInt("Export", exported);
    return exported == 0 ? 0 : (exported == 2 ? 2 : 1);
}

std::string CProjectTree::UsableName(std::string_view name, std::size_t capacity) {
    std::string usable(name.substr(0, std::min(name.size(), capacity)));
    for (char &c : usable) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f ||
            std::string_view("\\/:*?<>|\"").find(c) != std::string_view::npos) {
            c = '_';
        }
    }
    if (!usable.empty() && usable.front() == '.') {
        usable.front() = '_';
    }
    if (!usable.empty() && usable.back() == '.') {
        usable.back() = '_';
    }
    return usable;
}

bool CProjectTree::ImportFile(const std::string& path, CTreeNode& target, ImportMode mode,
                              IImportPrompter& prompter, std::int32_t now) {
    CTreeNode& place = target.IsProject() ? *target.parent : target;
    CSettingsReader reader;
    std::string version;
    if (!reader.Open(path) || !reader.ReadText("TorvexVersion", version, 16)) {
        return false;
    }
    int exported = 0;
    reader.ReadInt("Export", exported);
    if (exported == 0) {
        auto settings = std::make_unique<CProjectSettings>();
        if (!settings->LoadProjectFile(path, nullptr)) {
            return false;
        }
        std::string name = settings->Name;
        std::string directory = m_defaultProjectsDir + "/" + name;
        if (!AskFreeNameAndDirectory(place, name, directory, true, prompter)) {
            return true;   // the user cancelled: nothing imported, nothing wrong
        }
        settings->Name = name;
        settings->ProjectDir = directory;
        settings->CreateTime = now;
        return AddProject(place, std::move(settings)) != nullptr;
    }
    return ImportObjects(reader, place, mode, prompter);
}

bool CProjectTree::AskFreeNameAndDirectory(const CTreeNode& place, std::string& name,
                                           std::string& directory, bool askFirst,
                                           IImportPrompter& prompter) {
    std::string reasonText;
    for (bool first = true;; first = false) {
        // Why the name or directory cannot be taken; empty when both can.
        std::string_view reason;
        const std::string refusal = CheckName(place, name);
        if (refusal == kNameUsedText) {
            reason = "Name has been used";
        } else if (!refusal.empty()) {
            reasonText = refusal;
            reason = reasonText;
        } else if (directory.empty() || directory.front() != '/') {
            reason = "Please choose a full directory path for the project.";
        } else if (FindProjectByDirectory(directory) != nullptr) {
            reason = "Project directory has been used";
        }
        if (reason.empty() && !(first && askFirst)) {
            return true;
        }
        if (!prompter.ChangeProject(reason, name, directory)) {
            return false;
        }
    }
}

CTreeNode* CProjectTree::ImportFolder(CTreeNode& parent, std::string name, ImportMode mode,
                                      IImportPrompter& prompter) {
    CTreeNode* same = FindChildByName(parent, name, false);
    // A project of that name is in the way, or the name is one no folder can have.
    const bool unusable = same == nullptr && !CheckName(parent, name).empty();
    if ((same != nullptr && same->IsProject()) || unusable) {
        std::string other;
        bool renamed = false;
        if (mode == ImportMode::Prompt) {
            other = name;
            while ((renamed = prompter.RenameFolder(other)) && !CheckName(parent, other).empty()) {
                const CTreeNode *merge = FindChildByName(parent, other, false);
                if (merge != nullptr && merge->IsFolder()) {
                    break;
                }
            }
        } else {
            const std::string usable = UsableName(name, kMaxFolderName);
            const CTreeNode *taken = FindChildByName(parent, usable, false);
            if (!usable.empty() && (taken == nullptr || taken->IsFolder())) {
                other = usable;
                renamed = true;
            } else {
                renamed = UniqueChildName(parent, usable.empty() ? "Folder" : usable, true, other);
            }
        }
        if (!renamed) {
            return nullptr;
        }
        name = other;
        same = FindChildByName(parent, name, false);
    }
    return same != nullptr ? same : AddFolder(parent, name);
}

bool CProjectTree::PlaceImportedProject(const CTreeNode &parent, std::string &name,
                                        std::string &directory, ImportMode mode,
                                        IImportPrompter &prompter) {
    if (mode != ImportMode::Automatic) {
        directory = m_defaultProjectsDir + "/" + name;
        return AskFreeNameAndDirectory(parent, name, directory, false, prompter);
    }
    name = UsableName(name, kMaxProjectName);
    directory = m_defaultProjectsDir + "/" + name;
    if (FindChildByName(parent, name, false) != nullptr) {
        std::string other;
        if (!UniqueChildName(parent, name, false, other)) {
            return false;
        }
        name = other;
        directory = m_defaultProjectsDir + "/" + name;
    }
    if (FindProjectByDirectory(directory) == nullptr) {
        return true;
    }
    for (int n = 1; n <= kMaxUniqueSuffix; ++n) {
        if (FindProjectByDirectory(directory + std::to_string(n)) == nullptr) {
            directory += std::to_string(n);
            return true;
        }
    }
    return false;
}

bool CProjectTree::ImportObjects(CSettingsReader& reader, CTreeNode& target, ImportMode mode,
                                 IImportPrompter& prompter) {
    CTreeNode* current = &target;
    int currentLevel = 0;
    int skipBelow = -1;   // a skipped folder's level: its content is skipped with it
    while (reader.FindSection("Object")) {
        int type = 0;
        int level = 0;
        reader.ReadInt("Type", type);
        reader.ReadInt("Level", level);
        if (type != kTypeFolder && type != kTypeProject) {
            continue;
        }
        if (skipBelow >= 0) {
            if (level > skipBelow) {
                continue;
            }
            skipBelow = -1;
        }
        // Placed by level as the tree file is, with the target as the top: nothing climbs
        // above it, and level 0 goes directly under it.
        int placedLevel = level;
        CTreeNode* parent = PlaceByLevel(*current, currentLevel, level, target,
                                         std::numeric_limits<int>::min(), placedLevel);
        std::string name;
        reader.ReadText("Name", name, type == kTypeFolder ? kMaxFolderName : kMaxProjectName);
        if (type == kTypeFolder) {
            CTreeNode* folder = ImportFolder(*parent, name, mode, prompter);
            if (folder == nullptr) {
                skipBelow = level;
                continue;
            }
            current = folder;
            currentLevel = placedLevel;
            continue;
        }
        auto settings = std::make_unique<CProjectSettings>();
        settings->LoadSettingsBody(reader, true);
        if (name.empty()) {
            continue;
        }
        settings->Validate();
        std::string directory;
        if (!PlaceImportedProject(*parent, name, directory, mode, prompter)) {
            continue;
        }
        settings->Name = name;
        settings->ProjectDir = directory;
        CTreeNode* added = AddProject(*parent, std::move(settings));
        // A project is never the parent of what follows in a file we write; placement keeps
        // following the levels all the same.
        if (added != nullptr) {
            added->kind = NodeKind::ProjectIdle;
            current = added;
            currentLevel = placedLevel;
        }
    }
    target.kind = target.IsRoot() ? NodeKind::RootExpanded : NodeKind::FolderExpanded;
    return true;
}

} // namespace torvex
