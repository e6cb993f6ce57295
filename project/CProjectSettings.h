#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "net/ProxyMode.h"
#include "project/CFileTypeFilter.h"
#include "project/CUrlFilter.h"

namespace torvex {

enum class KeyPlace : int;   // where a settings key stands (SettingsKeys.h)

class CSettingsReader;

// The version text every project-related file begins with (key "TorvexVersion").
constexpr std::string_view kSettingsVersion = "0.93";
constexpr std::size_t kMaxVersionText = 10;
constexpr std::size_t kMaxFoldersText = 260;

// Capacities of the settings texts (characters).
constexpr std::size_t kMaxProjectName = 64;
constexpr std::size_t kMaxProjectDir = 128;
constexpr std::size_t kMaxUserDefined = 64;
constexpr std::size_t kMaxProxyServer = 128;
constexpr std::size_t kMaxProxyUser = 64;
constexpr std::size_t kMaxStartUrl = 512;
constexpr std::size_t kMaxDescription = 128;
constexpr std::size_t kMaxRequestMethod = 20;
constexpr std::size_t kMaxUsername = 64;
constexpr std::size_t kMaxDateFormat = 20;

constexpr std::string_view kDefaultDateFormat = "yyyymmdd";


// What a settings body is written for: the folder tree file, an export file (no proxy lines and
// no TimeDownload, since proxies belong to the machine), or a project's project.conf.
enum class SettingsBodyMode : int {
    TreeFile = 0,
    ExportFile = 1,
    ProjectFile = 2,
};

// One start address of a project ("[URL]" section), with its own URL filter. Plain data, named
// like its keys.
struct CStartAddress {
    std::string StartURL;                       // may contain "$DATE"
    int Level = 0;                              // link depth limit, 0 = none; 0..99
    std::string Description;                    // empty = none
    std::string RequestMethod = "GET";          // "GET" or "POST"
    bool Enable = true;                         // a disabled address is left out of runs
    int Child = 0;                              // non-zero: child of the stand-alone before it
    std::string Username;
    std::string Password;                       // plain text, at most 64 bytes
    std::string PasswordScrambled;              // as last read from or written to a file
    std::string DateFormat = std::string(kDefaultDateFormat);   // pattern for "$DATE"
    int Inherit = 1;                            // a child with 1 is judged by its parent's filter
    CUrlFilter Filter;

    bool operator==(const CStartAddress&) const = default;
};

// The settings of one project, or the user's defaults for new projects. Fields are named like
// their keys; the tree owns one per project node (GUI thread only), and a run owns the copy that
// CopyForRun makes. A plain value: copies share nothing.
//
// Loading never refuses a value: Validate clamps what is out of range. Writers print fixed
// formats, so a file that is read and written again comes out byte for byte the same (stored
// passwords included, see BringPasswordUpToDate).
class CProjectSettings {
public:
    // Every field at its default, no start addresses.
    CProjectSettings();

    // Reads the defaults file: the defaults for new addresses and the options common to every
    // project; a key that is missing leaves its field as it was. False when the file cannot be
    // opened (the fields are then untouched).
    bool LoadDefaults(const std::string& path);
    // Writes the defaults file anew; false when it cannot be created. The caller creates the
    // folder first.
    bool SaveDefaults(const std::string& path) const;

    // Reads project.conf or a one-project export file: false when it cannot be opened or lacks
    // the version key. `folders`, when given, receives the "Folders" value (empty when absent).
    bool LoadProjectFile(const std::string& path, std::string* folders);
    // Reads a settings body from the reader's position through its "[URL]" sections; the reader
    // is left in front of the first other section line. False only when memory ran out.
    bool LoadSettingsBody(CSettingsReader& reader, bool skipDirectoryAndTime);

    // Appends the settings body in `mode` to `out`. Non-const because the scrambled copies of
    // the passwords are brought up to date, so that the next save writes the same text.
    void WriteSettingsBody(std::string& out, SettingsBodyMode mode);
    // Writes project.conf (with the proxy lines, when `folders` is not empty) or a one-project
    // export file (`folders` empty). False when the file cannot be created or written.
    bool WriteProjectFile(const std::string& path, std::string_view folders);

    // Clamps every number into its range and cuts every text to its capacity.
    void Validate();

