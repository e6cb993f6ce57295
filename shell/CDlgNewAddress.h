#pragma once

#include <string>
#include <vector>

#include <QDialog>

#include "app/NewAddresses.h"

class QLineEdit;
class QListWidget;

namespace torvex {

class CNumberSpin;
class IPrompter;

// "New Address" of a project: the address (starting with the clipboard's address or "http://"),
// "Desc." and the level, "Basic" and "URL Filter" for the address's other settings, and "Add",
// which checks the address and collects it. OK collects what the address field still holds;
// Collected() is the list afterwards (the caller then asks the "New URL Option" and inserts
// them). While it is open it takes addresses handed to the program (TakeAddress). GUI thread
// only.
class CDlgNewAddress final : public QDialog {
    Q_OBJECT
public:
    CDlgNewAddress(const CProjectSettings& project, const CProjectSettings& defaults,
                   NewAddressKind kind, const std::string& initialAddress, IPrompter& prompter,
                   QWidget* parent = nullptr);

    const std::vector<CStartAddress>& Collected() const { return m_collected; }
    NewAddressKind Kind() const { return m_kind; }
    QLineEdit* AddressField() const { return m_address; }
    QLineEdit* DescriptionField() const { return m_description; }
    CNumberSpin* LevelField() const { return m_level; }

    // An address handed over while the dialog is open: it fills the address and "Desc."
    // fields, and "Desc." gets the focus with its text selected.
    void TakeAddress(const std::string& address, const std::string& name);
    // "Add": true when the address was collected.
    bool AddCurrent();
    void EditBasic();
    void EditFilter();
    void accept() override;

private:
    bool ReadFields(CStartAddress& address);
    void ShowCollected();

    const CProjectSettings& m_project;
    NewAddressKind m_kind;
    IPrompter& m_prompter;
    CStartAddress m_current;
    std::vector<CStartAddress> m_collected;
    QLineEdit* m_address = nullptr;
    QLineEdit* m_description = nullptr;
    CNumberSpin* m_level = nullptr;
    QListWidget* m_list = nullptr;
};

} // namespace torvex
