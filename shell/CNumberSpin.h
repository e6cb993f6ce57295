#pragma once

#include <string>

#include <QAbstractSpinBox>

#include "app/PropertyFields.h"

namespace torvex {

// A number field with arrows: the arrows never leave the field's range, while typing takes any
// integer, which is judged when the dialog stores it (so a typed value out of range gets the
// dialog's message instead of being changed silently). A value loaded from a file that lies
// outside the range is shown as it is and stays valid while it is not changed. GUI thread only.
class CNumberSpin final : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit CNumberSpin(CNumberRange range, QWidget* parent = nullptr);

    // Shows `value`, which becomes the stored value that may stay as it is.
    void SetValue(int value);
    // The typed value into `value`: empty, or the refusal to show.
    std::string Read(int& value) const;

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& position) const override;
    QSize sizeHint() const override;

protected:
    StepEnabled stepEnabled() const override;

private:
    int Current() const;

    CNumberRange m_range;
    int m_stored = 0;
};

} // namespace torvex
