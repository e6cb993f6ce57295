#pragma once

#include "shell/CPropertyPage.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace torvex {

class CNumberSpin;

// The "Basic" tab: the first start address (address, level, description, user name and
// password, with "Start Addr" and ">> Address List <<"), and the project's "Don't retrieve
// images", "Don't retrieve dropdown list", "Backup latest record" and "Disable cookies". Over
// the defaults it edits the level new addresses get and the check boxes. Leaving it checks the
// address.
class CPageBasic final : public CPropertyPage {
    Q_OBJECT
public:
    explicit CPageBasic(const CPageContext& context, QWidget* parent = nullptr);

    void Load(const CProjectSettings& settings) override;
    bool Store(CProjectSettings& settings) override;
    // The address fields into the first address as they stand, unchecked, before another
    // dialog edits the addresses (the check follows when the tab is left or OK is pressed).
    void Keep(CProjectSettings& settings) const;
    // Shows the first address again (after the Address List changed it), leaving the rest.
    void LoadAddress(const CProjectSettings& settings);

    QString AddressText() const;
    void SetAddressText(const QString& text);

Q_SIGNALS:
    void startAddressRequested();
    void addressListRequested();

private:
    QLineEdit* m_address = nullptr;
    CNumberSpin* m_level = nullptr;
    QLineEdit* m_description = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QCheckBox* m_noImages = nullptr;
    QCheckBox* m_noDropdown = nullptr;
    QCheckBox* m_backup = nullptr;
    QCheckBox* m_noCookies = nullptr;
    QPushButton* m_startAddr = nullptr;
    QPushButton* m_addressList = nullptr;
};

} // namespace torvex