    // Makes this the working copy of `source` for a run: every project-wide field, and the
    // enabled start addresses in order, each with "$DATE" expanded (for the date `when`) and with
    // the filter that judges it (the parent's for a child with Inherit 1; Inherit is then 0 in
    // the copy, since the filter is already resolved).
    void CopyForRun(const CProjectSettings& source);
    void CopyForRun(const CProjectSettings& source, std::time_t when);

    // A new start address with the defaults file's level and filter.
    CStartAddress NewAddress() const;

    bool operator==(const CProjectSettings&) const = default;

    // Project identity.
    std::string Name;
    std::string ProjectDir;
    std::int32_t CreateTime = 0;

    // Defaults for new start addresses (defaults file only).
    int Level = 2;
    bool FilterSameLevel = false;
    int HostFilter = static_cast<int>(HostFilterMode::StartHost);
    int PathFilter = static_cast<int>(PathFilterMode::AllPaths);
    int ProtocolFilter = 0;

    // Options common to projects and the defaults file.
    int FileType = 0;           // bit 0: no images, bit 1: no dropdown lists
    int UpdateMode = 2;         // 0 local only, 1 local first, 2 download first
    int FirstPage = 0;          // 1: the start address is always downloaded first
    int BackupLast = 1;
    bool Cookie = true;
    int Link = 0;               // unretrieved files: 0 local address, 1 absolute URL
    bool AutoConvert = true;
    bool AutoExt = false;
    int DownthreadNum = 10;     // 1..50
    int TimeOut = 120;          // seconds, 10..1200
    int Retry = 3;              // 0..99
    int FreeSpaceLimit = 2;     // megabytes, 1..999 (below 1 becomes 2)
    int MaxMinute = 0;          // 0..9999, 0 = no limit
    int MaxFile = 0;            // 0..9999, 0 = no limit
    int UserAgentMode = 1;      // 0..4
    std::string UserDefined;
    CFileTypeFilter FileTypeFilter;

    // The project's own proxy (used when UseGlobeProxy is off).
    bool UseGlobeProxy = true;
    int Proxy = static_cast<int>(ProxyMode::None);
    std::string ProxyServer;
    int ProxyPort = 8080;
    std::string ProxyUser;
    std::string ProxyPassword;              // plain text, at most 64 bytes
    std::string ProxyPasswordScrambled;     // as last read from or written to a file

    bool TimeDownload = false;  // on the download timer list

    // Check the certificates of https servers (off for intranet sites with their own). Written
    // only when off, after every other project key, so files with the default stay as they were.
    bool TlsVerify = true;
    // Keep HTTP connections open between files (HTTP/1.1) and take compressed replies. Off by
    // default: the requests stay the HTTP/1.0 ones the program has always sent. Written only when
    // on, after TlsVerify.
    bool KeepAlive = false;

    std::vector<CStartAddress> Addresses;

private:
    void ReadCommonKeys(const CSettingsReader& reader);
    void ReadAddress(const CSettingsReader& reader, std::size_t index, std::size_t parent);
    void WriteCommonBlock(std::string& out) const;
    // The added keys of `place` whose values differ from their defaults.
    void WriteAddedKeys(std::string& out, KeyPlace place) const;
    void WriteAddress(std::string& out, std::size_t index, std::size_t parent);
};

// The working directory's defaults file: Config/default.conf. "Save as default" writes here.
std::string DefaultSettingsPath();
// The defaults file new projects start from: the working directory's, or while it has none (a
// TORVEX_HOME that nothing was saved into yet) the one installed with the program, which
// differs from the built-in defaults. Names a missing file when neither exists.
std::string DefaultSettingsSourcePath();
// Loads the defaults file (DefaultSettingsSourcePath) into `settings`; a missing file leaves the
// built-in defaults and gives false, which is not an error.
bool LoadDefaultSettings(CProjectSettings& settings);
// Creates the Config folder when missing and writes the defaults file; false on failure (show
// DefaultsWriteErrorText then).
bool SaveDefaultSettings(const CProjectSettings& settings);
// "Error: Failed to write default settings to file:", a line break, the quoted path and "!".
std::string DefaultsWriteErrorText(std::string_view path);

} // namespace torvex
