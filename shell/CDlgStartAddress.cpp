#include "shell/CDlgStartAddress.h"

#include <ctime>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/AddressCheck.h"
#include "app/AddressList.h"
#include "app/PropertyFields.h"
#include "shell/DialogFields.h"

namespace torvex {

CDlgStartAddress::CDlgStartAddress(const std::string& address, const std::string& dateFormat,
                                   bool post, IPrompter& prompter, QWidget* parent)
    : QDialog(parent), m_prompter(prompter), m_address(address), m_dateFormat(dateFormat),
      m_post(post) {
    setObjectName(QStringLiteral("startAddressOption"));
    setWindowTitle(QStringLiteral("Start Address Option"));
    m_addressField = TextField(kMaxStartUrl, "address");
    m_addressField->setMinimumWidth(420);
    auto* apply = new QPushButton(QStringLiteral("Apply DATE"));
    apply->setObjectName(QStringLiteral("applyDate"));
    // The button must not take the focus: the address field's selection is what it replaces.
    apply->setFocusPolicy(Qt::NoFocus);
    m_formatField = TextField(kMaxDateFormat, "dateFormat");
    m_sample = new QLabel;
    m_sample->setObjectName(QStringLiteral("sample"));
    m_real = new QLabel;
    m_real->setObjectName(QStringLiteral("realAddress"));
    m_real->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_postBox = new QCheckBox(QStringLiteral("Request the URL with \"POST\" method"));
    m_postBox->setObjectName(QStringLiteral("post"));

    auto* layout = new QVBoxLayout(this);
    auto* note = new QLabel(QStringLiteral("Input \"$DATE\" at proper position, or click \"Apply "
                                           "DATE\" to insert it at cursor position:"));
    note->setWordWrap(true);
    layout->addWidget(note);
    auto* addressRow = new QHBoxLayout;
    addressRow->addWidget(m_addressField, 1);
    addressRow->addWidget(apply);
    layout->addLayout(addressRow);
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Date format")), 0, 0);
    grid->addWidget(m_formatField, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("(\"y\" - year, \"m\" - month, \"d\" - date.)")), 0,
                    2);
    grid->addWidget(new QLabel(QStringLiteral("Sample:")), 1, 0);
    grid->addWidget(m_sample, 1, 1, 1, 2);
    layout->addLayout(grid);
    layout->addWidget(new QLabel(QStringLiteral("The real start address is:")));
    layout->addWidget(m_real);
    layout->addWidget(m_postBox);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    m_addressField->setText(Q(address));
    m_formatField->setText(Q(dateFormat));
    m_postBox->setChecked(post);
    UpdateSample();
    connect(apply, &QPushButton::clicked, this, &CDlgStartAddress::ApplyDateAtSelection);
    connect(m_addressField, &QLineEdit::textChanged, this, &CDlgStartAddress::UpdateSample);
    connect(m_formatField, &QLineEdit::textChanged, this, &CDlgStartAddress::UpdateSample);
}

void CDlgStartAddress::ApplyDateAtSelection() {
    const QString text = m_addressField->text();
    const bool selected = m_addressField->hasSelectedText();
    const int start =
        selected ? m_addressField->selectionStart() : m_addressField->cursorPosition();
    const int length = selected ? static_cast<int>(m_addressField->selectedText().size()) : 0;
    // The rule counts bytes of the stored text; the field counts characters.
    const auto bytes = [&](int characters) {
        return static_cast<std::size_t>(text.left(characters).toUtf8().size());
    };
    const auto applied = ApplyDate(S(text), bytes(start), bytes(start + length) - bytes(start));
    if (!applied) {
        return; // no room for "$DATE" in the address
    }
    const QString result = Q(applied->text);
    m_addressField->setText(result);
    m_addressField->setCursorPosition(static_cast<int>(
        QString::fromUtf8(applied->text.data(), static_cast<qsizetype>(applied->cursor)).size()));
    m_addressField->setFocus();
}

void CDlgStartAddress::UpdateSample() {
    const std::time_t now = std::time(nullptr);
    const std::string format = S(m_formatField->text());
    m_sample->setText(Q(DateSample(format, now)));
    m_real->setText(Q(RealStartAddress(S(m_addressField->text()), format, now)));
}

void CDlgStartAddress::accept() {
    std::string format;
    if (!ReadText(m_prompter, m_formatField, "Date format", kMaxDateFormat, format)) {
        return;
    }
    const std::string address = S(m_addressField->text());
    if (const std::string refusal = CheckStartAddress(address, format); !refusal.empty()) {
        Refuse(m_prompter, m_addressField, refusal);
        return;
    }
    m_address = address;
    m_dateFormat = format;
    m_post = m_postBox->isChecked();
    QDialog::accept();
}

} // namespace torvex
