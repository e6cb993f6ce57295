#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace torvex {

constexpr std::string_view kAppSettingsName = "Torvex.conf";
constexpr std::string_view kAppSettingsVersion = "0.93";
constexpr std::string_view kDefaultProjectsDirName = "MyWebsites";
constexpr std::size_t kMaxDefaultDir = 88; // DefaultDir as it is read

// The default proxy port for `proxyMode`, when `port` is outside 1..65535: 1080 for SOCKS5,
// else 8080.
int ProxyPortInRange(int proxyMode, int port);

// The application-wide options of Config/Torvex.conf: the default proxy, dial-up, the end of
// downloading, the download timer, the window layout and how many projects run at once. One
// object per process, loaded at start-up and saved by the option dialogs on the front end's
// thread; other threads only read it. Fields are named like their keys.
class CAppSettings {
public:
    // Reads `path`; a missing or unreadable file leaves every field at its default and gives
    // false. Values are clamped as they are read; an empty DefaultDir becomes `projectsDir`.
    bool Load(const std::string& path, const std::string& projectsDir);
    // Writes the whole file anew (the folder must exist); false when it cannot be written.
    bool Save(const std::string& path);

    std::string DefaultDir;
    bool AutoHangUp = false;
    bool AutoShutdown = false;
    int AutoTimeOut = 15;          // seconds, 0..60
    bool ClipMonitor = true;
    int Proxy = 0;                 // 0 none, 1 HTTP, 2 SOCKS5
    std::string ProxyServer;
    int ProxyPort = 8080;
    std::string ProxyUser;
    std::string ProxyPassword;             // plain text, at most 64 bytes
    std::string ProxyPasswordScrambled;    // as last read or written
    int Splitter1CX = 200;
    int Splitter2CX = 280;
    bool Dialup = false;
    std::string EntryName;
    std::string DialupUser;
    std::string DialupPassword;    // as typed
    int Redial = 2;                // 0..99
    int WaitBeforeRedial = 2;      // seconds, 1..60
    int EndNotify = 1;             // 0 or 1
    int MaxRunningTask = 8;        // 1..8
    bool HTMLOpenMethod = false;
    std::string HTMLOpenWith;
    std::string RecordListSort = "0";   // "0" or "1"
    bool StartDownloadTimer = false;
    int StartDownloadHour = 0;
    int StartDownloadMinute = 0;
    bool StopDownloadTimer = false;
    int StopDownloadHour = 0;
    int StopDownloadMinute = 0;
    // Beyond the keys above, written only when not 0: how the computer is shut down when
    // downloading has ended (0 power off, 1 log out of the desktop).
    int ShutdownAction = 0;
    // Files of further trusted authorities for https (PEM), separated by ";". Written only when
    // not empty, after every other key.
    std::string TlsCaFiles;
    // Read and kept, never written, without effect.
    bool BandWidthControl = false;
    int MaxBandWidth = 5;
};

// The file names of a TlsCaFiles value: the texts between ";", without empty ones.
std::vector<std::string> SplitCaFiles(std::string_view value);

// <working directory>/Config/Torvex.conf and <working directory>/MyWebsites.
std::string AppSettingsPath();
std::string DefaultProjectsDir();

} // namespace torvex
