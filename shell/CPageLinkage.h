#pragma once

#include "shell/CPropertyPage.h"

class QButtonGroup;
class QCheckBox;

namespace torvex {

// The "Linkage" tab: Link (where unretrieved files are linked), AutoExt and AutoConvert.
class CPageLinkage final : public CPropertyPage {
    Q_OBJECT
public:
    explicit CPageLinkage(const CPageContext& context, QWidget* parent = nullptr);
    void Load(const CProjectSettings& settings) override;
    bool Store(CProjectSettings& settings) override;

private:
    QButtonGroup* m_link = nullptr;
    QCheckBox* m_autoExt = nullptr;
    QCheckBox* m_autoConvert = nullptr;
};

} // namespace torvex
