#include "url/CUrl.h"

#include <array>
#include <charconv>
#include <cstdio>

#include "base/AsciiCase.h"
#include "base/BoundedText.h"

namespace torvex {

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool IsKnownScheme(std::string_view scheme) {
    return EqualsNoCase(scheme, "http") || EqualsNoCase(scheme, "https") ||
           EqualsNoCase(scheme, "ftp");
}

// A port text that is all digits with a value from 1 to 65535.
bool ParsePort(std::string_view text, int& port) {
    if (text.empty() || text.size() > 5) {
        return false;
    }
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535) {
        return false;
    }
    port = value;
    return true;
}

// The end of the search for the last "/": the first "=", or the end of the path.
std::size_t SearchEnd(std::string_view path) {
    const auto eq = path.find('=');
    return eq == npos ? path.size() : eq;
}

std::size_t LastSlashBefore(std::string_view path, std::size_t end) {
    if (end == 0) {
        return npos;
    }
    return path.substr(0, end).rfind('/');
}

void ReplaceAllNoCase(std::string& text, std::string_view from, std::string_view to) {
    std::size_t pos = 0;
    // The scan resumes at the replacement, so "&amp;amp;" ends as "&" and normalising twice
    // changes nothing: a URL text read back from a log parses to the same address.
    while ((pos = FindNoCase(text, from, pos)) != npos) {
        text.replace(pos, from.size(), to);
    }
}

} // namespace

CUrl::CUrl() = default;

CUrl::CUrl(std::string_view text, const CUrl* base) { Parse(text, base); }

CUrl::CUrl(const CUrl& other)
    : m_status(other.m_status), m_scheme(other.m_scheme), m_host(other.m_host),
      m_port(other.m_port), m_path(other.m_path), m_userName(other.m_userName),
      m_password(other.m_password) {
    // The copy names its port even where the original left it to the scheme, so a copy of
    // http://h/ holds 80; its validity is the original's, whatever the fields hold.
    if (m_port == -1) {
        m_port = other.EffectivePort();
    }
}

CUrl& CUrl::operator=(const CUrl& other) {
    if (this != &other) {
        CUrl copy(other);
        m_status = copy.m_status;
        m_scheme = std::move(copy.m_scheme);
        m_host = std::move(copy.m_host);
        m_port = copy.m_port;
        m_path = std::move(copy.m_path);
        m_userName = std::move(copy.m_userName);
        m_password = std::move(copy.m_password);
    }
    return *this;
}

CUrl::~CUrl() = default;

int CUrl::Fail(UrlStatus status) {
    m_status = static_cast<int>(status);
    return m_status;
}

int CUrl::Parse(std::optional<std::string_view> text, const CUrl* base) {
    m_status = 0;
    m_scheme.clear();
    m_host.clear();
    m_port = -1;
    m_path.clear();

    if (!text) {
        return Fail(UrlStatus::Empty);
    }
    const std::string_view input = UpToNul(*text);
    if (input.empty()) {
        return Fail(UrlStatus::Empty);
    }
    if (input.size() > kMaxUrlText) {
        return Fail(UrlStatus::TooLong);
    }

    std::string work(input);
    for (char& c : work) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (work.starts_with("//")) {
        return Fail(UrlStatus::NotFetchable);
    }

    const std::size_t sep = work.find("://");
    bool relative = sep == npos;
    if (!relative && work.find('?') < sep) {
        // The "://" belongs to a query, as in page.cgi?u=http://h2/.
        if (base == nullptr) {
            return Fail(UrlStatus::NotFetchable);
        }
        relative = true;
    }

    return relative ? ParseRelative(work, base) : ParseAbsolute(work, sep);
}

int CUrl::ParseRelative(std::string_view work, const CUrl* base) {
    if (base == nullptr) {
        return Fail(UrlStatus::NoScheme);
    }
    if (HasUnfetchedScheme(work)) {
        return Fail(UrlStatus::NotFetchable);
    }
    m_scheme = base->m_scheme;
    m_host = base->m_host;
    m_port = base->EffectivePort();
    const std::string baseDir = BaseDirectory(base->m_path, kMaxUrlPath);
    std::string joined;
    if (ResolveRelative(joined, work, baseDir) != 0) {
        return Fail(UrlStatus::PathTooLong);
    }
    m_path = std::move(joined);
    NormalisePath(m_path);
    return m_status;
}

