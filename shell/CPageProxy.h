#pragma once

#include "shell/CPropertyPage.h"

class QButtonGroup;
class QLineEdit;

namespace torvex {

class CNumberSpin;

// The "Proxy" tab: the default proxy of the application or the project's own (no proxy, HTTP,
// SOCKS5, with server, port, user name and password).
class CPageProxy final : public CPropertyPage {
    Q_OBJECT
public:
    explicit CPageProxy(const CPageContext& context, QWidget* parent = nullptr);
    void Load(const CProjectSettings& settings) override;
    bool Store(CProjectSettings& settings) override;

private:
    void UpdateEnabled();

    QButtonGroup* m_which = nullptr;
    QButtonGroup* m_proxy = nullptr;
    QLineEdit* m_server = nullptr;
    CNumberSpin* m_port = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
};

} // namespace torvex
