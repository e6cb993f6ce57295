#include "shell/CDlgProtocolFilter.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QVBoxLayout>

#include "app/AddressList.h"

namespace torvex {

CDlgProtocolFilter::CDlgProtocolFilter(int protocolFilter, QWidget* parent)
    : QDialog(parent), m_bits(protocolFilter) {
    setObjectName(QStringLiteral("protocolFilter"));
    setWindowTitle(QStringLiteral("Protocol Filter"));
    auto* via = new QGroupBox(QStringLiteral("Download via"));
    auto* boxes = new QVBoxLayout(via);
    m_http = new QCheckBox(QStringLiteral("HTTP"));
    m_ftp = new QCheckBox(QStringLiteral("FTP"));
    m_http->setObjectName(QStringLiteral("http"));
    m_ftp->setObjectName(QStringLiteral("ftp"));
    boxes->addWidget(m_http);
    boxes->addWidget(m_ftp);
    m_http->setChecked(FollowsHttp(protocolFilter));
    m_ftp->setChecked(FollowsFtp(protocolFilter));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(via);
    layout->addWidget(buttons);
}

void CDlgProtocolFilter::accept() {
    m_bits = ProtocolFilterFor(m_http->isChecked(), m_ftp->isChecked(), m_bits);
    QDialog::accept();
}

} // namespace torvex
