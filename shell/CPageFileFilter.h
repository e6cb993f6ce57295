#pragma once

#include <array>
#include <vector>

#include "app/FileTypeLists.h"
#include "project/CFileTypeFilter.h"
#include "shell/CPropertyPage.h"

class QButtonGroup;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace torvex {

// The "File Filter" tab: "Retrieve all files" or only the checked extensions, the eight
// categories as a tree with a check box per extension, "<< Add" and ">> Delete", and whether
// files with other extensions and without extension are retrieved. A list the user did not
// touch is written back exactly as it was read.
class CPageFileFilter final : public CPropertyPage {
    Q_OBJECT
public:
    explicit CPageFileFilter(const CPageContext& context, QWidget* parent = nullptr);
    void Load(const CProjectSettings& settings) override;
    bool Store(CProjectSettings& settings) override;

    QTreeWidget* Tree() const { return m_tree; }
    QLineEdit* ExtensionField() const { return m_extension; }
    // "<< Add" into the category of the current item ("Other" when none is current).
    void AddTyped();
    // ">> Delete" of the current extension, after the question.
    void DeleteCurrent();

private:
    void Fill();
    void UpdateEnabled();
    void OnItemChanged(QTreeWidgetItem* item, int column);
    int CategoryOf(const QTreeWidgetItem* item) const;

    std::array<std::vector<CExtensionItem>, kFileFilterGroups> m_items;
    std::array<bool, kFileFilterGroups> m_changed{};
    QButtonGroup* m_all = nullptr;
    QButtonGroup* m_other = nullptr;
    QButtonGroup* m_noExt = nullptr;
    QTreeWidget* m_tree = nullptr;
    QLineEdit* m_extension = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_delete = nullptr;
    bool m_filling = false;
};

} // namespace torvex
