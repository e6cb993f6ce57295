#pragma once

#include <QDialog>

#include "project/CUrlFilter.h"

namespace torvex {

class CUrlFilterEditor;
class IPrompter;

// "URL Filter" of one address of the Address List or New Address, or (with `choicesOnly`) the
// host and path choices and the same-level flag that several addresses get at once. Loads the
// filter when it opens; Filter() holds the edited one after OK. GUI thread only.
class CDlgUrlFilter final : public QDialog {
    Q_OBJECT
public:
    CDlgUrlFilter(const CUrlFilter& filter, bool choicesOnly, IPrompter& prompter,
                  QWidget* parent = nullptr);
    const CUrlFilter& Filter() const { return m_filter; }
    CUrlFilterEditor* Editor() const { return m_editor; }
    void accept() override;

private:
    CUrlFilter m_filter;
    CUrlFilterEditor* m_editor = nullptr;
};

} // namespace torvex
