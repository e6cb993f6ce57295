#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "capture/JsonText.h"
#include "capture/NativeHost.h"
#include "platform/Registry.h"
#include "support/CChildProcess.h"
#include "support/TempDir.h"

// pellix-host run as the browsers run it: a separate process fed framed messages on standard
// input, answering with framed replies on standard output, loading libpellix.so from its own
// folder. The program it starts is a stub in the working directory that records its arguments.

namespace torvex {
namespace {

namespace fs = std::filesystem;
using test::CChildProcess;
using test::ChildInput;
using test::ChildResult;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

constexpr auto kLimit = std::chrono::seconds(30);

std::string Header(std::uint32_t length) {
    std::string header(sizeof length, '\0');
    std::memcpy(header.data(), &length, sizeof length); // the machine's byte order
    return header;
}

std::string Frame(std::string_view body) {
    return Header(static_cast<std::uint32_t>(body.size())) + std::string(body);
}

std::string Request(std::string_view url, std::string_view info, std::string_view parentUrl) {
    return R"({"url":)" + JsonQuoted(url) + R"(,"info":)" + JsonQuoted(info) + R"(,"parentUrl":)" +
           JsonQuoted(parentUrl) + "}";
}

// The whole frames in `out`; what is left over goes to `rest`.
std::vector<std::string> Frames(std::string_view out, std::string* rest = nullptr) {
    std::vector<std::string> frames;
    while (out.size() >= 4) {
        std::uint32_t length = 0;
        std::memcpy(&length, out.data(), 4);
        if (out.size() - 4 < length) {
            break;
        }
        frames.emplace_back(out.substr(4, length));
        out.remove_prefix(4 + length);
    }
    if (rest != nullptr) {
        *rest = out;
    }
    return frames;
}

struct Reply {
    bool ok = false;
    std::string error;
};

Reply ParseReply(const std::string& frame) {
    const auto json = ParseJson(frame);
    EXPECT_TRUE(json && json->kind == JsonValue::Kind::Object) << frame;
    Reply reply;
    if (!json) {
        return reply;
    }
    const JsonValue* ok = json->Member("ok");
    const JsonValue* error = json->Member("error");
    reply.ok = ok != nullptr && ok->kind == JsonValue::Kind::Boolean && ok->boolean;
    reply.error = error != nullptr && error->IsString() ? error->text : "";
    EXPECT_EQ(reply.ok, error == nullptr) << frame;
    return reply;
}

struct Session {
    std::vector<Reply> replies;
    std::string rest; // bytes after the last whole frame
    ChildResult result;
};

class NativeHost : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_app);
        WriteFileBytes(m_app + "/torvex",
                       "#!/bin/sh\n"
                       "d=$(dirname \"$0\")\n"
                       "printf '%s\\n' \"$@\" > \"$d/args.part\" && mv \"$d/args.part\" "
                       "\"$d/args\"\n");
        fs::permissions(m_app + "/torvex", fs::perms::owner_all);
        SetWorkDir(m_app);
    }

    void SetWorkDir(const std::string& dir) {
        ASSERT_TRUE(CFileRegistry(m_dir / "registry")
                        .WriteString("HKEY_CURRENT_USER\\Software\\Torvex", "WorkDir", dir));
    }

    std::vector<std::string> Environment() const {
        return {"TORVEX_REGISTRY=" + (m_dir / "registry"), "LC_ALL=C"};
    }

    Session Run(const std::string& input, const std::string& program = PELLIX_HOST_PATH,
                std::vector<std::string> extraEnvironment = {}) {
        std::vector<std::string> environment = Environment();
        environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
        CChildProcess host(program, {"chrome-extension://test/"}, environment, false,
                           ChildInput::Pipe);
        host.WriteInput(input); // may fail part-way when the host refuses and leaves
        Session session;
        session.result = host.Wait(kLimit);
        for (const std::string& frame : Frames(session.result.out, &session.rest)) {
            session.replies.push_back(ParseReply(frame));
        }
        EXPECT_FALSE(session.result.timedOut);
        EXPECT_EQ(session.result.signal, 0) << session.result.err;
        return session;
    }

    // No hand-over file in the working directory, whole or partial.
    void ExpectNothingHandedOver() {
        for (const auto& entry : fs::directory_iterator(m_app)) {
            EXPECT_NE(entry.path().filename().string().rfind("addurl", 0), 0u) << entry.path();
        }
    }

    TempDir m_dir;
    std::string m_app = m_dir / "app";
};

