#include "shell/CPropertyPage.h"

namespace torvex {

CPropertyPage::CPropertyPage(const CPageContext& context, QWidget* parent)
    : QWidget(parent), m_context(context) {}

CStartAddress& CPropertyPage::FirstAddress(CProjectSettings& settings) const {
    if (settings.Addresses.empty()) {
        settings.Addresses.push_back(m_context.newAddress);
    }
    return settings.Addresses.front();
}

} // namespace torvex
