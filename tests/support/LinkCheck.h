#pragma once

#include <string>

namespace torvex::test {

// What tools/check_links.py found in a copy: every link of every stored page and style sheet,
// followed as a browser opening the copy from disk would (-1 where the checker gave nothing).
struct LinkCheck {
    long pages = -1;
    long links = -1;
    long localOk = -1;        // relative links that open a stored file
    long localMissing = -1;   // relative links whose file is not there
    long localOutside = -1;   // relative links that climb out of the copy
    long absolute = -1;       // links that go to a site
    long other = -1;          // other schemes and fragments
    std::string output;       // the checker's JSON line and messages, for failure texts
};

// Runs the link checker over `dir` (a record's download folder); waits at most a minute.
LinkCheck CheckLinks(const std::string& dir);

} // namespace torvex::test
