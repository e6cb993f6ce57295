#pragma once

#include <cstddef>
#include <vector>

#include <QDialog>

#include "project/CProjectSettings.h"

class QTableWidget;
class QTableWidgetItem;

namespace torvex {

class IPrompter;

// "Address list": every start address of a project as a row with a check box for Enable, the
// text of AddressRowText and the level; Add, Modify, Delete, the URL Filter menu (Inherit,
// Inherit and Revise, Configure; with several rows the host and path choices of all of them)
// and a context menu to enable, disable and delete rows. Edits its own copy of the list, loaded
// when it opens; Addresses() holds the result after OK. New addresses start from `defaults`.
// GUI thread only.
class CDlgAddressList final : public QDialog {
    Q_OBJECT
public:
    CDlgAddressList(std::vector<CStartAddress> addresses, const CProjectSettings& defaults,
                    IPrompter& prompter, QWidget* parent = nullptr);

    const std::vector<CStartAddress>& Addresses() const { return m_addresses; }
    QTableWidget* List() const { return m_list; }

    // The commands of the buttons and menus, on the selected rows.
    void AddAddress();
    void ModifyAddress();
    void DeleteSelected();
    void EnableSelected(bool enable);
    void ShowFilterMenu();
    void ToggleInheritOfCurrent();
    void ReviseFilterOfCurrent();
    void ConfigureFilterOfCurrent();
    void EditChoicesOfSelected();

private:
    void Refill();
    std::vector<std::size_t> SelectedRows() const;
    void OnItemChanged(QTableWidgetItem* item);
    void ShowContextMenu(const QPoint& at);
    bool Acceptable(const CStartAddress& address, std::size_t except);

    std::vector<CStartAddress> m_addresses;
    const CProjectSettings& m_defaults;
    IPrompter& m_prompter;
    QTableWidget* m_list = nullptr;
    bool m_filling = false;
};

} // namespace torvex
