#include "app/CInstanceChannel.h"

#include <charconv>
#include <chrono>
#include <string_view>
#include <thread>

#include "app/StartUp.h"
#include "platform/FileSystem.h"
#include "platform/LocalSocket.h"

namespace torvex {

namespace {

constexpr int kAcceptSliceMs = 100;
constexpr int kExchangeMs = 1000;
constexpr int kConnectAttempts = 20;
constexpr auto kConnectPause = std::chrono::milliseconds(100);
constexpr std::size_t kMaxLine = 32;

constexpr std::string_view kAskState = "STATE";
constexpr std::string_view kAskActivate = "ACTIVATE";
constexpr std::string_view kAskTake = "TAKE";
constexpr std::string_view kDone = "OK";

// One question and its answer on a fresh connection; false when nobody answered.
bool Exchange(const std::string& socketPath, std::string_view question, std::string& answer) {
    const int fd = ConnectLocalSocket(socketPath);
    if (fd < 0) {
        return false;
    }
    const bool ok = SendLocalLine(fd, question, kExchangeMs) &&
                    ReceiveLocalLine(fd, answer, kMaxLine, kExchangeMs);
    CloseLocalSocket(fd);
    return ok;
}

} // namespace

CInstanceServer::CInstanceServer(RequestHandler onRequest) : m_onRequest(std::move(onRequest)) {}

CInstanceServer::~CInstanceServer() {
    Stop();
}

bool CInstanceServer::Start(const std::string& socketPath) {
    Stop();
    m_listener = ListenLocalSocket(socketPath);
    if (m_listener < 0) {
        return false;
    }
    m_socketPath = socketPath;
    m_stopping = false;
    m_thread = std::thread([this] { Serve(); });
    return true;
}

void CInstanceServer::Stop() {
    m_stopping = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
    if (m_listener >= 0) {
        CloseLocalSocket(m_listener);
        m_listener = -1;
        RemoveFileIfExists(m_socketPath);
    }
}

void CInstanceServer::Serve() {
    while (!m_stopping.load()) {
        const int client = AcceptLocalSocket(m_listener, kAcceptSliceMs);
        if (client >= 0) {
            Answer(client);
            CloseLocalSocket(client);
        }
    }
}

void CInstanceServer::Answer(int client) {
    std::string question;
    if (!ReceiveLocalLine(client, question, kMaxLine, kExchangeMs)) {
        return; // a silent or garbled client is dropped; the next one is served
    }
    if (question == kAskState) {
        SendLocalLine(client, std::to_string(m_intakeState.load()), kExchangeMs);
        return;
    }
    if (question == kAskActivate || question == kAskTake) {
        SendLocalLine(client, kDone, kExchangeMs);
        if (m_onRequest) {
            m_onRequest(question == kAskTake ? InstanceRequest::TakeHandOver
                                             : InstanceRequest::Activate);
        }
    }
}

SecondCopyOutcome RunSecondCopy(const std::string& socketPath, const std::string& handOverPath,
                                int commandLineBits) {
    std::string answer;
    bool answered = false;
    for (int attempt = 0; attempt < kConnectAttempts && !answered; ++attempt) {
        if (attempt > 0) {
            std::this_thread::sleep_for(kConnectPause); // the running copy may still be starting
        }
        answered = Exchange(socketPath, kAskState, answer);
    }
    if (!answered) {
        return SecondCopyOutcome::NoRunningCopy;
    }
    const bool handOver = (commandLineBits & kHandOverWaiting) != 0;
    // An answer that is not a number counts as 0: the address cannot be taken.
    int state = kIntakeClosed;
    const auto [end, error] = std::from_chars(answer.data(), answer.data() + answer.size(), state);
    if (error != std::errc() || end != answer.data() + answer.size()) {
        state = kIntakeClosed;
    }
    if (handOver && state == kIntakeClosed) {
        RemoveFileIfExists(handOverPath);
        return SecondCopyOutcome::HandOverDropped;
    }
    std::string done;
    if (!Exchange(socketPath, handOver ? kAskTake : kAskActivate, done)) {
        return SecondCopyOutcome::NoRunningCopy;
    }
    return handOver ? SecondCopyOutcome::HandedOver : SecondCopyOutcome::Activated;
}

} // namespace torvex
