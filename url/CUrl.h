#pragma once

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace torvex {

// Capacities of the URL record's texts (characters, without a terminator).
constexpr std::size_t kMaxUrlText = 512;
constexpr std::size_t kMaxScheme = 16;
constexpr std::size_t kMaxHost = 128;
constexpr std::size_t kMaxUrlPath = 512;
// The longest composition: scheme, "://", host, ":" and five digits, path.
constexpr std::size_t kMaxComposedUrl = kMaxScheme + 3 + kMaxHost + 6 + kMaxUrlPath;
constexpr std::size_t kMaxDateText = 40;

// Parse status of a CUrl; 0 is valid, every other value names why the text is unusable.
enum class UrlStatus : int {
    Valid = 0,
    Empty = 1,          // no text, or empty text
    TooLong = 2,        // text longer than 512 characters
    NotFetchable = 3,   // "//...", a scheme that is not fetched (javascript:, mailto:, data:,
                        // tel:, ...), or "?" before "://" without a base
    NoScheme = 4,       // no "://" and no base, or an empty scheme
    BadScheme = 5,      // a scheme other than http, https, ftp
    EmptyHost = 6,
    HostTooLong = 7,
    PathTooLong = 8,    // also after joining a relative reference
    BadPort = 9,        // not all digits, 0, or above 65535
};

// A parsed address: scheme, host (both lower case), port (-1 when the text gave none), path with
// query (always beginning with "/"), and optional credentials that the URL text never carries.
// Parsing never throws: the status says what went wrong, and the fields filled before the
// failure are kept. A plain value, cheap to copy; any thread may use its own copy.
class CUrl {
public:
    CUrl();
    // Parses `text`, resolving it against `base` when one is given; read Status() afterwards.
    explicit CUrl(std::string_view text, const CUrl* base = nullptr);
    // A copy holds the source's effective port (a copy of an http address without a port holds
    // port 80, of an https one 443) and exactly the source's status.
    CUrl(const CUrl& other);
    CUrl& operator=(const CUrl& other);
    virtual ~CUrl();

    // Parses `text` (nullopt stands for no text at all) into this record; returns the status.
    // The credentials are not touched: the URL text has no user-information syntax.
    int Parse(std::optional<std::string_view> text, const CUrl* base = nullptr);

    int Status() const { return m_status; }
    bool IsValid() const { return m_status == 0; }
    const std::string& Scheme() const { return m_scheme; }
    const std::string& Host() const { return m_host; }
    int Port() const { return m_port; }
    const std::string& Path() const { return m_path; }
    // Null when absent.
    const std::string* UserName() const { return m_userName ? &*m_userName : nullptr; }
    const std::string* Password() const { return m_password ? &*m_password : nullptr; }

    // The stored port, else the scheme's default (80 http, 443 https, 21 ftp), else -1.
    int EffectivePort() const;

    // Setters with checks: a refused value sets the status and leaves the field unchanged.
    // A value that is accepted leaves the status as it was.
    bool SetScheme(std::string_view scheme);   // http, https or ftp in any case, else status 5
    bool SetHost(std::string_view host);       // at most 128 characters, else status 7
    bool SetPort(int port);                    // 1..65535, else status 9
    bool SetPath(std::string_view path);       // at most 512 characters, else status 8
    // An empty or absent user name makes it absent; only an absent password makes it absent,
    // an empty one is kept.
    void SetUserName(std::optional<std::string_view> userName);
    void SetPassword(std::optional<std::string_view> password);

    // "scheme://host/path", with ":port" only when the stored port is not 80, 21 or -1 (http,
    // ftp), not 443 or -1 (https). At most kMaxComposedUrl characters.
    std::string Compose() const;

    // The host after its first ".", or the whole host when it has no dot.
    std::string DomainTail() const;

private:
    int Fail(UrlStatus status);
    // A reference without "://" (or with it only in its query), joined to `base`.
    int ParseRelative(std::string_view work, const CUrl* base);
    // "scheme://host[:port]/path"; `sep` is where "://" begins.
    int ParseAbsolute(std::string_view work, std::size_t sep);

    int m_status = 0;
    std::string m_scheme;
    std::string m_host;
    int m_port = -1;
    std::string m_path;
    std::optional<std::string> m_userName;
    std::optional<std::string> m_password;
};

// True when `text` begins with a scheme ("name:", the name a letter followed by letters, digits,
// "+", "-" or ".") other than http, https and ftp: javascript:, mailto:, data:, tel:, about: and
// the like name nothing to fetch, so such a text is never a path.
bool HasUnfetchedScheme(std::string_view text);

// The directory part of a path, ending in "/". The search for the last "/" stops at the first
// "=", so /cgi/x?a=/b/c gives /cgi/; a last segment that begins with "~" counts as a directory
// (/d/~u gives /d/~u/). At most `capacity` characters.
std::string BaseDirectory(std::string_view path, std::size_t capacity);

// The text after the last "/" before the first "=" (query included), the whole path without a
// "/", empty when the path ends there; a result beginning with "~" becomes empty. Callers that
// need a file name for an empty result use "index.html". At most `capacity` characters.
std::string LastSegment(std::string_view path, std::size_t capacity);

// Joins `reference` to `baseDirectory` (both cut to 512 characters): a reference beginning with
// "/" replaces the path; leading "../" and "./" groups are stripped, each "../" climbing one
// level but never above the root. Returns 0, or 8 when the result would exceed 512 characters
// (`out` is then left empty).
int ResolveRelative(std::string& out, std::string_view reference, std::string_view baseDirectory);

// In place: "&amp;" (any case) becomes "&"; runs of "/" before the first "?" become one;
// "/./" becomes "/"; "seg/../" is removed, but a "../" directly after the root is kept.
void NormalisePath(std::string& path);

// Replaces every "$DATE" in `text` by the date `when` (UTC) formatted with `datePattern`, after
// mapping "Y" to "y", "m" to "M" and "D" to "d" ("yyyymmdd" gives eight digits). An empty
// pattern copies the text unchanged. Returns 0, or -1 when the result was cut to 512 characters.
int ExpandDateMacro(std::string_view text, std::string_view datePattern, std::string& out,
                    std::time_t when);
// The same with the current time.
int ExpandDateMacro(std::string_view text, std::string_view datePattern, std::string& out);

// Formats `when` (UTC) with a date picture: y/yy/yyyy, M/MM/MMM/MMMM, d/dd/ddd/dddd, text in
// single quotes taken literally, other characters as they stand. At most 40 characters.
std::string FormatDatePicture(std::string_view picture, std::time_t when);

// The relative link from the local directory `page` to the local directory `target` (both
// relative to the record's download directory, "/" separated and ending in "/"): "h/a/" seen
// from "h/a/b/" is "../". The caller appends the file name.
std::string RelativeLocalPath(std::string_view target, std::string_view page);

} // namespace torvex
