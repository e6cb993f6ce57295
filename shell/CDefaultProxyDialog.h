#pragma once

#include <QDialog>

#include "project/CAppSettings.h"

class QButtonGroup;
class QLineEdit;

namespace torvex {

// "Default Proxy Server": the proxy that projects using the default one get (mode, server,
// port, user, password). Loads the settings when made, stores them in accept(); the caller
// saves them. GUI thread.
class CDefaultProxyDialog final : public QDialog {
    Q_OBJECT
public:
    CDefaultProxyDialog(CAppSettings &settings, QWidget *parent = nullptr);
    void accept() override;

private:
    void UpdateFields();

    CAppSettings &m_settings;
    QButtonGroup *m_mode = nullptr;
    QLineEdit *m_server = nullptr;
    QLineEdit *m_port = nullptr;
    QLineEdit *m_user = nullptr;
    QLineEdit *m_password = nullptr;
};

} // namespace torvex
