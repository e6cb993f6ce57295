#pragma once

#include <string>
#include <string_view>

namespace torvex {

// How a run stands or ended; also the `Status` of a record section in project.log.
enum class TaskStatus : int {
    None = 0,       // not started yet
    Running = 1,
    Stopped = 2,    // stopped by the user
    Finished = 3,   // every queue drained
    Limited = 4,    // free space, time or file limit
    Failed = 5,     // ended by an error
};

// Start failures (message 1230) and end codes (messages 1228 and 1229).
enum class RunEndCode : int {
    None = 0,
    FreeSpaceUnknown = 102,
    FreeSpaceLow = 103,
    BackupFailed = 104,
    DirectoryFailed = 105,
    BadStartAddress = 106,
    ProjectBusy = 107,   // another copy of the program runs the project
    NothingStored = 201,
    FreeSpaceLimit = 202,
    TimeLimit = 203,
    FileLimit = 204,
    NetworkDown = 205,
    TempFileFailed = 206,
    ProxyNotFound = 301,
    ProxyConnectFailed = 302,
    ProxyAuthFailed = 303,
    StartServerNotFound = 401,
    StartServerConnectFailed = 402,
    ServerError = 403,
    AuthFailed = 404,
    FileNotFound = 405,
    StartPageNotSaved = 406,
    StartPageEmpty = 407,
    SecureConnectFailed = 408,   // the TLS handshake with the start server failed
    Forbidden = 501,
};

// What the proxy texts name: the proxy the run used (the application's when the project uses
// the default proxy).
struct ProxyName {
    std::string host;
    int port = 0;
};

// The message of a start failure (102..106) for the project `projectName`; empty for another
// code. 103 is shown with the information icon, the others as errors.
std::string StartFailureText(int code, std::string_view projectName);
bool StartFailureIsInformation(int code);

// The message of an end code (201..501); empty for another code. `detail` is the failure's own
// reason where the message names one (408: why the secure connection failed).
std::string EndCodeText(int code, std::string_view projectName, const ProxyName& proxy,
                        std::string_view detail = {});

} // namespace torvex
