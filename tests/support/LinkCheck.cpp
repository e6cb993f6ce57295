#include "LinkCheck.h"

#include <chrono>
#include <regex>

#include "CChildProcess.h"

namespace torvex::test {

namespace {

long Count(const std::string& json, const std::string& key) {
    std::smatch match;
    if (!std::regex_search(json, match, std::regex("\"" + key + "\": (\\d+)"))) {
        return -1;
    }
    return std::stol(match[1]);
}

} // namespace

LinkCheck CheckLinks(const std::string& dir) {
    const std::string checker = std::string(TORVEX_SOURCE_DIR) + "/tools/check_links.py";
    const ChildResult run =
        RunChild("/usr/bin/python3", {checker, dir}, {}, std::chrono::seconds(60));
    LinkCheck check;
    check.output = run.out + run.err;
    check.pages = Count(run.out, "pages");
    check.links = Count(run.out, "links");
    check.localOk = Count(run.out, "local_ok");
    check.localMissing = Count(run.out, "local_missing");
    check.localOutside = Count(run.out, "local_outside");
    check.absolute = Count(run.out, "absolute");
    check.other = Count(run.out, "other");
    return check;
}

} // namespace torvex::test
