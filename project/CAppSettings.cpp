#include "project/CAppSettings.h"

#include <algorithm>
#include <string_view>

#include "base/BoundedText.h"
#include "base/CSettingsReader.h"
#include "platform/FileSystem.h"
#include "project/PasswordScramble.h"
#include "project/WorkDir.h"

namespace torvex {

namespace {

constexpr std::size_t kMaxProxyServerText = 128;
constexpr std::size_t kMaxUserText = 64;
constexpr std::size_t kMaxEntryName = 256;
constexpr std::size_t kMaxOpenWith = 260;
constexpr std::size_t kMaxPlainText = 64;
constexpr std::size_t kMaxTlsCaFiles = 2048;

// A value written on one line: a line break inside it would start a key of its own.
std::string OneLine(std::string_view text) {
    return std::string(text.substr(0, text.find_first_of("\r\n")));
}

} // namespace

int ProxyPortInRange(int proxyMode, int port) {
    if (port < 1 || port > 65535) {
        return proxyMode == 2 ? 1080 : 8080;
    }
    return port;
}

bool CAppSettings::Load(const std::string& path, const std::string& projectsDir) {
    CSettingsReader reader;
    const bool opened = reader.Open(path);
    if (opened) {
        std::string stored;
        reader.ReadText("DefaultDir", DefaultDir, kMaxDefaultDir);
        reader.ReadFlag("AutoHangUp", AutoHangUp);
        reader.ReadFlag("AutoShutdown", AutoShutdown);
        reader.ReadInt("AutoTimeOut", AutoTimeOut);
        reader.ReadFlag("ClipMonitor", ClipMonitor);
        reader.ReadInt("Proxy", Proxy);
        reader.ReadText("ProxyServer", ProxyServer, kMaxProxyServerText);
        reader.ReadInt("ProxyPort", ProxyPort);
        reader.ReadText("ProxyUser", ProxyUser, kMaxUserText);
        if (reader.ReadText("ProxyPassword", stored, kMaxScrambledPassword)) {
            LoadStoredPassword(stored, ProxyPassword, ProxyPasswordScrambled);
        }
        reader.ReadInt("Splitter1CX", Splitter1CX);
        reader.ReadInt("Splitter2CX", Splitter2CX);
        reader.ReadFlag("Dialup", Dialup);
        reader.ReadText("EntryName", EntryName, kMaxEntryName);
        reader.ReadText("DialupUser", DialupUser, kMaxUserText);
        reader.ReadText("DialupPassword", DialupPassword, kMaxPlainText);
        reader.ReadInt("Redial", Redial);
        reader.ReadInt("WaitBeforeRedial", WaitBeforeRedial);
        reader.ReadInt("EndNotify", EndNotify);
        reader.ReadInt("MaxRunningTask", MaxRunningTask);
        reader.ReadFlag("HTMLOpenMethod", HTMLOpenMethod);
        reader.ReadText("HTMLOpenWith", HTMLOpenWith, kMaxOpenWith);
        reader.ReadText("RecordListSort", RecordListSort, 1);
        reader.ReadFlag("StartDownloadTimer", StartDownloadTimer);
        reader.ReadInt("StartDownloadHour", StartDownloadHour);
        reader.ReadInt("StartDownloadMinute", StartDownloadMinute);
        reader.ReadFlag("StopDownloadTimer", StopDownloadTimer);
        reader.ReadInt("StopDownloadHour", StopDownloadHour);
        reader.ReadInt("StopDownloadMinute", StopDownloadMinute);
        reader.ReadText("TlsCaFiles", TlsCaFiles, kMaxTlsCaFiles);
        reader.ReadFlag("BandWidthControl", BandWidthControl);
        reader.ReadInt("MaxBandWidth", MaxBandWidth);
        reader.ReadInt("ShutdownAction", ShutdownAction);
    }
    AutoTimeOut = std::clamp(AutoTimeOut, 0, 60);
    ProxyPort = ProxyPortInRange(Proxy, ProxyPort);
    Redial = std::clamp(Redial, 0, 99);
    WaitBeforeRedial = std::clamp(WaitBeforeRedial, 1, 60);
    if (EndNotify != 0 && EndNotify != 1) {
        EndNotify = 1;
    }
    MaxRunningTask = std::clamp(MaxRunningTask, 1, 8);
    if (ShutdownAction != 1) {
        ShutdownAction = 0;
    }
    if (RecordListSort != "0" && RecordListSort != "1") {
        RecordListSort = "0";
    }
    // Hours and minutes of the timers stay within a day, whatever the file says.
    StartDownloadHour = std::clamp(StartDownloadHour, 0, 23);
    StopDownloadHour = std::clamp(StopDownloadHour, 0, 23);
    StartDownloadMinute = std::clamp(StartDownloadMinute, 0, 59);
    StopDownloadMinute = std::clamp(StopDownloadMinute, 0, 59);
    if (DefaultDir.empty()) {
        DefaultDir = projectsDir;
    }
    return opened;
}

bool CAppSettings::Save(const std::string& path) {
    BringPasswordUpToDate(ProxyPassword, ProxyPasswordScrambled);
    std::string text;
    auto line = [&text](std::string_view key, std::string_view value) {
        text.append(key);
        text.push_back('=');
        text.append(OneLine(value));
        text.push_back('\n');
    };
    auto number = [&line](std::string_view key, int value) { line(key, std::to_string(value)); };
    line("Version", kAppSettingsVersion);
    line("DefaultDir", DefaultDir);
    number("AutoHangUp", AutoHangUp ? 1 : 0);
    number("AutoShutdown", AutoShutdown ? 1 : 0);
    number("AutoTimeOut", AutoTimeOut);
    number("ClipMonitor", ClipMonitor ? 1 : 0);
    number("Proxy", Proxy);
    line("ProxyServer", ProxyServer);
    number("ProxyPort", ProxyPort);
    line("ProxyUser", ProxyUser);
    line("ProxyPassword", ProxyPasswordScrambled);
    number("Splitter1CX", Splitter1CX);
    number("Splitter2CX", Splitter2CX);
    number("Dialup", Dialup ? 1 : 0);
    line("EntryName", EntryName);
    line("DialupUser", DialupUser);
    line("DialupPassword", DialupPassword);
    number("Redial", Redial);
    number("WaitBeforeRedial", WaitBeforeRedial);
    number("EndNotify", EndNotify);
    number("MaxRunningTask", MaxRunningTask);
    number("HTMLOpenMethod", HTMLOpenMethod ? 1 : 0);
    line("HTMLOpenWith", HTMLOpenWith);
    line("RecordListSort", RecordListSort);
    number("StartDownloadTimer", StartDownloadTimer ? 1 : 0);
    number("StartDownloadHour", StartDownloadHour);
    number("StartDownloadMinute", StartDownloadMinute);
    number("StopDownloadTimer", StopDownloadTimer ? 1 : 0);
    number("StopDownloadHour", StopDownloadHour);
    number("StopDownloadMinute", StopDownloadMinute);
    if (ShutdownAction != 0) {
        number("ShutdownAction", ShutdownAction);
    }
    if (!TlsCaFiles.empty()) {
        line("TlsCaFiles", TlsCaFiles);
    }

    return WriteFileText(path, text);
}

std::vector<std::string> SplitCaFiles(std::string_view value) {
    std::vector<std::string> files;
    std::size_t start = 0;
    while (start <= value.size()) {
        const std::size_t end = std::min(value.find(';', start), value.size());
        if (end > start) {
            files.emplace_back(value.substr(start, end - start));
        }
        start = end + 1;
    }
    return files;
}

std::string AppSettingsPath() {
    return ConfigDir() + "/" + std::string(kAppSettingsName);
}

std::string DefaultProjectsDir() {
    return WorkingDirectory() + "/" + std::string(kDefaultProjectsDirName);
}

} // namespace torvex
