#pragma once

#include <cstddef>
#include <string>

namespace torvex {

// Capacity of each host and path list of a URL filter (characters).
constexpr std::size_t kMaxFilterList = 1000;

// Values of `HostFilter`; a stored value outside 0..3 is read as StartHost.
enum class HostFilterMode : int {
    AllHosts = 0,
    StartDomain = 1,   // hosts within the start domain
    StartHost = 2,     // the start host only
    SpecifiedHosts = 3,
};

// Values of `PathFilter`; a stored value outside 0..2 is read as AllPaths.
enum class PathFilterMode : int {
    AllPaths = 0,
    StartDirectory = 1,
    SpecifiedPaths = 2,
};

// Bits of `ProtocolFilter`: a set bit means links over that protocol are not followed.
constexpr int kProtocolNoHttp = 1;
constexpr int kProtocolNoFtp = 2;

// The URL filter of one start address: which hosts, paths and protocols its links may reach.
// Plain data, named like the keys of a start address's section; the project settings load,
// clamp and write it, and every run judges links with its own copy.
struct CUrlFilter {
    bool FilterSameLevel = false;   // the filter also judges links that stay on their level
    int HostFilter = static_cast<int>(HostFilterMode::StartHost);
    std::string FHost;              // hosts to retrieve (mode 3), ";"-separated, "*" wildcard
    std::string EHost;              // hosts never retrieved
    int PathFilter = static_cast<int>(PathFilterMode::AllPaths);
    std::string FPath;              // path items to retrieve (mode 2)
    std::string EPath;              // path items never retrieved
    int ProtocolFilter = 0;         // kProtocolNoHttp | kProtocolNoFtp

    bool operator==(const CUrlFilter&) const = default;
};

} // namespace torvex
