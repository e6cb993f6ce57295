#include "cli/CConsole.h"

namespace torvex {

namespace {

// Back to the start of the line and erase to its end.
constexpr std::string_view kEraseLine = "\r\x1b[K";

void Put(std::FILE* out, std::string_view text) { std::fwrite(text.data(), 1, text.size(), out); }

} // namespace

void CConsole::Message(std::string_view text) {
    if (!m_quiet) {
        Error(text);
    }
}

void CConsole::Error(std::string_view text) {
    ClearProgress();
    Put(m_out, text);
    Put(m_out, "\n");
    std::fflush(m_out);
}

void CConsole::DrawProgress(std::string_view line) {
    if (!m_progress) {
        return;
    }
    Put(m_out, kEraseLine);
    Put(m_out, line);
    std::fflush(m_out);
    m_lineShown = true;
}

void CConsole::ClearProgress() {
    if (m_lineShown) {
        Put(m_out, kEraseLine);
        std::fflush(m_out);
        m_lineShown = false;
    }
}

} // namespace torvex
