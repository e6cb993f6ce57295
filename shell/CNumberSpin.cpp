#include "shell/CNumberSpin.h"

#include <QLineEdit>
#include <QRegularExpression>

namespace torvex {

namespace {

// Room for any typed int, so that an over-large number is refused by its range, not by its
// length.
constexpr int kMaxDigits = 9;

} // namespace

CNumberSpin::CNumberSpin(CNumberRange range, QWidget* parent)
    : QAbstractSpinBox(parent), m_range(range) {
    setAccelerated(true);
    SetValue(range.low);
}

void CNumberSpin::SetValue(int value) {
    m_stored = value;
    lineEdit()->setText(QString::number(value));
}

std::string CNumberSpin::Read(int& value) const {
    return CheckNumberText(lineEdit()->text().toStdString(), m_range, m_stored, value);
}

int CNumberSpin::Current() const {
    bool ok = false;
    const int typed = lineEdit()->text().trimmed().toInt(&ok);
    return ok ? typed : m_stored;
}

void CNumberSpin::stepBy(int steps) {
    lineEdit()->setText(QString::number(StepNumber(Current(), steps, m_range)));
    lineEdit()->selectAll();
}

QAbstractSpinBox::StepEnabled CNumberSpin::stepEnabled() const {
    const int value = Current();
    StepEnabled enabled = StepNone;
    if (value < m_range.high) {
        enabled |= StepUpEnabled;
    }
    if (value > m_range.low) {
        enabled |= StepDownEnabled;
    }
    return enabled;
}

QValidator::State CNumberSpin::validate(QString& input, int&) const {
    static const QRegularExpression digits(QStringLiteral("^ *-?[0-9]{0,%1} *$").arg(kMaxDigits));
    return digits.match(input).hasMatch() ? QValidator::Acceptable : QValidator::Invalid;
}

QSize CNumberSpin::sizeHint() const {
    QSize size = QAbstractSpinBox::sizeHint();
    const int digits =
        fontMetrics().horizontalAdvance(QString::number(m_range.high) + QStringLiteral("00"));
    size.setWidth(std::max(size.width(), digits + 30));
    return size;
}

} // namespace torvex
