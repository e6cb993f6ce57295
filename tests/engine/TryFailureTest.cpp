#include "engine/TryFailure.h"

#include <gtest/gtest.h>

#include <string>

namespace torvex {
namespace {

TEST(TryFailureDefinitive, OnlyAnswersThatCannotChangeEndTheTries) {
    const struct {
        const char* operation;
        int code;
        bool definitive;
    } rows[] = {
        {"HTTPSession", 400, true},  {"HTTPSession", 401, true},  {"HTTPSession", 403, true},
        {"HTTPSession", 404, true},  {"HTTPSession", 407, true},  {"HTTPSession", 410, true},
        {"HTTPSession", 499, true},  {"HTTPSession", 408, false}, {"HTTPSession", 429, false},
        {"HTTPSession", 500, false}, {"HTTPSession", 503, false}, {"HTTPSession", 399, false},
        {"FTPGet", 5, true},         {"FTPGet", 2, false},        {"FTPGet", 8, false},
        {"NoBody", 0, false},        {"OpenFile", 0, false},      {"Connect", 404, false},
        {"TlsHandshake", 2, true},   {"TlsHandshake", 1, false},  {"TlsHandshake", -2, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.operation) + " " + std::to_string(r.code));
        EXPECT_EQ(IsDefinitiveAnswer(r.operation, r.code), r.definitive);
    }
}

TEST(TryFailureDefinitive, OnlyACodingNeverAskedForEndsTheTriesOfABadBody) {
    const struct {
        const char* operation;
        int code;
        bool definitive;
    } rows[] = {
        {"BadEncoding", 1, true},  {"BadEncoding", 0, false}, {"BadChunk", 0, false},
        {"BadFraming", 0, false},  {"BadRange", 0, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.operation) + " " + std::to_string(r.code));
        EXPECT_EQ(IsDefinitiveAnswer(r.operation, r.code), r.definitive);
    }
}

TEST(TryFailureEndCode, SocketFailuresByOperationAndProxy) {
    const struct {
        const char* operation;
        int code;
        bool proxy;
        int end;
    } rows[] = {
        {"Socks5Authenticate", 205, true, 303}, {"GetHostByName", -1, true, 301},
        {"GetHostByName", -1, false, 401},      {"Connect", -1, true, 302},
        {"Connect", -1, false, 402},            {"Receive", -1, false, 0},
        // The secure connection is with the server, also through a proxy.
        {"TlsHandshake", 2, false, 408},        {"TlsHandshake", 1, true, 408},
        {"TlsHandshake", -2, false, 408},       {"ProxyTunnel", 407, true, 303},
        {"ProxyTunnel", 401, true, 303},        {"ProxyTunnel", 403, true, 302},
        {"ProxyTunnel", 0, true, 302},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.operation) + " " + std::to_string(r.code));
        EXPECT_EQ(EndCodeForSocketFailure(r.operation, r.code, r.proxy), r.end);
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
