#pragma once

#include <initializer_list>
#include <string>

#include "support/CFixtureServer.h"

// The server's side of FTP exchanges for the fixture server.

namespace torvex::test {

inline FixtureStep Expect(const std::string& command) { return ReadBytes(command.size() + 2); }

// The server's side of a login as anonymous with binary type.
inline FixtureScript Login() {
    return {SendBytes("220 ready\r\n"), Expect("USER anonymous"), SendBytes("331 password\r\n"),
            Expect("PASS user@torvex.x"), SendBytes("230 in\r\n"), Expect("TYPE I"),
            SendBytes("200 binary\r\n")};
}

// "227 ... (h1,h2,h3,h4,p1,p2)" naming the port of `data` on `host`.
inline std::string Passive(const CFixtureServer& data, const std::string& host = "127,0,0,1") {
    return "227 Entering Passive Mode (" + host + "," + std::to_string(data.Port() / 256) + "," +
           std::to_string(data.Port() % 256) + ").\r\n";
}

inline FixtureScript Then(FixtureScript script, std::initializer_list<FixtureStep> more) {
    script.insert(script.end(), more.begin(), more.end());
    return script;
}

} // namespace torvex::test
