#include "shell/CDialUpWindow.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/CDialUpSession.h"

namespace torvex {

namespace {

constexpr int kIconSize = 48;

// A modem with `frame` (0..3) signal arcs beside it.
QPixmap ModemPicture(int frame) {
    QPixmap picture(kIconSize, kIconSize);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(60, 60, 60), 2));
    painter.setBrush(QColor(200, 210, 225));
    painter.drawRoundedRect(QRectF(3, 26, 26, 14), 3, 3);
    painter.setBrush(frame > 0 ? QColor(40, 180, 60) : QColor(120, 120, 120));
    painter.drawEllipse(QPointF(10, 33), 2.5, 2.5);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(30, 100, 200), 2.5));
    for (int arc = 1; arc <= frame; ++arc) {
        const double radius = 6.0 * arc;
        painter.drawArc(QRectF(30 - radius, 24 - radius, 2 * radius, 2 * radius), -30 * 16,
                        120 * 16);
    }
    return picture;
}

} // namespace

CDialUpWindow::CDialUpWindow(QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("dialUpWindow"));
    setModal(false);
    m_icon = new QLabel;
    m_icon->setPixmap(ModemPicture(0));
    m_icon->setFixedSize(kIconSize, kIconSize);
    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("dialStatus"));
    m_status->setMinimumWidth(280);
    m_status->setWordWrap(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"));
    cancel->setObjectName(QStringLiteral("dialCancel"));
    connect(cancel, &QPushButton::clicked, this, &CDialUpWindow::cancelRequested);

    auto *top = new QHBoxLayout;
    top->addWidget(m_icon);
    top->addWidget(m_status, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);

    m_iconTimer.setInterval(kDialIconStepMs);
    connect(&m_iconTimer, &QTimer::timeout, this, &CDialUpWindow::Animate);
    m_iconTimer.start();
}

void CDialUpWindow::SetStatus(const QString &status) {
    m_status->setText(status);
}

QString CDialUpWindow::Status() const {
    return m_status->text();
}

void CDialUpWindow::Animate() {
    m_frame = DialIconFrame(++m_step);
    m_icon->setPixmap(ModemPicture(m_frame));
}

void CDialUpWindow::closeEvent(QCloseEvent *event) {
    // The session closes the window when the attempt has been hung up.
    event->ignore();
    Q_EMIT cancelRequested();
}

void CDialUpWindow::reject() {
    Q_EMIT cancelRequested(); // Esc
}

} // namespace torvex
