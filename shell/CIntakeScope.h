#pragma once

#include "app/CInstanceChannel.h"

namespace torvex {

// Holds the running copy's IntakeState at a dialog's value while the dialog is open, and gives
// it back as 1 (an address starts the wizard) when the dialog closes. Without a channel (a copy
// that runs alone) it does nothing. GUI thread only.
class CIntakeScope {
public:
    CIntakeScope(CInstanceServer* channel, int state) : m_channel(channel) { Set(state); }
    ~CIntakeScope() { Set(kIntakeNewProject); }
    CIntakeScope(const CIntakeScope&) = delete;
    CIntakeScope& operator=(const CIntakeScope&) = delete;

    void Set(int state) {
        if (m_channel != nullptr) {
            m_channel->SetIntakeState(state);
        }
    }

private:
    CInstanceServer* m_channel;
};

} // namespace torvex
