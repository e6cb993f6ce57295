#pragma once

#include <string>
#include <string_view>

namespace torvex {

// How a failed try of the only start address of a project ends the run at once (rather than
// after all retries, as end code 201). Both return the end code, or 0 when the failure only
// counts as a failed try. Only the worker consults them, and only for a start address of a
// project with exactly one start address.

// A socket failure: "Socks5Authenticate" 303; "GetHostByName" 301 through a proxy, else 401;
// "Connect" 302 through a proxy, else 402; "TlsHandshake" 408; "ProxyTunnel" 303 for the
// proxy's 407 or 401, else 302.
int EndCodeForSocketFailure(std::string_view operation, int code, bool viaProxy);

// True when a failed try is the server's definitive answer about the file: an HTTP status 4xx
// other than 408 (request time-out) and 429 (too many requests), FTP's 550 (no such file), or a
// server certificate that was not accepted.
// Asking again gets the same answer, so the entry's tries end at once; network errors and 5xx
// keep their Retry tries.
bool IsDefinitiveAnswer(std::string_view operation, int code);

// Any other failure: "LongFilePath" and "OpenFile" 406, "NoBody" 407, "HTTPSession" by HTTP
// status (401 404, 403 501, 404 405, 407 303, 500..505 403), and the FTP session's codes
// (2, 3: 404; 5: 405; 1, 4, 6, 7, 8: 403).
int EndCodeForFailure(std::string_view operation, int code);

// Why a file failed, in words, for the run's failure list: "HTTP 404 Not Found", "host not
// found", "timed out waiting for the server", "the local path would be too long", ... from the
// operation text and code of the last failed try. Never empty.
std::string FailureReasonText(std::string_view operation, int code);

} // namespace torvex
