#include "shell/CPageLinkage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QVBoxLayout>

#include "shell/DialogFields.h"

namespace torvex {

CPageLinkage::CPageLinkage(const CPageContext& context, QWidget* parent)
    : CPropertyPage(context, parent) {
    setObjectName(QStringLiteral("linkagePage"));
    auto* link = new QGroupBox(QStringLiteral("Link the unretrieved file to"));
    auto* choices = new QVBoxLayout(link);
    m_link = RadioGroup(this, choices,
                        {QStringLiteral("the local address where the file should be placed"),
                         QStringLiteral("the absolute URL of the file")});
    m_autoExt = new QCheckBox(QStringLiteral(
        "Append the extension \".html\" to HTML files for browsers to identify the type of the "
        "file"));
    m_autoExt->setObjectName(QStringLiteral("autoExt"));
    m_autoConvert =
        new QCheckBox(QStringLiteral("Convert links if necessary when download is finished"));
    m_autoConvert->setObjectName(QStringLiteral("autoConvert"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(link);
    layout->addWidget(m_autoExt);
    layout->addWidget(m_autoConvert);
    layout->addStretch();
}

void CPageLinkage::Load(const CProjectSettings& settings) {
    SetPosition(m_link, settings.Link);
    m_autoExt->setChecked(settings.AutoExt);
    m_autoConvert->setChecked(settings.AutoConvert);
}

bool CPageLinkage::Store(CProjectSettings& settings) {
    settings.Link = Position(m_link);
    settings.AutoExt = m_autoExt->isChecked();
    settings.AutoConvert = m_autoConvert->isChecked();
    return true;
}

} // namespace torvex
