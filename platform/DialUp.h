#pragma once

#include <string>
#include <vector>

namespace torvex {

// The states of a dial-up attempt that callers tell apart, with the numbers the protocol
// between the dial-up window and the main window uses (the connected state is also the number
// of the message that says so).
namespace DialState {
constexpr int OpenPort = 0;
constexpr int PortOpened = 1;
constexpr int ConnectDevice = 2;
constexpr int DeviceConnected = 3;
constexpr int Authenticate = 5;
constexpr int ReAuthenticate = 13;
constexpr int Authenticated = 14;
constexpr int LogonNetwork = 21;
constexpr int Connected = 8192;
constexpr int Disconnected = 8193;
} // namespace DialState

// The capacities of the dial parameters.
constexpr std::size_t kMaxDialEntryName = 256;
constexpr std::size_t kMaxDialUser = 64;
constexpr std::size_t kMaxDialPassword = 64;

// What a dial uses: the entry (connection profile) to bring up, and the credentials for it.
struct CDialParams {
    std::string EntryName;
    std::string UserName;
    std::string Password;
};

// A connection as the service knows it; empty for none.
using DialConnection = std::string;

// Receives the progress of an asynchronous dial. Called on a thread of the service, never on
// the caller's: `attempt` is the number given to Dial, so that reports of an attempt given up
// since can be told apart. `error` is 0 while the attempt goes on; otherwise the attempt failed
// and ErrorText(error) says why.
class IDialEvents {
public:
    virtual ~IDialEvents() = default;
    virtual void OnDialEvent(int attempt, int state, int error) = 0;
};

// Dial-up networking: the entries that can be dialled, dialling one asynchronously, hanging up,
// the text of an error, and the connections that are up. Results are 0 for success, else an
// error code. A service that is not Available() does nothing and fails every call. Any thread
// may call; the events come on the service's own threads.
class IDialUpService {
public:
    virtual ~IDialUpService() = default;
    // Whether dial-up can be used on this machine at all (decided when the service is made).
    virtual bool Available() = 0;
    virtual int EnumEntries(std::vector<std::string> &entries) = 0;
    // Starts dialling; 0 when the attempt started (its reports then go to `events` until
    // Forget(events)), and `connection` names it for HangUp at once.
    virtual int Dial(const CDialParams &params, int attempt, IDialEvents &events,
                     DialConnection &connection) = 0;
    // No report reaches `events` once this returns (a report under way is waited for).
    virtual void Forget(IDialEvents &events) = 0;
    // Starts ending `connection` (or the attempt that makes it) and returns at once; the end
    // takes a moment, which callers leave it before dialling again. Its result is not reported.
    virtual void HangUp(const DialConnection &connection) = 0;
    virtual std::string ErrorText(int error) = 0;
    virtual int EnumConnections(std::vector<DialConnection> &connections) = 0;
};

} // namespace torvex
