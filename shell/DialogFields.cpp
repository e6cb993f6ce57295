#include "shell/DialogFields.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QFileDialog>
#include <QLineEdit>
#include <QRadioButton>

#include "app/PropertyFields.h"
#include "engine/IPrompter.h"
#include "shell/CNumberSpin.h"

namespace torvex {

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string S(const QString& text) {
    return text.toStdString();
}

QLineEdit* TextField(std::size_t capacity, const char* name) {
    auto* field = new QLineEdit;
    field->setObjectName(QString::fromLatin1(name));
    field->setMaxLength(static_cast<int>(capacity));
    return field;
}

CNumberSpin* NumberField(CNumberRange range, const char* name) {
    auto* spin = new CNumberSpin(range);
    spin->setObjectName(QString::fromLatin1(name));
    return spin;
}

QButtonGroup* RadioGroup(QWidget* owner, QBoxLayout* layout, const QStringList& captions) {
    auto* group = new QButtonGroup(owner);
    for (int i = 0; i < captions.size(); ++i) {
        auto* button = new QRadioButton(captions[i]);
        group->addButton(button, i);
        layout->addWidget(button);
    }
    return group;
}

void SetPosition(QButtonGroup* group, int position) {
    if (QAbstractButton* button = group->button(position)) {
        button->setChecked(true);
    }
}

int Position(const QButtonGroup* group) {
    return group->checkedId() < 0 ? 0 : group->checkedId();
}

bool Refuse(IPrompter& prompter, QWidget* field, std::string_view message) {
    prompter.Information(message);
    if (field != nullptr) {
        field->setFocus(Qt::OtherFocusReason);
        if (auto* line = qobject_cast<QLineEdit*>(field)) {
            line->selectAll();
        } else if (auto* spin = qobject_cast<QAbstractSpinBox*>(field)) {
            spin->selectAll();
        }
    }
    return false;
}

bool ReadText(IPrompter& prompter, QLineEdit* field, std::string_view caption, std::size_t capacity,
              std::string& out) {
    const std::string text = S(field->text());
    const std::string refusal = CheckFieldText(caption, text, capacity);
    if (!refusal.empty()) {
        return Refuse(prompter, field, refusal);
    }
    out = text;
    return true;
}

bool ReadNumber(IPrompter& prompter, CNumberSpin* field, int& out) {
    int value = 0;
    const std::string refusal = field->Read(value);
    if (!refusal.empty()) {
        return Refuse(prompter, field, refusal);
    }
    out = value;
    return true;
}

QString BrowseProjectDirectory(QWidget* parent, const QString& start) {
    QFileDialog dialog(parent, QStringLiteral("Select directory"), start);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::LookIn,
                        QStringLiteral("Please select a directory for the project..."));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().front();
}

} // namespace torvex
