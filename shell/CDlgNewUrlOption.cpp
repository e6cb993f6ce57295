#include "shell/CDlgNewUrlOption.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QVBoxLayout>

namespace torvex {

CDlgNewUrlOption::CDlgNewUrlOption(const CNewUrlOptions& options, QWidget* parent)
    : QDialog(parent), m_options(options) {
    setObjectName(QStringLiteral("newUrlOption"));
    setWindowTitle(QStringLiteral("New URL Option"));
    m_disableOld = new QCheckBox(QStringLiteral("Download new URL only(disable old URLs)"));
    m_disableOld->setObjectName(QStringLiteral("disableOld"));
    m_readLocal = new QCheckBox(QStringLiteral("Read downloaded files from local"));
    m_readLocal->setObjectName(QStringLiteral("readLocal"));
    m_noBackup =
        new QCheckBox(QStringLiteral("Save files in the latest download record(don't backup)"));
    m_noBackup->setObjectName(QStringLiteral("noBackup"));
    m_disableOld->setChecked(options.disableOld);
    m_readLocal->setChecked(options.readLocal);
    m_noBackup->setChecked(options.noBackup);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_disableOld);
    layout->addWidget(m_readLocal);
    layout->addWidget(m_noBackup);
    layout->addWidget(buttons);
}

void CDlgNewUrlOption::accept() {
    m_options.disableOld = m_disableOld->isChecked();
    m_options.readLocal = m_readLocal->isChecked();
    m_options.noBackup = m_noBackup->isChecked();
    QDialog::accept();
}

} // namespace torvex
