#pragma once

#include <functional>
#include <string>

#include <QDialog>

#include "project/CProjectTree.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace torvex {

class IPrompter;

// The small dialogs of the tree pane's commands. Each checks what was typed with the core's
// rules on OK and keeps itself open, with the refusal shown, while they refuse. GUI thread.

// "New Folder" ("Folder name") and "Rename" ("New name"): one name, checked by `check` (the
// refusal text, empty when good).
class CDlgName final : public QDialog {
    Q_OBJECT
public:
    using Check = std::function<std::string(const std::string &)>;
    CDlgName(const QString &caption, const QString &label, const std::string &name,
             std::size_t capacity, Check check, IPrompter &prompter, QWidget *parent = nullptr);
    std::string Name() const;
    QLineEdit *NameEdit() const { return m_name; }
    void accept() override;

private:
    QLineEdit *m_name = nullptr;
    Check m_check;
    IPrompter &m_prompter;
};

// The delete confirmation: the question and "Delete all related files.".
class CDlgDeleteItem final : public QDialog {
    Q_OBJECT
public:
    CDlgDeleteItem(const CTreeNode &node, QWidget *parent = nullptr);
    bool DeleteFiles() const;
    QCheckBox *FilesBox() const { return m_files; }

private:
    QCheckBox *m_files = nullptr;
};

// "Import project": a name and a directory for an imported project, with why it is asked.
class CDlgImportProject final : public QDialog {
    Q_OBJECT
public:
    CDlgImportProject(const std::string &reason, const std::string &name,
                      const std::string &directory, QWidget *parent = nullptr);
    std::string Name() const;
    std::string Directory() const;
    QLineEdit *NameEdit() const { return m_name; }
    QLineEdit *DirectoryEdit() const { return m_directory; }

private:
    QLineEdit *m_name = nullptr;
    QLineEdit *m_directory = nullptr;
};

// "Import Option": how a multi-object import solves names that are taken.
class CDlgImportOption final : public QDialog {
    Q_OBJECT
public:
    explicit CDlgImportOption(QWidget *parent = nullptr);
    ImportMode Mode() const;
    QRadioButton *AutomaticButton() const { return m_automatic; }

private:
    QRadioButton *m_prompt = nullptr;
    QRadioButton *m_automatic = nullptr;
};

// The import's questions as the dialogs above, over `parent`.
class CDialogImportPrompter final : public IImportPrompter {
public:
    CDialogImportPrompter(IPrompter &prompter, QWidget *parent)
        : m_prompter(prompter), m_parent(parent) {}
    bool RenameFolder(std::string &name) override;
    bool ChangeProject(std::string_view reason, std::string &name, std::string &directory) override;

private:
    IPrompter &m_prompter;
    QWidget *m_parent;
};

} // namespace torvex
