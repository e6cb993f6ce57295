#pragma once

#include "shell/CPropertyPage.h"

namespace torvex {

class CUrlFilterEditor;

// The "URL Filter" tab: the URL filter of the project's first address; over the defaults, the
// host and path choices, the same-level flag and the protocols new addresses get.
class CPageUrlFilter final : public CPropertyPage {
    Q_OBJECT
public:
    explicit CPageUrlFilter(const CPageContext& context, QWidget* parent = nullptr);

    void Load(const CProjectSettings& settings) override;
    bool Store(CProjectSettings& settings) override;

private:
    CUrlFilterEditor* m_editor = nullptr;
};

} // namespace torvex
