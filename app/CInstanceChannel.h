#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace torvex {

// What a second copy asks the running copy to do.
enum class InstanceRequest : int {
    Activate = 0,     // bring the main window up and to the front
    TakeHandOver = 1, // read the hand-over file (an address waits there)
};

// Where the running copy stands for an address from outside, shared with starting copies:
// 0 it cannot take one now (a dialog is open), 1 a new project is made from it, 2 it goes into
// the open New Address dialog.
constexpr int kIntakeClosed = 0;
constexpr int kIntakeNewProject = 1;
constexpr int kIntakeNewAddress = 2;

// The running copy's end of the channel between copies of the program: a Unix-domain socket in
// the working directory, answered by a thread of its own. A second copy asks for IntakeState
// (answered from here at once, whatever the window is doing) and sends requests, which are
// handed to `onRequest` on the channel's thread (the front end re-posts them to its own
// thread). Made and destroyed on the front end's thread; SetIntakeState from there too.
class CInstanceServer {
public:
    using RequestHandler = std::function<void(InstanceRequest)>;

    explicit CInstanceServer(RequestHandler onRequest);
    // Stops the thread and removes the socket file.
    ~CInstanceServer();
    CInstanceServer(const CInstanceServer&) = delete;
    CInstanceServer& operator=(const CInstanceServer&) = delete;

    // Listens at `socketPath` (call only while holding the instance lock). False when the
    // socket cannot be made; the program then runs without the channel.
    bool Start(const std::string& socketPath);
    void Stop();

    void SetIntakeState(int state) { m_intakeState = state; }
    int IntakeState() const { return m_intakeState.load(); }

private:
    void Serve();
    void Answer(int client);

    RequestHandler m_onRequest;
    std::atomic<int> m_intakeState{kIntakeNewProject};
    std::atomic<bool> m_stopping{false};
    int m_listener = -1;
    std::string m_socketPath;
    std::thread m_thread;
};

// What a second copy did.
enum class SecondCopyOutcome : int {
    NoRunningCopy = 0,   // nobody answered: the copy just exits
    Activated = 1,       // the running copy was brought up
    HandedOver = 2,      // ... and asked to take the hand-over file
    HandOverDropped = 3, // "/u" while the running copy could take nothing: the file is deleted
};

// The whole part of a second copy (the instance lock was held by another process): reads the
// running copy's IntakeState, deletes the hand-over file when the copy carries "/u" and the
// state is 0, else asks the running copy to come up and, with "/u", to take the file. Waits a
// little for a copy that is still creating its window; never longer than about two seconds.
SecondCopyOutcome RunSecondCopy(const std::string& socketPath, const std::string& handOverPath,
                                int commandLineBits);

} // namespace torvex
