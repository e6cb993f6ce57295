#pragma once

#include <functional>

#include <QDialog>

#include "project/CProjectSettings.h"

class QCheckBox;
class QLineEdit;

namespace torvex {

class CNumberSpin;
class IPrompter;

// One start address's own settings: the address, level, description, user name and password,
// date format, "POST", and whether it is a child address (when the list lets it be one). Used
// by the Address List's Add and Modify and by New Address's "Basic". Loads the address when it
// opens; Address() holds the edited one after OK, which `acceptance` (the address check and
// duplicate question of the caller) has let through. GUI thread only.
class CDlgAddress final : public QDialog {
    Q_OBJECT
public:
    using Acceptance = std::function<bool(const CStartAddress&)>;

    CDlgAddress(const QString& title, const CStartAddress& address, bool childChoice,
                Acceptance acceptance, IPrompter& prompter, QWidget* parent = nullptr);
    const CStartAddress& Address() const { return m_address; }
    void accept() override;

private:
    CStartAddress m_address;
    Acceptance m_acceptance;
    IPrompter& m_prompter;
    QLineEdit* m_url = nullptr;
    CNumberSpin* m_level = nullptr;
    QLineEdit* m_description = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_dateFormat = nullptr;
    QCheckBox* m_post = nullptr;
    QCheckBox* m_child = nullptr;
};

} // namespace torvex