std::string WaitForFile(const std::string& path) {
    const auto deadline = std::chrono::steady_clock::now() + kLimit;
    while (!fs::exists(path) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ReadFileBytes(path);
}

TEST_F(NativeHost, HandsARequestToTheProgramAndAnswersOk) {
    const Session session =
        Run(Frame(Request("http://a.example/x.zip", "The file", "http://a.example/")));
    ASSERT_EQ(session.replies.size(), 1u);
    EXPECT_TRUE(session.replies[0].ok);
    EXPECT_EQ(session.rest, "");
    EXPECT_EQ(session.result.exitStatus, 0);
    EXPECT_EQ(ReadFileBytes(m_app + "/addurl.tmp"),
              "URL=http://a.example/x.zip\nInfo=The file\nParentURL=http://a.example/\n");
    EXPECT_EQ(WaitForFile(m_app + "/args"), "/u\n");
}

TEST_F(NativeHost, AnswersEachMessageBeforeItsInputEnds) {
    CChildProcess host(PELLIX_HOST_PATH, {}, Environment(), false, ChildInput::Pipe);
    const auto waitForReplies = [&host](std::size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + kLimit;
        while (Frames(host.OutputText()).size() < count &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return Frames(host.OutputText());
    };
    ASSERT_TRUE(host.WriteInput(Frame(Request("http://a.example/1", "", ""))));
    ASSERT_EQ(waitForReplies(1).size(), 1u);
    EXPECT_EQ(ReadFileBytes(m_app + "/addurl.tmp"), "URL=http://a.example/1\nInfo=\nParentURL=\n");
    ASSERT_TRUE(host.WriteInput(Frame(Request("http://a.example/2", "", ""))));
    const std::vector<std::string> replies = waitForReplies(2);
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_TRUE(ParseReply(replies[1]).ok);
    EXPECT_EQ(ReadFileBytes(m_app + "/addurl.tmp"), "URL=http://a.example/2\nInfo=\nParentURL=\n");
    EXPECT_EQ(host.Wait(kLimit).exitStatus, 0);
}

TEST_F(NativeHost, RefusesMessagesItCannotUseAndWritesNothing) {
    struct Case {
        std::string body;
        const char* error;
    };
    const std::string url512 = "http://a.example/" + std::string(512 - 17, 'x');
    std::string deep;
    for (int i = 0; i < 100; ++i) {
        deep += R"({"a":)";
    }
    const Case cases[] = {
        {"", "not valid JSON"},
        {"hello", "not valid JSON"},
        {R"({"url":"http://a/"} x)", "not valid JSON"},
        {R"(["http://a/"])", "not a JSON object"},
        {R"({"url":5})", "must be strings"},
        {R"({"url":"http://a/","info":["x"]})", "must be strings"},
        {R"({"info":"only a text"})", "No address"},
        {R"({"url":""})", "No address"},
        {R"({"url":")" + url512 + R"(x"})", "longer than Torvex can take"},
        {R"({"url":"http://a/\u0007"})", "control characters"},
        {R"({"url":"http://a/\u007f"})", "control characters"},
        {R"({"url":"http://a/\u0085"})", "control characters"},
        {R"({"url":"http://a/\ny"})", "control characters"},
        {"{\"url\":\"http://a/\xff\"}", "not valid JSON"},
        {"{\"url\":\"http://a/\xc0\xaf\"}", "not valid JSON"},     // overlong "/"
        {"{\"url\":\"http://a/\xed\xa0\x80\"}", "not valid JSON"}, // a surrogate
        {"{\"url\":\"http://a/\x01\"}", "not valid JSON"},         // unescaped control
        {R"({"url":"http://a/\ud800"})", "not valid JSON"},        // lone surrogate
        {R"({"url":"http://a/","url":"http://b/"})", "not valid JSON"},
        {deep, "not valid JSON"},
    };
    // One session for all: each gets its own error reply and the next message is read.
    std::string input;
    for (const Case& c : cases) {
        input += Frame(c.body);
    }
    const Session session = Run(input);
    ASSERT_EQ(session.replies.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].body.substr(0, 80));
        EXPECT_FALSE(session.replies[i].ok);
        EXPECT_NE(session.replies[i].error.find(cases[i].error), std::string::npos)
            << session.replies[i].error;
    }
    EXPECT_EQ(session.result.exitStatus, 0);
    ExpectNothingHandedOver();
}

TEST_F(NativeHost, GoesOnAfterABadMessage) {
    const Session session = Run(Frame("not json") + Frame(Request("http://a.example/ok", "", "")));
    ASSERT_EQ(session.replies.size(), 2u);
    EXPECT_FALSE(session.replies[0].ok);
    EXPECT_TRUE(session.replies[1].ok);
    EXPECT_EQ(ReadFileBytes(m_app + "/addurl.tmp"), "URL=http://a.example/ok\nInfo=\nParentURL=\n");
}

TEST_F(NativeHost, KeepsTextsWithinWhatTheProgramReads) {
    struct Case {
        std::string url;
        std::string info;
        std::string parentUrl;
        std::string expected;
    };
    const std::string url512 = "http://a.example/" + std::string(512 - 17, 'x');
    // 1 + 200 * 2 bytes: cut to 1 + 63 * 2, since a 64th character would pass 128 bytes.
    std::string accents = "x";
    std::string cutAccents = "x";
    for (int i = 0; i < 200; ++i) {
        accents += "\xc3\xa9";
        if (i < 63) {
            cutAccents += "\xc3\xa9";
        }
    }
    const Case cases[] = {
        {url512, "", "", "URL=" + url512 + "\nInfo=\nParentURL=\n"},
        {"http://a/",
         "\r\n\t Two\n\nlines\x01"
         "and  blanks ",
         "http://p/", "URL=http://a/\nInfo=Two lines and blanks\nParentURL=http://p/\n"},
        {"http://a/", accents, "", "URL=http://a/\nInfo=" + cutAccents + "\nParentURL=\n"},
        {"http://a/", "", url512 + "x", "URL=http://a/\nInfo=\nParentURL=\n"},
        {"http://a/", "", "http://p/\nURL=http://evil/", "URL=http://a/\nInfo=\nParentURL=\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected.substr(0, 80));
        const Session session = Run(Frame(Request(c.url, c.info, c.parentUrl)));
        ASSERT_EQ(session.replies.size(), 1u);
        EXPECT_TRUE(session.replies[0].ok) << session.replies[0].error;
        EXPECT_EQ(ReadFileBytes(m_app + "/addurl.tmp"), c.expected);
    }
}

TEST_F(NativeHost, RefusesOversizedMessagesWithoutReadingThem) {
    // A message of exactly the limit is read; one byte more, or 4 GB, is refused from its length
    // alone and ends the session. Under AddressSanitizer any allocation over 1 MB would end the
    // host with a report.
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    const std::string noBigAllocations =
        "ASAN_OPTIONS=" + std::string(sanitizer != nullptr ? sanitizer : "") +
        ":max_allocation_size_mb=1";
    std::string atLimit = Request("http://a.example/limit", "", "");
    atLimit += std::string(kMaxRequestBytes - atLimit.size(), ' ');
    Session session = Run(Frame(atLimit));
    ASSERT_EQ(session.replies.size(), 1u);
    EXPECT_TRUE(session.replies[0].ok);
    fs::remove(m_app + "/addurl.tmp");

    for (const std::uint32_t length :
         {static_cast<std::uint32_t>(kMaxRequestBytes + 1), std::uint32_t{0xFFFFFFFF}}) {
        SCOPED_TRACE(length);
        session = Run(Header(length) + Request("http://a.example/big", "", "") +
                          Frame(Request("http://a.example/after", "", "")),
                      PELLIX_HOST_PATH, {noBigAllocations});
        ASSERT_EQ(session.replies.size(), 1u);
        EXPECT_FALSE(session.replies[0].ok);
        EXPECT_NE(session.replies[0].error.find("larger"), std::string::npos);
        EXPECT_EQ(session.result.exitStatus, 1);
        ExpectNothingHandedOver();
    }
}

TEST_F(NativeHost, EndsCleanlyWhenTheInputBreaksOff) {
    struct Case {
        const char* what;
        std::string input;
        std::size_t replies;
    };
    const std::string request = Request("http://a.example/x", "", "");
    const Case cases[] = {
        {"half a length", Header(10).substr(0, 2), 0},
        {"a message shorter than its length", Header(100) + request, 0},
        {"a whole message, then half of one", Frame(request) + Header(50) + "{\"url\"", 1},
        // A length too short splits the message: its head is not JSON, and the rest is read as
        // a length far over the limit.
        {"a wrong length", Header(10) + request, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(m_app + "/addurl.tmp");
        const Session session = Run(c.input);
        EXPECT_EQ(session.replies.size(), c.replies);
        EXPECT_EQ(session.rest, "");
        EXPECT_EQ(session.result.exitStatus, 1);
        if (c.replies != 1) {
            ExpectNothingHandedOver();
        }
    }
}

TEST_F(NativeHost, PassesTheLibrarysMessagesBack) {
    ASSERT_TRUE(CFileRegistry(m_dir / "registry")
                    .DeleteValue("HKEY_CURRENT_USER\\Software\\Torvex", "WorkDir"));
    Session session = Run(Frame(Request("http://a/", "", "")));
    ASSERT_EQ(session.replies.size(), 1u);
    EXPECT_EQ(session.replies[0].error, "Error: Failed to get the installation information about "
                                        "Torvex! Please reinstall Torvex.");

    SetWorkDir(m_dir / "missing");
    session = Run(Frame(Request("http://a/", "", "")));
    ASSERT_EQ(session.replies.size(), 1u);
    EXPECT_EQ(session.replies[0].error,
              "Error: Failed to open temporay file! Please restart the system and retry.");
    EXPECT_EQ(session.result.exitStatus, 0);
}

TEST_F(NativeHost, AnswersWithAnErrorWhenTheLibraryIsNotBesideIt) {
    const std::string lone = m_dir / "lone/pellix-host";
    fs::create_directories(m_dir / "lone");
    fs::copy_file(PELLIX_HOST_PATH, lone);
    const Session session = Run(Frame(Request("http://a/", "", "")) + Frame("{}"), lone);
    ASSERT_EQ(session.replies.size(), 2u);
    EXPECT_NE(session.replies[0].error.find("libpellix.so"), std::string::npos);
    EXPECT_NE(session.replies[1].error.find("No address"), std::string::npos);
    EXPECT_NE(session.result.err.find("pellix-host:"), std::string::npos);
    ExpectNothingHandedOver();
}

} // namespace
} // namespace torvex
