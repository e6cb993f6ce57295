#include "net/CCookieJar.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <utility>

#include "base/AsciiCase.h"
#include "base/BoundedText.h"

namespace torvex {

namespace {

// The longest line the jar writes: four fields at their capacities, four separators and the
// secure digit. Longer lines were not written by us and are skipped whole rather than cut,
// which would keep a cookie with a mangled value.
constexpr std::size_t kMaxWrittenLine =
    kMaxCookieDomain + kMaxCookiePath + kMaxCookieName + kMaxCookieValue + 5;
constexpr std::size_t kMaxReadLine = 2 * kMaxWrittenLine;
// A file the jar wrote has at most one line per slot; reading stops well beyond that so that a
// runaway file cannot hold up the start of a run.
constexpr std::size_t kMaxReadLines = 10 * kCookieSlots;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Reads one line without its LF into `line`; false at the end of the file. A line longer than
// kMaxReadLine is read to its end and reported with `tooLong`.
bool ReadLine(std::FILE* file, std::string& line, bool& tooLong) {
    line.clear();
    tooLong = false;
    int c = std::getc(file);
    if (c == EOF) {
        return false;
    }
    for (; c != EOF && c != '\n'; c = std::getc(file)) {
        if (line.size() < kMaxReadLine) {
            line += static_cast<char>(c);
        } else {
            tooLong = true;
        }
    }
    return true;
}

// One line of the cookies file: domain, path, name and value separated by CR, then the
// secure flag. Files written with CR LF line ends lose the CR first.
bool CookieFromLine(std::string_view line, CCookie& cookie) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    std::string_view fields[5];
    std::size_t count = 0;
    while (count < 5) {
        const std::size_t cr = line.find('\r');
        fields[count++] = line.substr(0, cr);
        if (cr == std::string_view::npos) {
            break;
        }
        line.remove_prefix(cr + 1);
    }
    if (count < 4) {
        return false;
    }
    AssignCut(cookie.domain, UpToNul(fields[0]), kMaxCookieDomain);
    AssignCut(cookie.path, UpToNul(fields[1]), kMaxCookiePath);
    AssignCut(cookie.name, UpToNul(fields[2]), kMaxCookieName);
    AssignCut(cookie.value, UpToNul(fields[3]), kMaxCookieValue);
    cookie.secure = count == 5 && fields[4] == "1";
    return true;
}

// A cookie the jar can keep and send: one without a domain would go to every host, one
// without a name cannot be written as a pair, and a control byte would break the header line.
bool IsUsable(const CCookie& cookie) {
    return !cookie.domain.empty() && !cookie.name.empty() &&
           !HasCookieControlBytes(cookie.name) && !HasCookieControlBytes(cookie.value) &&
           !HasCookieControlBytes(cookie.domain) && !HasCookieControlBytes(cookie.path);
}

// The slot of the cookie used least often (the earliest of equals) among the indices given.
template <typename Pick>
std::size_t LeastUsed(const std::vector<CCookie>& cookies, Pick pick) {
    std::size_t least = cookies.size();
    for (std::size_t i = 0; i < cookies.size(); ++i) {
        if (pick(cookies[i]) &&
            (least == cookies.size() || cookies[i].useCount < cookies[least].useCount)) {
            least = i;
        }
    }
    return least;
}

} // namespace

CCookieJar::CCookieJar() { m_cookies.reserve(kCookieSlots); }

CCookieJar::~CCookieJar() = default;

std::string CCookieJar::BuildCookieHeader(std::string_view host, std::string_view path) {
    std::lock_guard<std::mutex> guard(m_lock);
    std::string line;
    for (CCookie& cookie : m_cookies) {
        if (!CookieDomainMatches(cookie.domain, host) || !CookiePathMatches(cookie.path, path)) {
            continue;
        }
        const std::size_t lead = line.empty() ? 8 : 2;   // "Cookie: " or "; "
        if (line.size() + lead + cookie.name.size() + 1 + cookie.value.size() + 2 >
            kMaxCookieLine) {
            continue;
        }
        ++cookie.useCount;
        line += line.empty() ? "Cookie: " : "; ";
        line += cookie.name;
        line += '=';
        line += cookie.value;
    }
    if (!line.empty()) {
        line += "\r\n";
    }
    return line;
}

void CCookieJar::AddSetCookie(std::string_view text, std::string_view defaultDomain,
                              std::string_view defaultPath) {
    CCookie cookie = ParseSetCookie(UpToNul(text));
    AssignCut(cookie.domain, CookieDomainFor(defaultDomain, cookie.domain), kMaxCookieDomain);
    // A path that is not one ("path=docs") could never match a request; take the page's.
    if (cookie.path.empty() || cookie.path.front() != '/') {
        AssignCut(cookie.path, defaultPath, kMaxCookiePath);
    }
    AddCookie(std::move(cookie));
}

void CCookieJar::AddCookie(CCookie cookie) {
    if (!IsUsable(cookie)) {
        return;
    }
    cookie.useCount = 0;
    std::lock_guard<std::mutex> guard(m_lock);
    int sameDomain = 0;
    for (CCookie& kept : m_cookies) {
        if (!EqualsNoCase(kept.domain, cookie.domain)) {
            continue;
        }
        if (kept.path == cookie.path && kept.name == cookie.name) {
            // The server changed the cookie's value: sending the old one beside it would
            // hand the server a stale session.
            kept.value = std::move(cookie.value);
            kept.secure = cookie.secure;
            return;
        }
        ++sameDomain;
    }
    std::size_t slot = m_cookies.size();
    if (sameDomain >= kCookiesPerDomain) {
        slot = LeastUsed(m_cookies, [&](const CCookie& kept) {
            return EqualsNoCase(kept.domain, cookie.domain);
        });
    } else if (m_cookies.size() >= kCookieSlots) {
        slot = LeastUsed(m_cookies, [](const CCookie&) { return true; });
    }
    if (slot < m_cookies.size()) {
        m_cookies[slot] = std::move(cookie);
    } else {
        m_cookies.push_back(std::move(cookie));
    }
}

bool CCookieJar::LoadCookies(const std::string& fileName) {
    const FileHandle file(std::fopen(fileName.c_str(), "rb"));
    if (!file) {
        std::error_code error;
        return !std::filesystem::exists(fileName, error);
    }
    std::string line;
    bool tooLong = false;
    for (std::size_t lines = 0; lines < kMaxReadLines && ReadLine(file.get(), line, tooLong);
         ++lines) {
        CCookie cookie;
        if (!tooLong && CookieFromLine(line, cookie)) {
            AddCookie(std::move(cookie));
        }
    }
    return true;
}

bool CCookieJar::SaveCookies(const std::string& fileName) const {
    const std::vector<CCookie> cookies = Cookies();
    if (cookies.empty()) {
        return true;
    }
    // Written beside the file and renamed over it, so that a failed write keeps the cookies
    // of the last run instead of leaving half a file.
    const std::string temporary = fileName + ".tmp";
    bool written = false;
    if (std::FILE* file = std::fopen(temporary.c_str(), "wb")) {
        written = true;
        for (const CCookie& cookie : cookies) {
            written = std::fprintf(file, "%s\r%s\r%s\r%s\r%d\n", cookie.domain.c_str(),
                                   cookie.path.c_str(), cookie.name.c_str(), cookie.value.c_str(),
                                   cookie.secure ? 1 : 0) > 0 &&
                      written;
        }
        written = std::fclose(file) == 0 && written;
    }
    if (!written || std::rename(temporary.c_str(), fileName.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

std::vector<CCookie> CCookieJar::Cookies() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_cookies;
}

} // namespace torvex
