#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

#include "HttpTestKit.h"

namespace torvex::test {
namespace {

using namespace std::chrono_literals;

std::string RandomBytes(std::mt19937& random, std::size_t length) {
    std::string bytes(length, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random() & 0xFF);
    }
    return bytes;
}

// A response that looks like HTTP for a while: a status line with a random token, some
// well-known and random headers, a body, all possibly cut off anywhere.
std::string RandomResponse(std::mt19937& random) {
    static const char* const kStatuses[] = {"200", "206", "301", "302", "304", "404", "410",
                                            "503", "",    "2",   "99999999999", "3xx"};
    static const char* const kNames[] = {"Content-Length", "Content-Type", "Location",
                                         "Last-Modified", "Set-Cookie", "Content-Location"};
    std::string response = (random() % 2 == 0 ? "HTTP/1.0 " : "HTTP/1.1 ");
    response += kStatuses[random() % std::size(kStatuses)];
    if (random() % 3 != 0) {
        response += " Reason";
    }
    response += random() % 4 == 0 ? "\n" : "\r\n";
    const int headers = static_cast<int>(random() % 8);
    for (int i = 0; i < headers; ++i) {
        response += kNames[random() % std::size(kNames)];
        response += ": ";
        switch (random() % 4) {
        case 0:
            response += std::to_string(static_cast<int>(random() % 3000) - 10);
            break;
        case 1:
            response += "text/html";
            break;
        case 2:
            response += "http://h/" + RandomBytes(random, random() % 40);
            break;
        default:
            response += std::string(random() % 1500, 'v');
            break;
        }
        response += "\r\n";
    }
    if (random() % 5 != 0) {
        response += "\r\n";
    }
    response += RandomBytes(random, random() % 3000);
    if (random() % 3 == 0) {
        response.resize(random() % (response.size() + 1));
    }
    return response;
}

// Random and truncated answers never crash, never write past a buffer (the sanitizers watch),
// and always end in a return value or one of our exceptions.
TEST(HttpRandomReply, EveryAnswerEndsCleanly) {
    CFixtureServer server;
    CHttpOptions options = DirectOptions();
    options.cookie = true;
    std::mt19937 random(20240611);
    int stored = 0;
    int failed = 0;
    for (int round = 0; round < 150; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::string response =
            round % 3 == 0 ? RandomBytes(random, random() % 4000) : RandomResponse(random);
        if (round % 10 == 0) {
            server.AddScript({ReadRequest(), SendInPieces(response, 1 + random() % 50, 0ms)});
        } else {
            server.AddScript({ReadRequest(), SendBytes(response)});
        }
        CMemoryBody body;
        CHttpRequest request = RequestFor(
            round % 2 == 0 ? "http://h/dir/page" : "http://h/x.bin",
            round % 4 == 0 ? "" : "http://h/", body);
        request.resumeOffset = static_cast<std::int32_t>(random() % 2 == 0 ? 0 : random() % 100);
        RecordingLink link;
        ScriptedCookies cookies;
        CHttpTransaction transaction(options, link, cookies);
        CMyExHttpSocket socket;
        // Every script ends by closing, so no answer waits for a time-out.
        const Outcome outcome =
            RunTransaction(transaction, request, socket, Loopback(server.Port()));
        const bool bodyStored = !outcome.threw && outcome.result.outcome == TransferOutcome::Stored;
        stored += bodyStored ? 1 : 0;
        failed += outcome.threw ? 1 : 0;
        EXPECT_FALSE(socket.IsOpen());
        EXPECT_LE(outcome.result.status.size(), kMaxStatusText);
        EXPECT_LE(outcome.result.contentType.size(), kMaxContentType);
        EXPECT_LE(outcome.result.location.size(), kMaxLocation);
        // The sink saw a whole body exactly when one was stored.
        EXPECT_EQ(body.closed, bodyStored);
        if (bodyStored) {
            EXPECT_EQ(static_cast<std::int64_t>(body.bytes.size()) + body.offset,
                      outcome.result.bodyBytes);
        }
    }
    // The run reached both ends: bodies stored and failures thrown.
    EXPECT_GT(stored, 20);
    EXPECT_GT(failed, 20);
}

} // namespace
} // namespace torvex::test
