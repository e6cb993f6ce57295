#include "app/CInstanceChannel.h"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <vector>

#include <gtest/gtest.h>

#include "app/StartUp.h"
#include "platform/FileSystem.h"
#include "platform/InstanceLock.h"
#include "platform/LocalSocket.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::TempDir;
using test::WriteFileBytes;

// The requests the running copy's channel handed on, from the channel's thread.
class Requests {
public:
    void Add(InstanceRequest request) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_seen.push_back(request);
        m_changed.notify_all();
    }
    bool WaitFor(std::size_t count) {
        std::unique_lock<std::mutex> guard(m_lock);
        return m_changed.wait_for(guard, std::chrono::seconds(10),
                                  [&] { return m_seen.size() >= count; });
    }
    std::vector<InstanceRequest> Seen() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_seen;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<InstanceRequest> m_seen;
};

struct Channel {
    explicit Channel(const std::string& dir)
        : server([this](InstanceRequest r) { requests.Add(r); }) {
        EXPECT_TRUE(server.Start(InstanceSocketPath(dir)));
    }
    Requests requests;
    CInstanceServer server;
};

TEST(InstanceLockTest, OneHolderPerWorkingDirectory) {
    TempDir dir;
    InstanceLock first;
    InstanceLock second;
    EXPECT_EQ(first.TryAcquire(InstanceLockPath(dir.Str())), InstanceLockOutcome::Acquired);
    EXPECT_EQ(second.TryAcquire(InstanceLockPath(dir.Str())), InstanceLockOutcome::HeldElsewhere);
    first.Release();
    EXPECT_EQ(second.TryAcquire(InstanceLockPath(dir.Str())), InstanceLockOutcome::Acquired);
    InstanceLock nowhere;
    EXPECT_EQ(nowhere.TryAcquire(dir / "missing/.torvex.lock"), InstanceLockOutcome::Unavailable);
}

TEST(SecondCopy, HandsTheAddressToARunningCopyThatCanTakeIt) {
    TempDir dir;
    Channel channel(dir.Str());
    WriteFileBytes(HandOverFilePath(dir.Str()), "http://h/\n");
    EXPECT_EQ(
        RunSecondCopy(InstanceSocketPath(dir.Str()), HandOverFilePath(dir.Str()), kHandOverWaiting),
        SecondCopyOutcome::HandedOver);
    ASSERT_TRUE(channel.requests.WaitFor(1));
    EXPECT_EQ(channel.requests.Seen(), std::vector<InstanceRequest>{InstanceRequest::TakeHandOver});
    // The running copy reads and deletes the file itself.
    EXPECT_TRUE(FileExists(HandOverFilePath(dir.Str())));
}

TEST(SecondCopy, DeletesTheHandOverFileWhenTheRunningCopyCannotTakeIt) {
    TempDir dir;
    Channel channel(dir.Str());
    channel.server.SetIntakeState(kIntakeClosed);
    WriteFileBytes(HandOverFilePath(dir.Str()), "http://h/\n");
    EXPECT_EQ(
        RunSecondCopy(InstanceSocketPath(dir.Str()), HandOverFilePath(dir.Str()), kHandOverWaiting),
        SecondCopyOutcome::HandOverDropped);
    EXPECT_FALSE(FileExists(HandOverFilePath(dir.Str())));
    // Without "/u" the closed state only matters for addresses: the window comes up.
    EXPECT_EQ(RunSecondCopy(InstanceSocketPath(dir.Str()), HandOverFilePath(dir.Str()), 0),
              SecondCopyOutcome::Activated);
    ASSERT_TRUE(channel.requests.WaitFor(1));
    EXPECT_EQ(channel.requests.Seen(), std::vector<InstanceRequest>{InstanceRequest::Activate});
}

TEST(SecondCopy, EndsQuietlyWithoutARunningCopy) {
    TempDir dir;
    WriteFileBytes(HandOverFilePath(dir.Str()), "http://h/\n");
    // A socket file left by a copy that crashed: nobody listens there.
    WriteFileBytes(InstanceSocketPath(dir.Str()), "");
    EXPECT_EQ(
        RunSecondCopy(InstanceSocketPath(dir.Str()), HandOverFilePath(dir.Str()), kHandOverWaiting),
        SecondCopyOutcome::NoRunningCopy);
    EXPECT_TRUE(FileExists(HandOverFilePath(dir.Str()))); // nobody decided it cannot be taken
}

TEST(InstanceServer, ASilentClientDoesNotShutOutTheNextOne) {
    TempDir dir;
    Channel channel(dir.Str());
    const int silent = ConnectLocalSocket(InstanceSocketPath(dir.Str()));
    ASSERT_GE(silent, 0);
    const int garbled = ConnectLocalSocket(InstanceSocketPath(dir.Str()));
    ASSERT_GE(garbled, 0);
    EXPECT_TRUE(SendLocalLine(garbled, std::string(200, 'x'), 1000));
    EXPECT_EQ(RunSecondCopy(InstanceSocketPath(dir.Str()), HandOverFilePath(dir.Str()), 0),
              SecondCopyOutcome::Activated);
    CloseLocalSocket(silent);
    CloseLocalSocket(garbled);
    ASSERT_TRUE(channel.requests.WaitFor(1));
    EXPECT_EQ(channel.requests.Seen().size(), 1u);
}

TEST(InstanceServer, AnswersInAWorkingDirectoryTooLongForASocketAddress) {
    TempDir dir;
    std::string deep = dir.Str();
    while (deep.size() < 200) {
        deep += "/folder-with-a-long-name";
    }
    std::filesystem::create_directories(deep);
    Channel channel(deep);
    EXPECT_EQ(RunSecondCopy(InstanceSocketPath(deep), HandOverFilePath(deep), 0),
              SecondCopyOutcome::Activated);
    channel.server.Stop();
    EXPECT_FALSE(FileExists(InstanceSocketPath(deep))); // the socket file goes with the server
}

TEST(InstanceServer, ReadsTheStateAsTheRunningCopyLastSetIt) {
    TempDir dir;
    Channel channel(dir.Str());
    const int fd = ConnectLocalSocket(InstanceSocketPath(dir.Str()));
    ASSERT_GE(fd, 0);
    channel.server.SetIntakeState(kIntakeNewAddress);
    std::string answer;
    ASSERT_TRUE(SendLocalLine(fd, "STATE", 1000));
    ASSERT_TRUE(ReceiveLocalLine(fd, answer, 16, 5000));
    EXPECT_EQ(answer, "2");
    CloseLocalSocket(fd);
}

} // namespace
} // namespace torvex
