#include "shell/CDefaultDirDialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/OptionChecks.h"
#include "engine/IPrompter.h"
#include "platform/FileSystem.h"

namespace torvex {

CDefaultDirDialog::CDefaultDirDialog(CAppSettings &settings, IPrompter &prompter, QWidget *parent)
    : QDialog(parent), m_settings(settings), m_prompter(prompter) {
    setObjectName(QStringLiteral("defaultDirDialog"));
    setWindowTitle(QStringLiteral("Default Directory"));
    m_directory = new QLineEdit(QString::fromStdString(settings.DefaultDir));
    m_directory->setObjectName(QStringLiteral("defaultDir"));
    m_directory->setMinimumWidth(360);
    auto *browse = new QPushButton(QStringLiteral("Browse..."));
    browse->setObjectName(QStringLiteral("browseDefaultDir"));
    connect(browse, &QPushButton::clicked, this, &CDefaultDirDialog::Browse);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *row = new QHBoxLayout;
    row->addWidget(m_directory, 1);
    row->addWidget(browse);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("New projects are saved in this directory:")));
    layout->addLayout(row);
    layout->addWidget(buttons);
}

void CDefaultDirDialog::Browse() {
    const QString chosen = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Select directory"), m_directory->text());
    if (!chosen.isEmpty()) {
        m_directory->setText(chosen);
    }
}

void CDefaultDirDialog::accept() {
    std::string directory = m_directory->text().trimmed().toStdString();
    while (directory.size() > 1 && directory.back() == '/') {
        directory.pop_back();
    }
    const std::string refusal = DefaultDirRefusal(directory);
    if (!refusal.empty()) {
        m_prompter.Warning(refusal);
        m_directory->setFocus();
        return;
    }
    if (!DirectoryExists(directory)) {
        if (!m_prompter.AskYesNo("The path \"" + directory +
                                     "\" does not exist!\n\nDo you want to create it?",
                                 false)) {
            m_directory->setFocus();
            return;
        }
        MakeDirectoryPath(directory);
        if (!DirectoryExists(directory)) {
            m_prompter.Error("Failed to create the directory \"" + directory + "\".");
            m_directory->setFocus();
            return;
        }
    }
    m_settings.DefaultDir = directory;
    QDialog::accept();
}

} // namespace torvex
