#include "shell/CCountdownWindow.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace torvex {

CCountdownWindow::CCountdownWindow(const CCountdown &countdown, QWidget *parent)
    : QDialog(parent), m_countdown(countdown) {
    setObjectName(QStringLiteral("downloadEnd"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QString::fromStdString(m_countdown.Title()));

    auto *icon = new QLabel;
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    m_label = new QLabel(QString::fromStdString(m_countdown.Label()));
    m_label->setObjectName(QStringLiteral("countdownLabel"));
    m_counter = new QLabel(QString::fromStdString(m_countdown.CounterText()));
    m_counter->setObjectName(QStringLiteral("countdownCounter"));
    QFont bold = m_counter->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.4);
    m_counter->setFont(bold);
    m_progress = new QProgressBar;
    m_progress->setRange(0, std::max(1, m_countdown.Range()));
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    auto *now = new QPushButton(
        QString::fromUtf8(kDoItNowText.data(), static_cast<qsizetype>(kDoItNowText.size())));
    now->setObjectName(QStringLiteral("doItNow"));
    auto *cancel = new QPushButton(QStringLiteral("Cancel"));
    cancel->setObjectName(QStringLiteral("countdownCancel"));
    connect(now, &QPushButton::clicked, this, &CCountdownWindow::DoItNow);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *texts = new QVBoxLayout;
    texts->addWidget(m_label);
    texts->addWidget(m_counter);
    auto *top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(now);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);
    setMinimumWidth(320);

    m_stepTimer.setInterval(kCountdownStepMs);
    connect(&m_stepTimer, &QTimer::timeout, this, &CCountdownWindow::OnStep);
    m_flashTimer.setInterval(kCountdownFlashMs);
    connect(&m_flashTimer, &QTimer::timeout, this, [this] { QApplication::alert(this); });
    m_stepTimer.start();
    m_flashTimer.start();
}

QString CCountdownWindow::CounterText() const {
    return m_counter->text();
}

QString CCountdownWindow::LabelText() const {
    return m_label->text();
}

int CCountdownWindow::ProgressValue() const {
    return m_progress->value();
}

void CCountdownWindow::OnStep() {
    const bool due = m_countdown.Step();
    m_progress->setValue(m_countdown.Position());
    m_counter->setText(QString::fromStdString(m_countdown.CounterText()));
    if (due) {
        Act();
    }
}

void CCountdownWindow::DoItNow() {
    Act();
}

void CCountdownWindow::Act() {
    if (m_acted) {
        return;
    }
    m_acted = true;
    m_stepTimer.stop();
    m_flashTimer.stop();
    Q_EMIT actionsDue(m_countdown.HangsUp(), m_countdown.ShutsDown());
    accept();
}

} // namespace torvex
