#include "shell/CTreeDialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/TreeCommands.h"
#include "engine/IPrompter.h"
#include "shell/DialogFields.h"

namespace torvex {

namespace {

QDialogButtonBox *OkCancel(QDialog *dialog) {
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

} // namespace

CDlgName::CDlgName(const QString &caption, const QString &label, const std::string &name,
                   std::size_t capacity, Check check, IPrompter &prompter, QWidget *parent)
    : QDialog(parent), m_check(std::move(check)), m_prompter(prompter) {
    setObjectName(QStringLiteral("nameDialog"));
    setWindowTitle(caption);
    m_name = new QLineEdit(Q(name));
    m_name->setObjectName(QStringLiteral("name"));
    m_name->setMaxLength(static_cast<int>(capacity));
    m_name->setMinimumWidth(280);
    m_name->selectAll();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(label));
    layout->addWidget(m_name);
    layout->addWidget(OkCancel(this));
}

std::string CDlgName::Name() const {
    return S(m_name->text());
}

void CDlgName::accept() {
    const std::string refusal = m_check ? m_check(Name()) : std::string();
    if (!refusal.empty()) {
        m_prompter.Warning(refusal);
        m_name->setFocus();
        m_name->selectAll();
        return;
    }
    QDialog::accept();
}

CDlgDeleteItem::CDlgDeleteItem(const CTreeNode &node, QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("deleteDialog"));
    setWindowTitle(Q(DeleteCaption(node)));
    m_files = new QCheckBox(Q(kDeleteFilesText));
    m_files->setObjectName(QStringLiteral("deleteFiles"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(Q(DeleteQuestion(node))));
    layout->addWidget(m_files);
    layout->addWidget(OkCancel(this));
}

bool CDlgDeleteItem::DeleteFiles() const {
    return m_files->isChecked();
}

CDlgImportProject::CDlgImportProject(const std::string &reason, const std::string &name,
                                     const std::string &directory, QWidget *parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("importProjectDialog"));
    setWindowTitle(QStringLiteral("Import project"));
    m_name = new QLineEdit(Q(name));
    m_name->setObjectName(QStringLiteral("importName"));
    m_name->setMaxLength(static_cast<int>(kMaxProjectName));
    m_directory = new QLineEdit(Q(directory));
    m_directory->setObjectName(QStringLiteral("importDirectory"));
    m_directory->setMaxLength(static_cast<int>(kMaxProjectDir));
    m_directory->setMinimumWidth(360);
    auto *browse = new QPushButton(QStringLiteral("Browse..."));
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getExistingDirectory(
            this, QStringLiteral("Select folder"), m_directory->text());
        if (!chosen.isEmpty()) {
            m_directory->setText(chosen);
        }
    });
    auto *layout = new QVBoxLayout(this);
    if (!reason.empty()) {
        auto *why = new QLabel(Q(reason));
        why->setObjectName(QStringLiteral("importReason"));
        why->setStyleSheet(QStringLiteral("color: #b00000"));
        layout->addWidget(why);
    }
    layout->addWidget(new QLabel(QStringLiteral("Please give this project a name")));
    layout->addWidget(m_name);
    layout->addWidget(new QLabel(QStringLiteral("And choose a directory to save this project")));
    auto *row = new QHBoxLayout;
    row->addWidget(m_directory, 1);
    row->addWidget(browse);
    layout->addLayout(row);
    layout->addWidget(OkCancel(this));
}

std::string CDlgImportProject::Name() const {
    return S(m_name->text().trimmed());
}

std::string CDlgImportProject::Directory() const {
    std::string directory = S(m_directory->text().trimmed());
    while (directory.size() > 1 && directory.back() == '/') {
        directory.pop_back();
    }
    return directory;
}

CDlgImportOption::CDlgImportOption(QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("importOptionDialog"));
    setWindowTitle(QStringLiteral("Import Option"));
    m_prompt = new QRadioButton(QStringLiteral("Prompt a dialog for me to make change"));
    m_prompt->setObjectName(QStringLiteral("promptMode"));
    m_automatic = new QRadioButton(
        QStringLiteral("Change it automatically\n(append numeric character at the end)"));
    m_automatic->setObjectName(QStringLiteral("automaticMode"));
    m_prompt->setChecked(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_prompt);
    layout->addWidget(m_automatic);
    layout->addWidget(OkCancel(this));
}

ImportMode CDlgImportOption::Mode() const {
    return m_automatic->isChecked() ? ImportMode::Automatic : ImportMode::Prompt;
}

bool CDialogImportPrompter::RenameFolder(std::string &name) {
    CDlgName dialog(QStringLiteral("Rename"), QStringLiteral("New name"), name, kMaxFolderName,
                    nullptr, m_prompter, m_parent);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    name = dialog.Name();
    return true;
}

bool CDialogImportPrompter::ChangeProject(std::string_view reason, std::string &name,
                                          std::string &directory) {
    CDlgImportProject dialog(std::string(reason), name, directory, m_parent);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    name = dialog.Name();
    directory = dialog.Directory();
    return true;
}

} // namespace torvex
