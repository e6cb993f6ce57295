#pragma once

#include "shell/CPropertyPage.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace torvex {

class CNumberSpin;

// The "Advanced" tab: threads, time-out, retries, the free-space, time and file limits, and the
// user agent (its own text only for "User Defined"), and whether connections are kept open.
class CPageAdvanced final : public CPropertyPage {
    Q_OBJECT
public:
    explicit CPageAdvanced(const CPageContext& context, QWidget* parent = nullptr);
    void Load(const CProjectSettings& settings) override;
    bool Store(CProjectSettings& settings) override;

private:
    void UpdateEnabled();

    CNumberSpin* m_threads = nullptr;
    CNumberSpin* m_timeOut = nullptr;
    CNumberSpin* m_retry = nullptr;
    CNumberSpin* m_freeSpace = nullptr;
    CNumberSpin* m_maxMinute = nullptr;
    CNumberSpin* m_maxFile = nullptr;
    QComboBox* m_agent = nullptr;
    QLineEdit* m_userDefined = nullptr;
    QCheckBox* m_keepAlive = nullptr;
};

} // namespace torvex
