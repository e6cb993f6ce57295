#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The native-messaging host behind the browser extension's "Download by Torvex" entry: it
// reads the extension's requests ({"url", "info", "parentUrl"}, all strings), checks them, hands
// each to the capture library's AddURL and answers {"ok": true} or {"ok": false, "error": text}.
// One thread serves one pair of descriptors.

namespace torvex {

// A request never needs more: three short texts. Longer messages are refused unread.
constexpr std::size_t kMaxRequestBytes = 64 * 1024;
// The program reads at most this many bytes of the text that comes with an address.
constexpr std::size_t kMaxHostInfoBytes = 128;

struct HostRequest {
    std::string url;
    std::string info;
    std::string parentUrl;
};

// Checks one message and fills `request`. The address must be there, at most 512 bytes, without
// control characters; the page's address is only informational and is left empty when it would
// fail the same checks; the text has its control characters and runs of blanks made single
// spaces and is cut to kMaxHostInfoBytes at a character boundary. On a fault, the error text
// for the reply.
std::optional<std::string> ReadHostRequest(std::string_view message, HostRequest& request);

// The reply: {"ok":true} for an empty `error`, else {"ok":false,"error":"..."}.
std::string HostReply(std::string_view error);

// Hands one checked request on; answers the message to show the user ("" when all went well).
using HostAddUrl = std::function<std::string(const HostRequest&)>;

// Serves requests from `in` and answers each on `out` until the input ends. A message that
// cannot be understood gets an error reply and the next one is read; a message over
// kMaxRequestBytes gets an error reply and ends the service, since what follows it cannot be
// found. Returns the exit status: 0 when the input ended between messages, 1 when it broke off,
// a message was too large or a reply could not be written.
int ServeNativeMessages(int in, int out, const HostAddUrl& addUrl);

} // namespace torvex
