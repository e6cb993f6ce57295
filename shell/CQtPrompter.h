#pragma once

#include <QWidget>

#include "engine/IPrompter.h"

namespace torvex {

// The core's questions and messages as message boxes captioned "Torvex" over `parent`. GUI
// thread only.
class CQtPrompter final : public IPrompter {
public:
    explicit CQtPrompter(QWidget* parent) : m_parent(parent) {}
    void Information(std::string_view text) override;
    void Warning(std::string_view text) override;
    void Error(std::string_view text) override;
    bool AskYesNo(std::string_view text, bool defaultNo) override;
    bool AskOkCancel(std::string_view text) override;

private:
    QWidget* m_parent;
};

} // namespace torvex
