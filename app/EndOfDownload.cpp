#include "app/EndOfDownload.h"

#include <algorithm>

namespace torvex {

CEndOfDownloadDecision CEndOfDownload::AllRunsEnded(bool runStartsConversion, bool conversionOpen) {
    CEndOfDownloadDecision decision;
    const bool hangUp = m_dialUpAvailable && m_settings.AutoHangUp;
    int flags = 0;
    if (runStartsConversion) {
        // Only the hang-up may follow now; the shutdown waits for the conversion.
        if (hangUp) {
            flags = kCountdownDownloadFinished | kCountdownHangUp;
        }
    } else if (hangUp) {
        flags = kCountdownDownloadFinished | kCountdownHangUp;
        if (m_settings.AutoShutdown && !conversionOpen) {
            flags |= kCountdownShutdown;
        }
    } else if (m_settings.AutoShutdown && !conversionOpen) {
        flags = kCountdownDownloadFinished | kCountdownShutdown;
    }
    m_awaitingConversion = runStartsConversion || conversionOpen;
    decision.countdownFlags = flags;
    decision.leaveOutFinishedNotice = flags != 0 && m_settings.AutoTimeOut != 0;
    return decision;
}

int CEndOfDownload::ConversionsEnded(bool anyRunning) {
    const bool awaiting = m_awaitingConversion;
    m_awaitingConversion = false;
    if (!awaiting || anyRunning || !m_settings.AutoShutdown) {
        return 0;
    }
    return kCountdownConversionFinished | kCountdownShutdown;
}

CCountdown::CCountdown(int flags, int autoTimeOut)
    : m_flags(flags), m_seconds(std::clamp(autoTimeOut, 0, 60)), m_range(m_seconds * 10) {}

std::string CCountdown::Title() const {
    return std::string((m_flags & kCountdownConversionFinished) != 0 ? kConversionFinishedTitle
                                                                     : kDownloadFinishedTitle);
}

std::string CCountdown::Label() const {
    if (HangsUp() && ShutsDown()) {
        return std::string(kAutoHangUpAndShutdownInText);
    }
    return std::string(HangsUp() ? kAutoHangUpInText : kAutoShutdownInText);
}

std::string CCountdown::CounterText() const {
    std::string text(kCountdownSecondsFormat);
    text.replace(text.find("%d"), 2, std::to_string(std::max(0, m_seconds - m_steps / 10)));
    return text;
}

bool CCountdown::Step() {
    if (m_steps < m_range) {
        ++m_steps;
    }
    return m_steps >= m_range;
}

} // namespace torvex
