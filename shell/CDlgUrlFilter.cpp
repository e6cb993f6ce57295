#include "shell/CDlgUrlFilter.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>

#include "shell/CUrlFilterEditor.h"

namespace torvex {

CDlgUrlFilter::CDlgUrlFilter(const CUrlFilter& filter, bool choicesOnly, IPrompter& prompter,
                             QWidget* parent)
    : QDialog(parent), m_filter(filter) {
    setObjectName(QStringLiteral("urlFilterDialog"));
    setWindowTitle(QStringLiteral("URL Filter"));
    m_editor = new CUrlFilterEditor(prompter, choicesOnly ? CUrlFilterEditor::Scope::ChoicesOnly
                                                          : CUrlFilterEditor::Scope::Full);
    m_editor->Load(filter);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_editor);
    layout->addWidget(buttons);
}

void CDlgUrlFilter::accept() {
    if (m_editor->Store(m_filter)) {
        QDialog::accept();
    }
}

} // namespace torvex
