#include "engine/LinkFilters.h"

#include <string>

#include "base/AsciiCase.h"
#include "base/WildcardMatch.h"

namespace torvex {

namespace {

constexpr std::size_t kStartDirectoryCapacity = 260;
constexpr std::size_t kFileNameCapacity = 260;

// The start address as the filters read it: its date macro expanded. The filters ask for it for
// every link of every page, and it changes only when its text or the date does: each thread
// keeps the last one it parsed.
const CUrl& ParseStartUrl(std::string_view startUrl, std::string_view datePattern,
                          std::time_t when) {
    thread_local bool parsed = false;
    thread_local std::string lastText;
    thread_local CUrl lastUrl;
    std::string expanded;
    ExpandDateMacro(startUrl, datePattern, expanded, when);
    if (!parsed || expanded != lastText) {
        lastUrl = CUrl(expanded);
        lastText = std::move(expanded);
        parsed = true;
    }
    return lastUrl;
}

bool PathListMatches(const CUrl& candidate, std::string_view list, std::string_view datePattern,
                     std::time_t when) {
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(';', start);
        if (end == std::string_view::npos) {
            end = list.size();
        }
        if (end > start && PathItemMatches(candidate, list.substr(start, end - start),
                                           datePattern, when)) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

bool HostRefused(const CUrlFilter& filter, const CUrl& candidate, std::string_view startUrl,
                 std::string_view datePattern, std::time_t when) {
    int mode = filter.HostFilter;
    if (mode < 0 || mode > 3) {
        mode = static_cast<int>(HostFilterMode::StartHost);
    }
    switch (static_cast<HostFilterMode>(mode)) {
    case HostFilterMode::AllHosts:
        return WildcardListMatch(candidate.Host(), filter.EHost);
    case HostFilterMode::StartDomain: {
        const CUrl& start = ParseStartUrl(startUrl, datePattern, when);
        if (!EqualsNoCase(candidate.DomainTail(), start.DomainTail())) {
            return true;
        }
        return WildcardListMatch(candidate.Host(), filter.EHost);
    }
    case HostFilterMode::StartHost:
        return !EqualsNoCase(candidate.Host(), ParseStartUrl(startUrl, datePattern, when).Host());
    case HostFilterMode::SpecifiedHosts:
        return !WildcardListMatch(candidate.Host(), filter.FHost) ||
               WildcardListMatch(candidate.Host(), filter.EHost);
    }
    return true;
}

bool PathRefused(const CUrlFilter& filter, const CUrl& candidate, std::string_view startUrl,
                 std::string_view datePattern, std::time_t when) {
    int mode = filter.PathFilter;
    if (mode < 0 || mode > 2) {
        mode = static_cast<int>(PathFilterMode::AllPaths);
    }
    switch (static_cast<PathFilterMode>(mode)) {
    case PathFilterMode::AllPaths:
        break;
    case PathFilterMode::StartDirectory: {
        const CUrl& start = ParseStartUrl(startUrl, datePattern, when);
        if (!StartsWithNoCase(candidate.Path(),
                              BaseDirectory(start.Path(), kStartDirectoryCapacity))) {
            return true;
        }
        break;
    }
    case PathFilterMode::SpecifiedPaths:
        if (!PathListMatches(candidate, filter.FPath, datePattern, when)) {
            return true;
        }
        break;
    }
    return PathListMatches(candidate, filter.EPath, datePattern, when);
}

} // namespace

bool UrlFilterRefuses(const CUrlFilter& filter, const CUrl& candidate, std::string_view startUrl,
                      std::string_view datePattern, std::time_t when) {
    // https is HTTP for the protocol filter.
    const bool http = candidate.Scheme() == "http" || candidate.Scheme() == "https";
    if ((http && (filter.ProtocolFilter & kProtocolNoHttp) != 0) ||
        (candidate.Scheme() == "ftp" && (filter.ProtocolFilter & kProtocolNoFtp) != 0)) {
        return true;
    }
    return HostRefused(filter, candidate, startUrl, datePattern, when) ||
           PathRefused(filter, candidate, startUrl, datePattern, when);
}

bool UrlFilterRefuses(const CUrlFilter& filter, const CUrl& candidate, std::string_view startUrl,
                      std::string_view datePattern) {
    return UrlFilterRefuses(filter, candidate, startUrl, datePattern, std::time(nullptr));
}

bool PathItemMatches(const CUrl& candidate, std::string_view item, std::string_view datePattern,
                     std::time_t when) {
    std::string expanded;
    ExpandDateMacro(item, datePattern, expanded, when);
    const std::string_view text(expanded);
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos) {
        return WildcardMatch(LastSegment(candidate.Path(), kMaxUrlPath), text);
    }
    const std::string_view host = text.substr(0, slash);
    if (!host.empty() && (host.size() > kMaxHost || !WildcardMatch(candidate.Host(), host))) {
        return false;
    }
    const std::string_view path = text.substr(slash);
    if (path.back() == '/') {
        return WildcardMatch(BaseDirectory(candidate.Path(), kMaxUrlPath), path);
    }
    return WildcardMatch(candidate.Path(), path);
}

bool IsFileTypeExcluded(const CFileTypeFilter& filter, const CUrl& candidate) {
    if (filter.NoFileFilter) {
        return false;
    }
    std::string_view name;
    const std::string fileName = LastSegment(candidate.Path(), kFileNameCapacity);
    name = fileName;
    if (name.empty()) {
        return false;
    }
    name = name.substr(0, name.find('?'));
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot + 1 == name.size()) {
        return filter.FilterNoExt;
    }
    const std::string_view extension = name.substr(dot + 1);
    for (const std::string& group : filter.FileFilter) {
        const std::string_view items(group);
        std::size_t start = 0;
        while (start < items.size()) {
            std::size_t end = items.find('|', start);
            if (end == std::string_view::npos) {
                end = items.size();
            }
            const std::string_view item = items.substr(start, end - start);
            if (item.size() > extension.size() && item[extension.size()] == ';' &&
                StartsWithNoCase(item, extension)) {
                const std::string_view flag = item.substr(extension.size() + 1);
                return flag == "0";
            }
            start = end + 1;
        }
    }
    return filter.FilterOther;
}

} // namespace torvex