int CUrl::ParseAbsolute(std::string_view work, std::size_t sep) {
    const std::string_view scheme = work.substr(0, std::min(sep, kMaxScheme));
    if (scheme.empty()) {
        return Fail(UrlStatus::NoScheme);
    }
    if (!IsKnownScheme(scheme)) {
        return Fail(UrlStatus::BadScheme);
    }
    m_scheme = LowerAscii(scheme);

    const std::string_view rest = work.substr(sep + 3);
    std::string_view authority = rest;
    const std::size_t slash = rest.find('/');
    if (slash != npos) {
        if (slash == 0) {
            return Fail(UrlStatus::EmptyHost);
        }
        const std::string_view path = rest.substr(slash);
        if (path.size() > kMaxUrlPath) {
            return Fail(UrlStatus::PathTooLong);
        }
        m_path = path;
        authority = rest.substr(0, slash);
    } else {
        if (rest.empty()) {
            return Fail(UrlStatus::EmptyHost);
        }
        m_path = "/";
    }

    const std::size_t colon = authority.find(':');
    const std::string_view host = authority.substr(0, colon);
    if (colon == 0) {
        return Fail(UrlStatus::EmptyHost);
    }
    if (host.size() > kMaxHost) {
        return Fail(UrlStatus::HostTooLong);
    }
    m_host = LowerAscii(host);
    if (colon != npos) {
        const std::string_view portText = authority.substr(colon + 1);
        if (!portText.empty() && !ParsePort(portText, m_port)) {
            m_port = -1;
            return Fail(UrlStatus::BadPort);
        }
    }

    NormalisePath(m_path);
    return m_status;
}

int CUrl::EffectivePort() const {
    if (m_port != -1) {
        return m_port;
    }
    if (m_scheme == "http") {
        return 80;
    }
    if (m_scheme == "ftp") {
        return 21;
    }
    if (m_scheme == "https") {
        return 443;
    }
    return -1;
}

bool CUrl::SetScheme(std::string_view scheme) {
    if (!IsKnownScheme(scheme)) {
        Fail(UrlStatus::BadScheme);
        return false;
    }
    m_scheme = LowerAscii(scheme);
    return true;
}

bool CUrl::SetHost(std::string_view host) {
    if (host.size() > kMaxHost) {
        Fail(UrlStatus::HostTooLong);
        return false;
    }
    m_host = LowerAscii(host);
    return true;
}

bool CUrl::SetPort(int port) {
    if (port < 1 || port > 65535) {
        Fail(UrlStatus::BadPort);
        return false;
    }
    m_port = port;
    return true;
}

bool CUrl::SetPath(std::string_view path) {
    if (path.size() > kMaxUrlPath) {
        Fail(UrlStatus::PathTooLong);
        return false;
    }
    m_path = path;
    return true;
}

void CUrl::SetUserName(std::optional<std::string_view> userName) {
    if (!userName || userName->empty()) {
        m_userName.reset();
    } else {
        m_userName = std::string(*userName);
    }
}

void CUrl::SetPassword(std::optional<std::string_view> password) {
    if (!password) {
        m_password.reset();
    } else {
        m_password = std::string(*password);
    }
}

std::string CUrl::Compose() const {
    std::string out;
    out.reserve(m_scheme.size() + 3 + m_host.size() + 6 + m_path.size());
    out += m_scheme;
    out += "://";
    out += m_host;
    // An https address names every port but its own default: https://h:80/ is not https://h/.
    const bool portShown = m_scheme == "https"
                               ? m_port != 443 && m_port != -1
                               : m_port != 80 && m_port != 21 && m_port != -1;
    if (portShown) {
        out += ':';
        out += std::to_string(m_port);
    }
    out += m_path;
    return out;
}

std::string CUrl::DomainTail() const {
    const auto dot = m_host.find('.');
    std::string tail = dot == npos ? m_host : m_host.substr(dot + 1);
    CutTo(tail, kMaxHost);
    return tail;
}

bool HasUnfetchedScheme(std::string_view text) {
    const auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (text.empty() || !isLetter(text[0])) {
        return false;
    }
    std::size_t i = 1;
    while (i < text.size() && (isLetter(text[i]) || (text[i] >= '0' && text[i] <= '9') ||
                               text[i] == '+' || text[i] == '-' || text[i] == '.')) {
        ++i;
    }
    return i < text.size() && text[i] == ':' && !IsKnownScheme(text.substr(0, i));
}

