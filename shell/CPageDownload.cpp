#include "shell/CPageDownload.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QVBoxLayout>

#include "shell/DialogFields.h"

namespace torvex {

CPageDownload::CPageDownload(const CPageContext& context, QWidget* parent)
    : CPropertyPage(context, parent) {
    setObjectName(QStringLiteral("downloadPage"));
    auto* before = new QGroupBox(QStringLiteral("For files that have been downloaded before"));
    auto* choices = new QVBoxLayout(before);
    m_updateMode = RadioGroup(
        this, choices,
        {QStringLiteral("Read from local disk only. If fails, skip the file"),
         QStringLiteral("Read from local disk first. If fails, download from server"),
         QStringLiteral("Try to download first. If not modified, read from local disk")});
    m_firstPage = new QCheckBox(QStringLiteral("But for the start address, try to download first"));
    m_firstPage->setObjectName(QStringLiteral("firstPage"));
    choices->addWidget(m_firstPage);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(before);
    layout->addStretch();
}

void CPageDownload::Load(const CProjectSettings& settings) {
    SetPosition(m_updateMode, settings.UpdateMode);
    m_firstPage->setChecked(settings.FirstPage != 0);
}

bool CPageDownload::Store(CProjectSettings& settings) {
    settings.UpdateMode = Position(m_updateMode);
    settings.FirstPage = m_firstPage->isChecked() ? 1 : 0;
    return true;
}

} // namespace torvex
