#pragma once

#include <QWidget>

#include "project/CProjectSettings.h"

namespace torvex {

class IPrompter;

// What every page of the property dialog knows about the dialog around it.
struct CPageContext {
    IPrompter* prompter = nullptr;
    // "Default settings": the pages edit default.conf, which holds no addresses and no proxy.
    bool defaults = false;
    // The project runs or waits: its addresses stay as its run was made from them.
    bool addressesLocked = false;
    // A project without addresses gets this one when a page first edits its first address.
    CStartAddress newAddress;
};

// One tab of the property dialog. A page shows the settings given to Load and writes its
// controls back in Store, which refuses a bad value (telling the user and focusing the field)
// by returning false. GUI thread only.
class CPropertyPage : public QWidget {
    Q_OBJECT
public:
    CPropertyPage(const CPageContext& context, QWidget* parent = nullptr);

    virtual void Load(const CProjectSettings& settings) = 0;
    virtual bool Store(CProjectSettings& settings) = 0;

protected:
    IPrompter& Prompter() const { return *m_context.prompter; }
    const CPageContext& Context() const { return m_context; }
    // The project's first address, made from the context's new address when there is none.
    CStartAddress& FirstAddress(CProjectSettings& settings) const;

private:
    CPageContext m_context;
};

} // namespace torvex
