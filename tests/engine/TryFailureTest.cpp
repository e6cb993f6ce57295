#include "engine/TryFailure.h"

#include <gtest/gtest.h>

namespace torvex {
namespace {

TEST(TryFailureEndCode, SocketFailuresByOperationAndProxy) {
    const struct {
        const char* operation;
        bool proxy;
        int end;
    } rows[] = {
        {"Socks5Authenticate", true, 303}, {"GetHostByName", true, 301},
        {"GetHostByName", false, 401},     {"Connect", true, 302},
        {"Connect", false, 402},           {"Receive", false, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.operation);
        EXPECT_EQ(EndCodeForSocketFailure(r.operation, r.proxy), r.end);
    }
}

TEST(TryFailureEndCode, SessionFailuresRowByRow) {
    const struct {
        const char* operation;
        int code;
        int end;
    } rows[] = {
        {"LongFilePath", 0, 406}, {"OpenFile", 5, 406}, {"NoBody", 0, 407},
        {"HTTPSession", 401, 404}, {"HTTPSession", 403, 501}, {"HTTPSession", 404, 405},
        {"HTTPSession", 407, 303}, {"HTTPSession", 500, 403}, {"HTTPSession", 505, 403},
        {"HTTPSession", 506, 0},  {"HTTPSession", 410, 0},  {"FTPSession", 2, 404},
        {"FTPSession", 3, 404},   {"FTPSession", 5, 405},   {"FTPSession", 1, 403},
        {"FTPSession", 4, 403},   {"FTPSession", 6, 403},   {"FTPSession", 7, 403},
        {"FTPSession", 8, 403},   {"FTPSession", 9, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.operation) + " " + std::to_string(r.code));
        EXPECT_EQ(EndCodeForFailure(r.operation, r.code), r.end);
    }
}

} // namespace
} // namespace torvex
