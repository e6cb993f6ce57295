#pragma once

#include <QDialog>

#include "app/NewAddresses.h"

class QCheckBox;

namespace torvex {

// "New URL Option": whether old addresses are disabled, whether downloaded files are read from
// the local disk, and whether the latest record is kept instead of backed up. Loads the boxes
// when it opens; Options() holds them after OK. GUI thread only.
class CDlgNewUrlOption final : public QDialog {
    Q_OBJECT
public:
    explicit CDlgNewUrlOption(const CNewUrlOptions& options, QWidget* parent = nullptr);
    const CNewUrlOptions& Options() const { return m_options; }
    void accept() override;

private:
    CNewUrlOptions m_options;
    QCheckBox* m_disableOld = nullptr;
    QCheckBox* m_readLocal = nullptr;
    QCheckBox* m_noBackup = nullptr;
};

} // namespace torvex
