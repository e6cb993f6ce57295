#pragma once

#include "shell/CPropertyPage.h"

class QButtonGroup;
class QCheckBox;

namespace torvex {

// The "Download" tab: UpdateMode (for files downloaded before) and FirstPage.
class CPageDownload final : public CPropertyPage {
    Q_OBJECT
public:
    explicit CPageDownload(const CPageContext& context, QWidget* parent = nullptr);
    void Load(const CProjectSettings& settings) override;
    bool Store(CProjectSettings& settings) override;

private:
    QButtonGroup* m_updateMode = nullptr;
    QCheckBox* m_firstPage = nullptr;
};

} // namespace torvex
