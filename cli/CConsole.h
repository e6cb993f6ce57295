#pragma once

#include <cstdio>
#include <string_view>

namespace torvex {

// Standard error of torvex-cli: messages, one line each, and on a terminal one progress line
// that is redrawn in place and cleared before any message so the two never mix. Quiet (-q), only
// errors are shown. Owned by the run and used only on the CLI's main thread.
class CConsole {
public:
    // `out` is not owned; `progress` allows the redrawn line (only on a terminal); `quiet`
    // shows errors only.
    CConsole(std::FILE* out, bool progress, bool quiet = false)
        : m_out(out), m_progress(progress && !quiet), m_quiet(quiet) {}

    // A message, a warning, a summary line: left out when quiet.
    void Message(std::string_view text);
    // An error: always shown.
    void Error(std::string_view text);
    // Replaces the progress line; nothing when progress lines are off.
    void DrawProgress(std::string_view line);
    void ClearProgress();
    bool ShowsProgress() const { return m_progress; }

private:
    std::FILE* m_out;
    bool m_progress;
    bool m_quiet;
    bool m_lineShown = false;
};

} // namespace torvex
