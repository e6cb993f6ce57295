#pragma once

#include <array>
#include <string>

#include <QDialog>

#include "project/CProjectTree.h"

class QLineEdit;
class QPushButton;
class QTabWidget;

namespace torvex {

class CPageBasic;
class CPropertyPage;
class IPrompter;

// The tabs of the property dialog, in order; the project commands F3..F10 open it on one.
enum class PropertyTab : int {
    Basic = 0,
    UrlFilter = 1,
    FileFilter = 2,
    Download = 3,
    Linkage = 4,
    Proxy = 5,
    Advanced = 6,
};
constexpr int kPropertyTabs = 7;

// The property dialog of a project, or (captioned "Default settings") of the defaults file: seven
// tabs over a copy of the settings, made when it opens, and for a project the "Project
// directory" field at the bottom. Leaving a tab stores and checks it (a refused value keeps the
// tab, with the field focused); OK stores the current tab and the directory and copies the
// settings back into the project (saving the tree and project.conf) or writes default.conf.
// Cancel changes nothing. GUI thread only.
class CSheetProperty final : public QDialog {
    Q_OBJECT
public:
    // A project's properties; `workDir` gives the defaults new addresses start from.
    CSheetProperty(CProjectTree& tree, CTreeNode& node, const std::string& workDir,
                   IPrompter& prompter, QWidget* parent = nullptr);
    // "Default settings" over <workDir>/Config/default.conf.
    CSheetProperty(const std::string& workDir, IPrompter& prompter, QWidget* parent = nullptr);

    void ShowTab(PropertyTab tab);
    QTabWidget* Tabs() const { return m_tabs; }
    QLineEdit* DirectoryField() const { return m_directory; }
    const CProjectSettings& Edited() const { return m_edited; }

    void accept() override;

private:
    void Build(bool defaults, bool addressesLocked);
    void OnTabChanged(int index);
    bool StoreTab(int index);
    void EditStartAddress();
    void EditAddressList();
    void BrowseDirectory();

    IPrompter& m_prompter;
    std::string m_workDir;
    CProjectTree* m_tree = nullptr;
    CTreeNode* m_node = nullptr;
    CProjectSettings m_defaults; // what new addresses start from
    CProjectSettings m_edited;
    QTabWidget* m_tabs = nullptr;
    std::array<CPropertyPage*, kPropertyTabs> m_pages{};
    CPageBasic* m_basic = nullptr;
    QLineEdit* m_directory = nullptr;
    QPushButton* m_browse = nullptr;
    int m_current = 0;
    bool m_switching = false;
};

} // namespace torvex
