#include "cli/CConsolePrompter.h"

#include <string>

#include "cli/CConsole.h"

namespace torvex {

void CConsolePrompter::Information(std::string_view text) { m_console.Message(text); }

void CConsolePrompter::Warning(std::string_view text) { m_console.Error(text); }

void CConsolePrompter::Error(std::string_view text) { m_console.Error(text); }

bool CConsolePrompter::AskYesNo(std::string_view text, bool) { return Answer(text, "Yes", "No"); }

bool CConsolePrompter::AskOkCancel(std::string_view text) { return Answer(text, "OK", "Cancel"); }

bool CConsolePrompter::Answer(std::string_view text, std::string_view yes, std::string_view no) {
    if (m_answerYes) {
        m_console.Message(text);
        m_console.Message("Answered " + std::string(yes) + " (--yes).");
        return true;
    }
    m_declined = true;
    // Declining ends what was asked for: that is shown even to a quiet user.
    m_console.Error(text);
    m_console.Error("Declined: answered " + std::string(no) + ". Run again with --yes to answer " +
                    std::string(yes) + ".");
    return false;
}

} // namespace torvex
