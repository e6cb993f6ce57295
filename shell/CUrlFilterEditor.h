#pragma once

#include <QWidget>

#include "project/CUrlFilter.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPushButton;

namespace torvex {

class IPrompter;

// The controls of one URL filter: the host choice with the specified and excluded hosts, the
// path choice with the specified and excluded paths, "Apply to same-level links" and the
// ">> Protocol Filter <<" button. Shown on the property dialog's URL Filter tab and in the URL
// Filter dialog of the Address List. With `choicesOnly` (the defaults file, or several
// addresses at once) the lists are not edited. GUI thread only.
class CUrlFilterEditor final : public QWidget {
    Q_OBJECT
public:
    enum class Scope { Full, ChoicesAndProtocols, ChoicesOnly };

    CUrlFilterEditor(IPrompter& prompter, Scope scope, QWidget* parent = nullptr);

    void Load(const CUrlFilter& filter);
    // The controls' values into `filter` (the lists only when they are edited here); false,
    // with the field focused after the message, when a list is refused.
    bool Store(CUrlFilter& filter);

private:
    void UpdateEnabled();
    void EditProtocols();

    IPrompter& m_prompter;
    Scope m_scope;
    int m_protocols = 0;
    QButtonGroup* m_host = nullptr;
    QButtonGroup* m_path = nullptr;
    QLineEdit* m_fhost = nullptr;
    QLineEdit* m_ehost = nullptr;
    QLineEdit* m_fpath = nullptr;
    QLineEdit* m_epath = nullptr;
    QCheckBox* m_sameLevel = nullptr;
    QPushButton* m_protocol = nullptr;
};

} // namespace torvex
