#pragma once

namespace torvex::test {

// A loopback port that was free a moment ago (bound on port 0 and released); 0 when none could
// be had. Another process may take it before the server that is to use it does; callers that
// start a server on it try again with a new one when the start fails.
int FreeLoopbackPort();

// True when something accepts connections on 127.0.0.1:`port`.
bool LoopbackAccepts(int port);

} // namespace torvex::test
