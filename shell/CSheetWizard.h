#pragma once

#include <string>

#include <QWizard>

#include "app/NewProjectWizard.h"

class QCheckBox;
class QLineEdit;

namespace torvex {

class CNumberSpin;
class IPrompter;

// The new-project wizard: step 1 names the project and its directory (checked against the
// target folder and the other projects; a missing directory is offered for creation), step 2
// takes the start address, its level and "Backup latest record". Finish adds the project below
// the target folder and saves the tree and its project.conf; CreatedNode() is the new node.
// GUI thread only.
class CSheetWizard final : public QWizard {
    Q_OBJECT
public:
    CSheetWizard(CProjectTree& tree, CTreeNode& target, const CProjectSettings& defaults,
                 const CWizardValues& start, const std::string& defaultDir, IPrompter& prompter,
                 QWidget* parent = nullptr);

    CTreeNode* CreatedNode() const { return m_created; }
    QLineEdit* NameField() const { return m_name; }
    QLineEdit* DirectoryField() const { return m_directory; }
    QLineEdit* AddressField() const { return m_address; }
    CNumberSpin* LevelField() const { return m_level; }
    QCheckBox* BackupBox() const { return m_backup; }

    // "Next" on step 1 and "Finish" on step 2.
    bool ValidateNamePage();
    bool ValidateAddressPage();
    void accept() override;

private:
    QWizardPage* NamePage();
    QWizardPage* AddressPage();
    void OnNameEdited(const QString& name);
    void BrowseDirectory();

    CProjectTree& m_tree;
    CTreeNode& m_target;
    const CProjectSettings& m_defaults;
    std::string m_defaultDir;
    IPrompter& m_prompter;
    CWizardValues m_values;
    std::string m_lastName;
    CTreeNode* m_created = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_directory = nullptr;
    QLineEdit* m_address = nullptr;
    CNumberSpin* m_level = nullptr;
    QCheckBox* m_backup = nullptr;
};

} // namespace torvex
