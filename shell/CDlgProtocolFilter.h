#pragma once

#include <QDialog>

class QCheckBox;

namespace torvex {

// "Protocol Filter": "Download via" HTTP and FTP, shown inverted from the bits of a URL filter's
// ProtocolFilter. Reads the bits when it opens; Bits() holds them after OK. GUI thread only.
class CDlgProtocolFilter final : public QDialog {
    Q_OBJECT
public:
    CDlgProtocolFilter(int protocolFilter, QWidget* parent = nullptr);
    int Bits() const { return m_bits; }
    void accept() override;

private:
    int m_bits;
    QCheckBox* m_http = nullptr;
    QCheckBox* m_ftp = nullptr;
};

} // namespace torvex