std::string BaseDirectory(std::string_view path, std::size_t capacity) {
    if (capacity == 0) {
        return {};
    }
    const std::size_t end = SearchEnd(path);
    const std::size_t slash = LastSlashBefore(path, end);
    auto wholeAsDirectory = [&] {
        std::string out(path.substr(0, capacity - 1));
        out += '/';
        return out;
    };
    if (slash == npos) {
        return path.starts_with('~') ? wholeAsDirectory() : std::string("/");
    }
    const bool tildeAfter = slash + 1 < path.size() && path[slash + 1] == '~';
    if (tildeAfter) {
        return wholeAsDirectory();
    }
    if (slash == 0) {
        return "/";
    }
    if (slash + 1 <= capacity) {
        return std::string(path.substr(0, slash + 1));
    }
    return wholeAsDirectory();
}

std::string LastSegment(std::string_view path, std::size_t capacity) {
    const std::size_t end = SearchEnd(path);
    const std::size_t slash = LastSlashBefore(path, end);
    std::string_view segment = slash == npos ? path : path.substr(slash + 1);
    if (segment.starts_with('~')) {
        return {};
    }
    return std::string(segment.substr(0, capacity));
}

int ResolveRelative(std::string& out, std::string_view reference, std::string_view baseDirectory) {
    out.clear();
    const bool referenceTooLong = reference.size() > kMaxUrlPath;
    reference = reference.substr(0, kMaxUrlPath);
    baseDirectory = baseDirectory.substr(0, kMaxUrlPath);

    if (reference.starts_with('/')) {
        if (referenceTooLong) {
            return static_cast<int>(UrlStatus::PathTooLong);
        }
        out = reference;
        return 0;
    }

    int climbs = 0;
    if (reference.starts_with('.')) {
        for (;;) {
            if (reference.starts_with("../")) {
                reference.remove_prefix(3);
                ++climbs;
            } else if (reference.starts_with("./")) {
                reference.remove_prefix(2);
            } else {
                break;
            }
        }
    }

    std::string directory(baseDirectory);
    for (int i = 0; i < climbs; ++i) {
        if (!directory.empty() && directory.back() == '/') {
            directory.pop_back();
        }
        const auto previous = directory.rfind('/');
        if (previous == std::string::npos) {
            directory = "/";
            break;
        }
        directory.resize(previous + 1);
    }

    if (directory.size() + reference.size() > kMaxUrlPath) {
        return static_cast<int>(UrlStatus::PathTooLong);
    }
    out = directory;
    out += reference;
    return 0;
}

// One pass of the four steps; returns whether anything changed.
static bool NormaliseOnce(std::string& path) {
    const std::size_t before = path.size();
    ReplaceAllNoCase(path, "&amp;", "&");

    // Runs of "/" collapse only before the query: a query may carry a URL of its own.
    const std::size_t queryStart = std::min(path.find('?'), path.size());
    if (path.find("//") < queryStart) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < path.size(); ++i) {
            if (i < queryStart && i > 0 && path[i] == '/' && path[i - 1] == '/') {
                continue;
            }
            path[kept++] = path[i];
        }
        path.resize(kept);
    }

    // "/./" becomes "/".
    for (std::size_t pos = path.find("/./"); pos != npos; pos = path.find("/./", pos)) {
        path.erase(pos + 1, 2);
    }

    // "seg/../" goes away with its segment; a "../" at the root, or after one kept there, stays.
    std::size_t from = 0;
    for (;;) {
        const std::size_t pos = path.find("/../", from);
        if (pos == npos) {
            break;
        }
        if (pos == 0) {
            from = pos + 3;
            continue;
        }
        const std::size_t segStart = path.rfind('/', pos - 1);
        const std::size_t begin = segStart == npos ? 0 : segStart + 1;
        if (std::string_view(path).substr(begin, pos - begin) == "..") {
            from = pos + 3;
            continue;
        }
        path.erase(begin, pos + 4 - begin);
        from = begin == 0 ? 0 : begin - 1;
    }
    return path.size() != before;
}

void NormalisePath(std::string& path) {
    // Every step only deletes, so this ends; repeating until nothing changes makes the result
    // stable, which a URL text that is composed, logged and parsed again relies on (a "../"
    // removed in the query can expose a "//" before what is now the first "?").
    while (NormaliseOnce(path)) {
    }
}

