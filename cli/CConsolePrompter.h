#pragma once

#include <string_view>

#include "engine/IPrompter.h"

namespace torvex {

class CConsole;

// The core's questions and messages on standard error. Nobody is there to answer, so questions
// take the answer of the --yes option: yes with it, no without it, and then the console says
// what was declined and how to accept it. Used on the CLI's main thread only.
class CConsolePrompter final : public IPrompter {
public:
    CConsolePrompter(CConsole& console, bool answerYes)
        : m_console(console), m_answerYes(answerYes) {}

    void Information(std::string_view text) override;
    void Warning(std::string_view text) override;
    void Error(std::string_view text) override;
    bool AskYesNo(std::string_view text, bool defaultNo) override;
    bool AskOkCancel(std::string_view text) override;

    // Whether a question was answered no.
    bool Declined() const { return m_declined; }

private:
    bool Answer(std::string_view text, std::string_view yes, std::string_view no);

    CConsole& m_console;
    bool m_answerYes;
    bool m_declined = false;
};

} // namespace torvex
