#include "platform/NetworkState.h"

#include <atomic>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Sockets.h"

namespace torvex {
namespace {

constexpr std::uint32_t Ip(unsigned a, unsigned b, unsigned c, unsigned d) {
    return (a << 24) | (b << 16) | (c << 8) | d;
}

TEST(NetworkState, LoopbackOnlyOrZeroAddressMeansDown) {
    EXPECT_FALSE(IsNetworkUpFromAddresses({Ip(127, 0, 0, 1)}));
    EXPECT_FALSE(IsNetworkUpFromAddresses({Ip(0, 0, 0, 0)}));
    EXPECT_TRUE(IsNetworkUpFromAddresses({Ip(192, 168, 1, 5)}));
    EXPECT_TRUE(IsNetworkUpFromAddresses({Ip(127, 0, 0, 1), Ip(10, 0, 0, 2)}));
    EXPECT_TRUE(IsNetworkUpFromAddresses({Ip(127, 0, 1, 1)}));
    EXPECT_TRUE(IsNetworkUpFromAddresses({}));
}

// The resolver behind the look-ups, replaced for one test: answers `addresses` and counts the
// questions.
class ScriptedResolver {
public:
    explicit ScriptedResolver(std::vector<std::uint32_t> addresses) {
        SetHostLookupForTests([this, addresses](const std::string&) {
            asked.fetch_add(1);
            return addresses;
        });
    }
    ~ScriptedResolver() { SetHostLookupForTests(nullptr); }
    std::atomic<int> asked{0};
};

TEST(NetworkState, AnExternalInterfaceAnswersWithoutTheResolver) {
    ScriptedResolver resolver({Ip(127, 0, 0, 1)});
    if (HasExternalInterface()) {
        EXPECT_TRUE(IsNetworkUp());
        EXPECT_EQ(resolver.asked.load(), 0);
    } else {
        // Only the loopback: the host name's addresses decide, and here they say "down".
        EXPECT_FALSE(IsNetworkUp());
        EXPECT_EQ(resolver.asked.load(), 1);
    }
}

TEST(NetworkState, AnAbortedQueryAsksNothingAndSaysUp) {
    ScriptedResolver resolver({Ip(127, 0, 0, 1)});
    const std::atomic<bool> abort{true};
    EXPECT_TRUE(IsNetworkUp(&abort));
    EXPECT_EQ(resolver.asked.load(), 0);
}

} // namespace
} // namespace torvex
