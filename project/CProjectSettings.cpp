#include "project/CProjectSettings.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <limits>
#include <new>

#include "base/AsciiCase.h"
#include "base/BoundedText.h"
#include "base/CSettingsReader.h"
#include "platform/FileSystem.h"
#include "platform/ProgramDir.h"
#include "project/PasswordScramble.h"
#include "project/SettingsKeys.h"
#include "project/WorkDir.h"
#include "url/CUrl.h"

namespace torvex {

namespace {

constexpr std::string_view kVersionKey = "TorvexVersion";

__attribute__((format(printf, 2, 3))) void AppendFormat(std::string& out, const char* format,
                                                          ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length > 0) {
        const std::size_t old = out.size();
        out.resize(old + static_cast<std::size_t>(length) + 1);
        std::vsnprintf(out.data() + old, static_cast<std::size_t>(length) + 1, format, args);
        out.resize(old + static_cast<std::size_t>(length));
    }
    va_end(args);
}

// A value as it may stand on one line: a text never carries its line break (or anything after
// a NUL) into the file, so a stray character cannot start a key of its own.
std::string OneLine(std::string_view text) {
    text = UpToNul(text);
    return std::string(text.substr(0, text.find('\n')));
}

int FlagValue(bool flag) { return flag ? 1 : 0; }


void WriteFilterKeys(std::string& out, const CUrlFilter& filter) {
    if (filter.FilterSameLevel) {
        AppendFormat(out, "FilterSameLevel=%d\n", 1);
    }
    if (filter.HostFilter != static_cast<int>(HostFilterMode::StartHost)) {
        AppendFormat(out, "HostFilter=%d\n", filter.HostFilter);
    }
    if (!OneLine(filter.FHost).empty()) {
        AppendFormat(out, "FHost=%s\n", OneLine(filter.FHost).c_str());
    }
    if (!OneLine(filter.EHost).empty()) {
        AppendFormat(out, "EHost=%s\n", OneLine(filter.EHost).c_str());
    }
    if (filter.PathFilter != 0) {
        AppendFormat(out, "PathFilter=%d\n", filter.PathFilter);
    }
    if (!OneLine(filter.FPath).empty()) {
        AppendFormat(out, "FPath=%s\n", OneLine(filter.FPath).c_str());
    }
    if (!OneLine(filter.EPath).empty()) {
        AppendFormat(out, "EPath=%s\n", OneLine(filter.EPath).c_str());
    }
    if (filter.ProtocolFilter != 0) {
        AppendFormat(out, "ProtocolFilter=%d\n", filter.ProtocolFilter);
    }
}

// Reads every key of `place` from the reader's section into `settings`.
void ReadPlace(const CSettingsReader& reader, KeyPlace place, CProjectSettings& settings,
               bool skipLocation = false) {
    for (const CSettingsKey& key : SettingsKeys()) {
        if (key.place == place && !(skipLocation && key.Has(kRuleLocation))) {
            ReadKey(reader, key, key.project(settings));
        }
    }
}

} // namespace

CProjectSettings::CProjectSettings() = default;

CStartAddress CProjectSettings::NewAddress() const {
    CStartAddress address;
    address.Level = Level;
    address.Filter.FilterSameLevel = FilterSameLevel;
    address.Filter.HostFilter = HostFilter;
    address.Filter.PathFilter = PathFilter;
    address.Filter.ProtocolFilter = ProtocolFilter;
    return address;
}

void CProjectSettings::ReadCommonKeys(const CSettingsReader& reader) {
    ReadPlace(reader, KeyPlace::Common, *this);
}

bool CProjectSettings::LoadDefaults(const std::string& path) {
    CSettingsReader reader;
    if (!reader.Open(path)) {
        return false;
    }
    ReadPlace(reader, KeyPlace::Defaults, *this);
    ReadCommonKeys(reader);
    Validate();
    return true;
}

