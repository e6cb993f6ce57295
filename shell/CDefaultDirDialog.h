#pragma once

#include <QDialog>

#include "project/CAppSettings.h"

class QLineEdit;

namespace torvex {

class IPrompter;

// "Default Directory": the folder new projects are made in. A folder that does not exist is
// offered for creation; a refused one keeps the dialog open. Stores DefaultDir in accept(); the
// caller saves it. GUI thread.
class CDefaultDirDialog final : public QDialog {
    Q_OBJECT
public:
    CDefaultDirDialog(CAppSettings &settings, IPrompter &prompter, QWidget *parent = nullptr);
    void accept() override;

private:
    void Browse();

    CAppSettings &m_settings;
    IPrompter &m_prompter;
    QLineEdit *m_directory = nullptr;
};

} // namespace torvex
