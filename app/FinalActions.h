#pragma once

#include <mutex>
#include <thread>
#include <vector>

#include "platform/DialUp.h"
#include "platform/Shutdown.h"

namespace torvex {

// How the computer is shut down when downloading has ended (the application setting
// ShutdownAction).
enum class ShutdownAction : int {
    PowerOff = 0,
    LogOut = 1,
};

// Hangs up every dial-up connection that is up. 0, or -1 when dial-up networking is not there
// or the connections cannot be listed. The hang-ups take a moment after this returns.
int HangUpAll(IDialUpService &service);

// Powers the computer off, or logs out of the desktop; true when the system took it.
bool ShutdownComputer(IShutdownService &shutdown, ShutdownAction action);

// The actions at the end of the countdown: the hang-up and the shutdown, each on a thread of
// its own so that the window goes on. Lives on the front end's thread; its threads are joined
// when it goes (or by Wait). The services are not owned and outlive it.
class CFinalActions {
public:
    CFinalActions(IDialUpService &dialUp, IShutdownService &shutdown);
    ~CFinalActions();
    CFinalActions(const CFinalActions &) = delete;
    CFinalActions &operator=(const CFinalActions &) = delete;

    void Run(bool hangUp, bool shutdown, ShutdownAction action);
    // Waits for the actions started so far.
    void Wait();

private:
    IDialUpService &m_dialUp;
    IShutdownService &m_shutdown;
    std::mutex m_lock;
    std::vector<std::thread> m_threads;
};

} // namespace torvex