bool CProjectSettings::SaveDefaults(const std::string& path) const {
    std::string out;
    AppendFormat(out,
                 "TorvexVersion=%s\nLevel=%d\nFilterSameLevel=%d\nHostFilter=%d\nPathFilter=%d\n"
                 "ProtocolFilter=%d\n",
                 std::string(kSettingsVersion).c_str(), Level, FlagValue(FilterSameLevel),
                 HostFilter, PathFilter, ProtocolFilter);
    WriteCommonBlock(out);
    WriteAddedKeys(out, KeyPlace::Common);
    return WriteFileText(path, out);
}

bool CProjectSettings::LoadProjectFile(const std::string& path, std::string* folders) {
    CSettingsReader reader;
    if (!reader.Open(path)) {
        return false;
    }
    std::string version;
    if (!reader.ReadText(kVersionKey, version, kMaxVersionText)) {
        return false;
    }
    if (folders != nullptr) {
        folders->clear();
        reader.ReadText("Folders", *folders, kMaxFoldersText);
    }
    return LoadSettingsBody(reader, true);
}

bool CProjectSettings::LoadSettingsBody(CSettingsReader& reader, bool skipDirectoryAndTime) {
    try {
        // The project's own keys (its name, folder, proxy and timer) around the common ones.
        ReadPlace(reader, KeyPlace::Project, *this, skipDirectoryAndTime);
        ReadCommonKeys(reader);

        // Before the first stand-alone address, children belong to the first address.
        std::size_t parent = 0;
        for (auto section = reader.NextSection(); section && EqualsNoCase(*section, "URL");
             section = reader.NextSection()) {
            reader.FindSection("URL");
            const std::size_t index = Addresses.size();
            Addresses.emplace_back();
            ReadAddress(reader, index, parent);
            if (Addresses[index].Child == 0) {
                parent = index;
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    Validate();
    return true;
}

void CProjectSettings::ReadAddress(const CSettingsReader& reader, std::size_t index,
                                   std::size_t parent) {
    CStartAddress& address = Addresses[index];
    // Child comes first: whether the address is a child decides which keys it reads.
    for (const CSettingsKey& key : SettingsKeys()) {
        if (key.place == KeyPlace::Address && key.name == "Child") {
            ReadKey(reader, key, key.address(address));
        }
    }
    for (const CSettingsKey& key : SettingsKeys()) {
        if (key.place != KeyPlace::Address || key.name == "Child") {
            continue;
        }
        // The first address of a project is always run: it loads enabled whatever the file
        // says.
        if ((key.Has(kRuleReadAfterFirst) && index == 0) ||
            (key.Has(kRuleChildOnly) && address.Child == 0)) {
            continue;
        }
        const CKeyField field = key.address(address);
        if (key.Has(kRuleParentFallback) && address.Child != 0 &&
            !reader.ReadText(key.name, *field.text, key.capacity)) {
            *field.text = *key.address(Addresses[parent]).text;
            continue;
        }
        ReadKey(reader, key, field);
    }
}

void CProjectSettings::WriteCommonBlock(std::string& out) const {
    AppendFormat(out,
                 "FileType=%d\nUpdateMode=%d\nFirstPage=%d\nBackupLast=%d\nCookie=%d\nLink=%d\n"
                 "AutoConvert=%d\nAutoExt=%d\nDownthreadNum=%d\nTimeOut=%d\nRetry=%d\n"
                 "FreeSpaceLimit=%d\nMaxMinute=%d\nMaxFile=%d\nUserAgentMode=%d\n"
                 "UserDefined=%s\nNoFileFilter=%d\nFilterOther=%d\nFilterNoExt=%d\n",
                 FileType, UpdateMode, FirstPage, BackupLast, FlagValue(Cookie), Link,
                 FlagValue(AutoConvert), FlagValue(AutoExt), DownthreadNum, TimeOut, Retry,
                 FreeSpaceLimit, MaxMinute, MaxFile, UserAgentMode, OneLine(UserDefined).c_str(),
                 FlagValue(FileTypeFilter.NoFileFilter), FlagValue(FileTypeFilter.FilterOther),
                 FlagValue(FileTypeFilter.FilterNoExt));
    // Groups 1 to 7 are written only when changed; the "Other" group only when it holds any.
    for (std::size_t i = 0; i < kFileFilterGroups; ++i) {
        const std::string list = OneLine(FileTypeFilter.FileFilter[i]);
        const bool write = i + 1 < kFileFilterGroups ? list != kFileFilterDefaults[i]
                                                     : !list.empty();
        if (write) {
            AppendFormat(out, "FileFilter%zu=%s\n", i + 1, list.c_str());
        }
    }
}

void CProjectSettings::WriteAddedKeys(std::string& out, KeyPlace place) const {
    CProjectSettings& self = const_cast<CProjectSettings&>(*this);   // fields are only read
    WriteExtensionKeys(out, SettingsKeys(), place,
                       [&self](const CSettingsKey& key) { return key.project(self); });
}

void CProjectSettings::WriteSettingsBody(std::string& out, SettingsBodyMode mode) {
    if (mode == SettingsBodyMode::TreeFile) {
        AppendFormat(out, "CreateTime=%-10d\n", static_cast<int>(CreateTime));
    }
    WriteCommonBlock(out);
    if (mode != SettingsBodyMode::ExportFile) {
        BringPasswordUpToDate(ProxyPassword, ProxyPasswordScrambled);
        AppendFormat(out,
                     "UseGlobeProxy=%d\nProxy=%d\nProxyServer=%s\nProxyPort=%d\nProxyUser=%s\n"
                     "ProxyPassword=%s\nTimeDownload=%d\n",
                     FlagValue(UseGlobeProxy), Proxy, OneLine(ProxyServer).c_str(), ProxyPort,
                     OneLine(ProxyUser).c_str(), ProxyPasswordScrambled.c_str(),
                     FlagValue(TimeDownload));
    }
    // Keys added beside the ones these files have always carried come after all of them.
    WriteAddedKeys(out, KeyPlace::Common);
    WriteAddedKeys(out, KeyPlace::Project);
    std::size_t parent = 0;
    for (std::size_t i = 0; i < Addresses.size(); ++i) {
        WriteAddress(out, i, parent);
        if (Addresses[i].Child == 0) {
            parent = i;
        }
    }
}

void CProjectSettings::WriteAddress(std::string& out, std::size_t index, std::size_t parent) {
    CStartAddress& address = Addresses[index];
    AppendFormat(out, "[URL]\nStartURL=%s\nLevel=%d\n", OneLine(address.StartURL).c_str(),
                 address.Level);
    if (!OneLine(address.Description).empty()) {
        AppendFormat(out, "Description=%s\n", OneLine(address.Description).c_str());
    }
    if (address.RequestMethod != "GET") {
        AppendFormat(out, "RequestMethod=%s\n", "POST");
    }
    if (!address.Enable) {
        AppendFormat(out, "Enable=%d\n", 0);
    }
    if (address.Child != 0) {
        AppendFormat(out, "Child=%d\n", address.Child);
    }
    if (!OneLine(address.Username).empty()) {
        AppendFormat(out, "Username=%s\n", OneLine(address.Username).c_str());
    }
    BringPasswordUpToDate(address.Password, address.PasswordScrambled);
    if (!address.PasswordScrambled.empty()) {
        AppendFormat(out, "Password=%s\n", address.PasswordScrambled.c_str());
    }
    if (address.Child != 0) {
        // A child that comes first has no parent to take the pattern from: the reader then
        // gives it the default, so that is what it is compared with.
        const std::string_view parentFormat =
            parent == index ? kDefaultDateFormat : std::string_view(Addresses[parent].DateFormat);
        if (address.DateFormat != parentFormat) {
            AppendFormat(out, "DateFormat=%s\n", OneLine(address.DateFormat).c_str());
        }
        if (address.Inherit != 1) {
            AppendFormat(out, "Inherit=%d\n", address.Inherit);
        }
    } else if (address.DateFormat != kDefaultDateFormat) {
        AppendFormat(out, "DateFormat=%s\n", OneLine(address.DateFormat).c_str());
    }
    WriteFilterKeys(out, address.Filter);
    WriteExtensionKeys(out, SettingsKeys(), KeyPlace::Address,
                       [&address](const CSettingsKey& key) { return key.address(address); });
}

bool CProjectSettings::WriteProjectFile(const std::string& path, std::string_view folders) {
    std::string out;
    AppendFormat(out, "TorvexVersion=%s\nName=%s\n", std::string(kSettingsVersion).c_str(),
                 OneLine(Name).c_str());
    const std::string folderLine = OneLine(folders);
    if (!folderLine.empty()) {
        AppendFormat(out, "Folders=%s\n", folderLine.c_str());
    }
    WriteSettingsBody(out, folderLine.empty() ? SettingsBodyMode::ExportFile
                                              : SettingsBodyMode::ProjectFile);
    return WriteFileText(path, out);
}

void CProjectSettings::Validate() {
    // In table order, so that Proxy is ranged before the ProxyPort that depends on it.
    for (const CSettingsKey& key : SettingsKeys()) {
        if (key.project) {
            RangeKey(key, key.project(*this), Proxy);
        }
    }
    for (std::size_t i = 0; i < Addresses.size(); ++i) {
        for (const CSettingsKey& key : SettingsKeys()) {
            if (key.address && !(key.Has(kRuleRangedAfterFirst) && i == 0)) {
                RangeKey(key, key.address(Addresses[i]), Proxy);
            }
        }
    }
}

void CProjectSettings::CopyForRun(const CProjectSettings& source) {
    CopyForRun(source, std::time(nullptr));
}

void CProjectSettings::CopyForRun(const CProjectSettings& source, std::time_t when) {
    // Built aside, so that copying from itself works.
    CProjectSettings copy(source);
    copy.Addresses.clear();
    std::size_t parent = 0;
    for (std::size_t i = 0; i < source.Addresses.size(); ++i) {
        const CStartAddress& from = source.Addresses[i];
        // A disabled stand-alone address still heads its children: they keep its filter.
        if (from.Child == 0) {
            parent = i;
        }
        if (!from.Enable) {
            continue;
        }
        CStartAddress to;
        ExpandDateMacro(from.StartURL, from.DateFormat, to.StartURL, when);
        to.Level = from.Level;
        to.Enable = from.Enable;
        AssignCut(to.Description, from.Description, kMaxDescription);
        to.RequestMethod = from.RequestMethod;
        to.DateFormat = from.DateFormat;
        to.Child = from.Child;
        to.Username = from.Username;
        to.Password = from.Password;
        const bool inherits = from.Child != 0 && from.Inherit == 1;
        to.Filter = inherits ? source.Addresses[parent].Filter : from.Filter;
        to.Inherit = 0;
        copy.Addresses.push_back(std::move(to));
    }
    *this = std::move(copy);
}

std::string DefaultSettingsPath() {
    return ConfigDir() + "/" + std::string(kDefaultSettingsName);
}

std::string DefaultSettingsSourcePath() {
    const std::string own = DefaultSettingsPath();
    if (FileExists(own)) {
        return own;
    }
    const std::string installed = ProgramDirectory() + "/" + std::string(kConfigDirName) + "/" +
                                  std::string(kDefaultSettingsName);
    return FileExists(installed) ? installed : own;
}

bool LoadDefaultSettings(CProjectSettings& settings) {
    return settings.LoadDefaults(DefaultSettingsSourcePath());
}

bool SaveDefaultSettings(const CProjectSettings& settings) {
    MakeDirectoryPath(ConfigDir());
    return settings.SaveDefaults(DefaultSettingsPath());
}

std::string DefaultsWriteErrorText(std::string_view path) {
    return "Error: Failed to write default settings to file:\n\"" + std::string(path) + "\"!";
}

} // namespace torvex