namespace {

constexpr std::array<const char*, 12> kMonthNames = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<const char*, 7> kDayNames = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                  "Thursday", "Friday", "Saturday"};

std::string TwoDigits(int value) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02d", value % 100);
    return buffer;
}

} // namespace

std::string FormatDatePicture(std::string_view picture, std::time_t when) {
    std::tm tm{};
    gmtime_r(&when, &tm);
    const int year = tm.tm_year + 1900;
    std::string out;
    std::size_t i = 0;
    while (i < picture.size() && out.size() < kMaxDateText) {
        const char c = picture[i];
        std::size_t run = 1;
        while (i + run < picture.size() && picture[i + run] == c) {
            ++run;
        }
        if (c == '\'') {
            // Quoted text is literal; two quotes stand for one.
            std::size_t j = i + 1;
            while (j < picture.size()) {
                if (picture[j] == '\'') {
                    if (j + 1 < picture.size() && picture[j + 1] == '\'') {
                        out += '\'';
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                out += picture[j++];
            }
            i = j;
            continue;
        }
        switch (c) {
        case 'y':
            if (run == 1) {
                out += std::to_string(year % 10);
            } else if (run == 2) {
                out += TwoDigits(year % 100);
            } else {
                out += std::to_string(year);
            }
            break;
        case 'M':
            if (run == 1) {
                out += std::to_string(tm.tm_mon + 1);
            } else if (run == 2) {
                out += TwoDigits(tm.tm_mon + 1);
            } else if (run == 3) {
                out += std::string(kMonthNames[tm.tm_mon]).substr(0, 3);
            } else {
                out += kMonthNames[tm.tm_mon];
            }
            break;
        case 'd':
            if (run == 1) {
                out += std::to_string(tm.tm_mday);
            } else if (run == 2) {
                out += TwoDigits(tm.tm_mday);
            } else if (run == 3) {
                out += std::string(kDayNames[tm.tm_wday]).substr(0, 3);
            } else {
                out += kDayNames[tm.tm_wday];
            }
            break;
        default:
            out.append(run, c);
            break;
        }
        i += run;
    }
    CutTo(out, kMaxDateText);
    return out;
}

int ExpandDateMacro(std::string_view text, std::string_view datePattern, std::string& out,
                    std::time_t when) {
    if (datePattern.empty()) {
        out.assign(text.substr(0, kMaxUrlText));
        return text.size() > kMaxUrlText ? -1 : 0;
    }
    // Most texts hold no macro: the date is not worked out for them (the link filters expand
    // their start address and every path item for each link a page offers).
    if (text.find("$DATE") == npos) {
        out.assign(text);
        return CutTo(out, kMaxUrlText) ? 0 : -1;
    }
    std::string picture(datePattern);
    for (char& c : picture) {
        if (c == 'Y') {
            c = 'y';
        } else if (c == 'm') {
            c = 'M';
        } else if (c == 'D') {
            c = 'd';
        }
    }
    const std::string date = FormatDatePicture(picture, when);
    out.clear();
    std::size_t pos = 0;
    for (;;) {
        const std::size_t macro = text.find("$DATE", pos);
        if (macro == npos) {
            out.append(text.substr(pos));
            break;
        }
        out.append(text.substr(pos, macro - pos));
        out += date;
        pos = macro + 5;
        if (out.size() > kMaxUrlText) {
            break;
        }
    }
    return CutTo(out, kMaxUrlText) ? 0 : -1;
}

int ExpandDateMacro(std::string_view text, std::string_view datePattern, std::string& out) {
    return ExpandDateMacro(text, datePattern, out, std::time(nullptr));
}

std::string RelativeLocalPath(std::string_view target, std::string_view page) {
    std::size_t n = 0;
    while (n < target.size() && n < page.size() && target[n] == page[n]) {
        ++n;
    }
    std::string out;
    for (std::size_t i = n; i < page.size(); ++i) {
        if (page[i] == '/') {
            out += "../";
        }
    }
    if (n == 0) {
        out += target;
        return out;
    }
    if (n >= target.size()) {
        return out;
    }
    const std::size_t lastSlash = target.substr(0, n).rfind('/');
    out += lastSlash == npos ? target : target.substr(lastSlash + 1);
    return out;
}

} // namespace torvex
