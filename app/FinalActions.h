#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
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

// What the user is told when an action at the end of downloading did not happen.
constexpr std::string_view kShutdownRefusedText =
    "The computer could not be shut down: the system refused the request.";
constexpr std::string_view kLogOutRefusedText =
    "Torvex could not log out of the desktop: the system refused the request.";
constexpr std::string_view kHangUpFailedText =
    "The dial-up connection could not be hung up: the connections that are up could not be "
    "listed.";

// Hangs up every dial-up connection that is up. 0, or -1 when dial-up networking is not there
// or the connections cannot be listed. The hang-ups take a moment after this returns.
int HangUpAll(IDialUpService &service);

// Powers the computer off, or logs out of the desktop; true when the system took it.
bool ShutdownComputer(IShutdownService &shutdown, ShutdownAction action);

// The actions at the end of the countdown: the hang-up and the shutdown, each on a thread of
// its own so that the window goes on. An action that fails calls `onFailure` with the text to
// tell, on that action's thread. Lives on the front end's thread; its threads are joined when it
// goes (or by Wait). The services are not owned and outlive it.
class CFinalActions {
public:
    using FailureReport = std::function<void(const std::string &text)>;
    CFinalActions(IDialUpService &dialUp, IShutdownService &shutdown, FailureReport onFailure = {});
    ~CFinalActions();
    CFinalActions(const CFinalActions &) = delete;
    CFinalActions &operator=(const CFinalActions &) = delete;

    void Run(bool hangUp, bool shutdown, ShutdownAction action);
    // Waits for the actions started so far.
    void Wait();

private:
    IDialUpService &m_dialUp;
    IShutdownService &m_shutdown;
    FailureReport m_onFailure;
    std::mutex m_lock;
    std::vector<std::thread> m_threads;
};

} // namespace torvex
