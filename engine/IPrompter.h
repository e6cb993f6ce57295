#pragma once

#include <string_view>

namespace torvex {

// Every message box of the program carries this caption.
constexpr std::string_view kPromptCaption = "Torvex";

// How the core asks and tells the user. The desktop program shows message boxes captioned
// "Torvex"; the CLI prints to standard error and takes its answers from its options; tests
// answer as scripted. Called only on the front end's own thread.
class IPrompter {
public:
    virtual ~IPrompter() = default;
    virtual void Information(std::string_view text) = 0;
    virtual void Warning(std::string_view text) = 0;
    virtual void Error(std::string_view text) = 0;
    // True for Yes. `defaultNo` makes No the default button.
    virtual bool AskYesNo(std::string_view text, bool defaultNo) = 0;
    // True for OK (a question icon).
    virtual bool AskOkCancel(std::string_view text) = 0;
};

} // namespace torvex
