#include "project/SettingsKeys.h"

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

#include "base/AsciiCase.h"
#include "base/Blanks.h"
#include "base/BoundedText.h"
#include "base/CSettingsReader.h"
#include "base/LeadingNumber.h"
#include "base/NearestName.h"
#include "net/ProxyMode.h"
#include "project/CProjectSettings.h"
#include "project/PasswordScramble.h"

namespace torvex {

namespace {

CKeyField Num(int& value) { return {.number = &value}; }
CKeyField Flag(bool& value) { return {.flag = &value}; }
CKeyField Txt(std::string& value) { return {.text = &value}; }
CKeyField Pwd(std::string& plain, std::string& scrambled) {
    return {.text = &plain, .scrambled = &scrambled};
}

template <std::size_t Group>
CKeyField FileFilterField(CProjectSettings& s) {
    return Txt(s.FileTypeFilter.FileFilter[Group]);
}

constexpr std::string_view kExtensionListMeaning =
    "extension list of the file-type filter: items ext;1 (retrieve) or ext;0 (leave out) joined "
    "by |; used with NoFileFilter=0";

using K = CSettingsKey;
using P = KeyPlace;
using T = KeyKind;

// clang-format off
const std::array kKeys = {
    // The head of a project file.
    K{.name = "TorvexVersion", .place = P::Header, .kind = T::Text, .defaultValue = "0.93",
      .capacity = 10,
      .meaning = "the version of the file's format; every project file begins with it",
      .rules = kRuleSetByProgram},
    K{.name = "Folders", .place = P::Header, .kind = T::Text, .capacity = 260,
      .meaning = "project.conf: where the desktop program's tree holds the project (\"/\": at "
                 "the top)",
      .rules = kRuleSetByProgram},

    // The project itself.
    K{.name = "Name", .place = P::Project, .kind = T::Text, .capacity = kMaxProjectName,
      .meaning = "the project's name, shown in the tree and in messages (torvex-cli: the name of "
                 "the project folder unless given)",
      .project = [](CProjectSettings& s) { return Txt(s.Name); }},
    K{.name = "ProjectDir", .place = P::Project, .kind = T::Text, .capacity = kMaxProjectDir,
      .meaning = "the project folder", .rules = kRuleSetByProgram | kRuleLocation,
      .project = [](CProjectSettings& s) { return Txt(s.ProjectDir); }},
    K{.name = "CreateTime", .place = P::Project, .kind = T::Time, .defaultValue = "0",
      .meaning = "when the project was made, in seconds since 1970",
      .rules = kRuleSetByProgram | kRuleLocation,
      .project = [](CProjectSettings& s) { return CKeyField{.time = &s.CreateTime}; }},

    // default.conf: what new start addresses get.
    K{.name = "Level", .place = P::Defaults, .kind = T::Number, .defaultValue = "2", .low = 0,
      .high = 99, .below = 0, .above = 99, .meaning = "the Level that new start addresses get",
      .project = [](CProjectSettings& s) { return Num(s.Level); }},
    K{.name = "FilterSameLevel", .place = P::Defaults, .kind = T::Flag, .defaultValue = "0",
      .meaning = "the FilterSameLevel that new start addresses get",
      .project = [](CProjectSettings& s) { return Flag(s.FilterSameLevel); }},
    K{.name = "HostFilter", .place = P::Defaults, .kind = T::Choice, .defaultValue = "2", .low = 0,
      .high = 3, .below = 2, .above = 2, .meaning = "the HostFilter that new start addresses get",
      .project = [](CProjectSettings& s) { return Num(s.HostFilter); }},
    K{.name = "PathFilter", .place = P::Defaults, .kind = T::Choice, .defaultValue = "0", .low = 0,
      .high = 2, .below = 0, .above = 0, .meaning = "the PathFilter that new start addresses get",
      .project = [](CProjectSettings& s) { return Num(s.PathFilter); }},
    K{.name = "ProtocolFilter", .place = P::Defaults, .kind = T::Bits, .defaultValue = "0",
      .low = 0, .high = 3, .meaning = "the ProtocolFilter that new start addresses get",
      .project = [](CProjectSettings& s) { return Num(s.ProtocolFilter); }},

    // Every project, and default.conf for new ones.
    K{.name = "FileType", .place = P::Common, .kind = T::Bits, .defaultValue = "0", .low = 0,
      .high = 3,
      .choices = "1=images are not retrieved|2=the files of dropdown lists are not retrieved",
      .meaning = "switches for links by their kind",
      .project = [](CProjectSettings& s) { return Num(s.FileType); }},
    K{.name = "UpdateMode", .place = P::Common, .kind = T::Choice, .defaultValue = "2", .low = 0,
      .high = 2, .below = 2, .above = 2,
      .choices = "0=read from local disk only; if that fails, skip the file|"
                 "1=read from local disk first; if that fails, download it|"
                 "2=try to download first; if not modified, read from local disk",
      .meaning = "files that an earlier record holds",
      .project = [](CProjectSettings& s) { return Num(s.UpdateMode); }},
    K{.name = "FirstPage", .place = P::Common, .kind = T::Choice, .defaultValue = "0", .low = 0,
      .high = 1, .below = 0, .above = 0,
      .choices = "0=as UpdateMode says|1=always try to download it first",
      .meaning = "the start address in later runs",
      .project = [](CProjectSettings& s) { return Num(s.FirstPage); }},
    K{.name = "BackupLast", .place = P::Common, .kind = T::Choice, .defaultValue = "1", .low = 0,
      .high = 1, .choices = "0=a start overwrites the latest record|"
                            "1=a start keeps the latest record as a backup first",
      .meaning = "the latest record when a run starts",
      .project = [](CProjectSettings& s) { return Num(s.BackupLast); }},
    K{.name = "Cookie", .place = P::Common, .kind = T::Flag, .defaultValue = "1",
      .meaning = "1: cookies that servers set are sent back and kept in the project's cookies file",
      .project = [](CProjectSettings& s) { return Flag(s.Cookie); }},
    K{.name = "Link", .place = P::Common, .kind = T::Choice, .defaultValue = "0", .low = 0,
      .high = 1, .below = 0, .above = 0,
      .choices = "0=to where the file would be stored|1=to the file's absolute address",
      .meaning = "where links to files the copy does not hold point",
      .project = [](CProjectSettings& s) { return Num(s.Link); }},
    K{.name = "AutoConvert", .place = P::Common, .kind = T::Flag, .defaultValue = "1",
      .meaning = "1: the links of the stored pages are converted when the run ends, where needed",
      .project = [](CProjectSettings& s) { return Flag(s.AutoConvert); }},
    K{.name = "AutoExt", .place = P::Common, .kind = T::Flag, .defaultValue = "0",
      .meaning = "1: \".html\" is appended to stored pages whose names do not say HTML",
      .project = [](CProjectSettings& s) { return Flag(s.AutoExt); }},
    K{.name = "DownthreadNum", .place = P::Common, .kind = T::Number, .defaultValue = "10",
      .low = 1, .high = 50, .below = 1, .above = 50, .meaning = "download threads",
      .project = [](CProjectSettings& s) { return Num(s.DownthreadNum); }},
    K{.name = "TimeOut", .place = P::Common, .kind = T::Number, .defaultValue = "120", .low = 10,
      .high = 1200, .below = 10, .above = 1200,
      .meaning = "seconds to wait for a server when connecting, sending or receiving",
      .project = [](CProjectSettings& s) { return Num(s.TimeOut); }},
    K{.name = "Retry", .place = P::Common, .kind = T::Number, .defaultValue = "3", .low = 0,
      .high = 99, .below = 0, .above = 99,
      .meaning = "tries after a failed one (network errors, server errors 5xx)",
      .project = [](CProjectSettings& s) { return Num(s.Retry); }},
    K{.name = "FreeSpaceLimit", .place = P::Common, .kind = T::Number, .defaultValue = "2",
      .low = 1, .high = 999, .below = 2, .above = 999,
      .meaning = "megabytes: the run stops when the disk has less free",
      .project = [](CProjectSettings& s) { return Num(s.FreeSpaceLimit); }},
    K{.name = "MaxMinute", .place = P::Common, .kind = T::Number, .defaultValue = "0", .low = 0,
      .high = 9999, .below = 0, .above = 9999,
      .meaning = "the run stops after this many minutes; 0: no limit",
      .project = [](CProjectSettings& s) { return Num(s.MaxMinute); }},
    K{.name = "MaxFile", .place = P::Common, .kind = T::Number, .defaultValue = "0", .low = 0,
      .high = 9999, .below = 0, .above = 9999,
      .meaning = "the run stops after this many files downloaded; 0: no limit",
      .project = [](CProjectSettings& s) { return Num(s.MaxFile); }},
    K{.name = "UserAgentMode", .place = P::Common, .kind = T::Choice, .defaultValue = "1",
      .low = 0, .high = 4, .below = 1, .above = 1,
      .choices = "0=none|1=Torvex/0.9|2=Mozilla/5.0 (compatible; MSIE5.0)|3=Mozilla/4.7|"
                 "4=the text of UserDefined",
      .meaning = "the User-Agent line of requests",
      .project = [](CProjectSettings& s) { return Num(s.UserAgentMode); }},
    K{.name = "UserDefined", .place = P::Common, .kind = T::Text, .capacity = kMaxUserDefined,
      .meaning = "the User-Agent text when UserAgentMode is 4",
      .project = [](CProjectSettings& s) { return Txt(s.UserDefined); }},
    K{.name = "NoFileFilter", .place = P::Common, .kind = T::Flag, .defaultValue = "1",
      .meaning = "1: files of every type are retrieved; 0: the extension lists FileFilter1..8 "
                 "decide",
      .project = [](CProjectSettings& s) { return Flag(s.FileTypeFilter.NoFileFilter); }},
    K{.name = "FilterOther", .place = P::Common, .kind = T::Flag, .defaultValue = "0",
      .meaning = "1: with NoFileFilter=0, files whose extension no list holds are left out",
      .project = [](CProjectSettings& s) { return Flag(s.FileTypeFilter.FilterOther); }},
    K{.name = "FilterNoExt", .place = P::Common, .kind = T::Flag, .defaultValue = "0",
      .meaning = "1: with NoFileFilter=0, files without an extension are left out",
      .project = [](CProjectSettings& s) { return Flag(s.FileTypeFilter.FilterNoExt); }},
    K{.name = "FileFilter1", .place = P::Common, .kind = T::Text,
      .defaultValue = kFileFilterDefaults[0], .capacity = kMaxFileFilterList,
      .meaning = kExtensionListMeaning, .rules = kRuleExtensionList,
      .project = FileFilterField<0>},
    K{.name = "FileFilter2", .place = P::Common, .kind = T::Text,
      .defaultValue = kFileFilterDefaults[1], .capacity = kMaxFileFilterList,
      .meaning = kExtensionListMeaning, .rules = kRuleExtensionList,
      .project = FileFilterField<1>},
    K{.name = "FileFilter3", .place = P::Common, .kind = T::Text,
      .defaultValue = kFileFilterDefaults[2], .capacity = kMaxFileFilterList,
      .meaning = kExtensionListMeaning, .rules = kRuleExtensionList,
      .project = FileFilterField<2>},
    K{.name = "FileFilter4", .place = P::Common, .kind = T::Text,
      .defaultValue = kFileFilterDefaults[3], .capacity = kMaxFileFilterList,
      .meaning = kExtensionListMeaning, .rules = kRuleExtensionList,
      .project = FileFilterField<3>},
    K{.name = "FileFilter5", .place = P::Common, .kind = T::Text,
      .defaultValue = kFileFilterDefaults[4], .capacity = kMaxFileFilterList,
      .meaning = kExtensionListMeaning, .rules = kRuleExtensionList,
      .project = FileFilterField<4>},
    K{.name = "FileFilter6", .place = P::Common, .kind = T::Text,
      .defaultValue = kFileFilterDefaults[5], .capacity = kMaxFileFilterList,
      .meaning = kExtensionListMeaning, .rules = kRuleExtensionList,
      .project = FileFilterField<5>},
    K{.name = "FileFilter7", .place = P::Common, .kind = T::Text,
      .defaultValue = kFileFilterDefaults[6], .capacity = kMaxFileFilterList,
      .meaning = kExtensionListMeaning, .rules = kRuleExtensionList,
      .project = FileFilterField<6>},
    K{.name = "FileFilter8", .place = P::Common, .kind = T::Text,
      .defaultValue = kFileFilterDefaults[7], .capacity = kMaxFileFilterList,
      .meaning = kExtensionListMeaning, .rules = kRuleExtensionList,
      .project = FileFilterField<7>},
    K{.name = "TlsVerify", .place = P::Common, .kind = T::Flag, .defaultValue = "1",
      .meaning = "1: an https server must show a certificate the system trusts for its host "
                 "name; 0: any certificate is taken (the connection is still encrypted)",
      .rules = kRuleExtension,
      .project = [](CProjectSettings& s) { return Flag(s.TlsVerify); }},
    K{.name = "KeepAlive", .place = P::Common, .kind = T::Flag, .defaultValue = "0",
      .meaning = "1: HTTP/1.1 with connections kept open between files and compressed replies "
                 "accepted; 0: one HTTP/1.0 connection per file",
      .rules = kRuleExtension,
      .project = [](CProjectSettings& s) { return Flag(s.KeepAlive); }},

    // A project's own proxy and timer.
    K{.name = "UseGlobeProxy", .place = P::Project, .kind = T::Flag, .defaultValue = "1",
      .meaning = "1: the application's proxy (Config/Torvex.conf) is used; 0: the project's own "
                 "Proxy keys",
      .project = [](CProjectSettings& s) { return Flag(s.UseGlobeProxy); }},
    K{.name = "Proxy", .place = P::Project, .kind = T::Choice, .defaultValue = "0", .low = 0,
      .high = 2, .below = 0, .above = 0,
      .choices = "0=no proxy|1=an HTTP proxy|2=a SOCKS5 proxy",
      .meaning = "the project's own proxy, used with UseGlobeProxy=0",
      .project = [](CProjectSettings& s) { return Num(s.Proxy); }},
    K{.name = "ProxyServer", .place = P::Project, .kind = T::Text, .capacity = kMaxProxyServer,
      .meaning = "the host of the project's own proxy",
      .project = [](CProjectSettings& s) { return Txt(s.ProxyServer); }},
    K{.name = "ProxyPort", .place = P::Project, .kind = T::Number, .defaultValue = "8080",
      .low = 1, .high = 65535, .below = 8080, .above = 8080,
      .meaning = "the port of the project's own proxy", .rules = kRuleProxyPort,
      .project = [](CProjectSettings& s) { return Num(s.ProxyPort); }},
    K{.name = "ProxyUser", .place = P::Project, .kind = T::Text, .capacity = kMaxProxyUser,
      .meaning = "the user name for the project's own proxy",
      .project = [](CProjectSettings& s) { return Txt(s.ProxyUser); }},
    K{.name = "ProxyPassword", .place = P::Project, .kind = T::Password,
      .capacity = kMaxPlainPassword, .meaning = "the password for the project's own proxy",
      .project = [](CProjectSettings& s) {
          return Pwd(s.ProxyPassword, s.ProxyPasswordScrambled);
      }},
    K{.name = "TimeDownload", .place = P::Project, .kind = T::Flag, .defaultValue = "0",
      .meaning = "1: the project is on the download timer's list",
      .project = [](CProjectSettings& s) { return Flag(s.TimeDownload); }},

    // Each start address.
    K{.name = "StartURL", .place = P::Address, .kind = T::Text, .capacity = kMaxStartUrl,
      .meaning = "the start address; \"$DATE\" in it stands for the day's date in DateFormat",
      .rules = kRuleSetByProgram,
      .address = [](CStartAddress& a) { return Txt(a.StartURL); }},
    K{.name = "Level", .place = P::Address, .kind = T::Number, .defaultValue = "2", .low = 0,
      .high = 99, .below = 0, .above = 99,
      .meaning = "link depth: 1 only the start address, 2 also what it links to, and so on; 0: "
                 "no limit",
      .address = [](CStartAddress& a) { return Num(a.Level); }},
    K{.name = "Description", .place = P::Address, .kind = T::Text, .capacity = kMaxDescription,
      .meaning = "a description of the address",
      .address = [](CStartAddress& a) { return Txt(a.Description); }},
    K{.name = "RequestMethod", .place = P::Address, .kind = T::Word, .defaultValue = "GET",
      .capacity = kMaxRequestMethod,
      .choices = "GET=the start address is asked for with GET|POST=the start address is asked "
                 "for with POST",
      .meaning = "the method of the start address's request",
      .address = [](CStartAddress& a) { return Txt(a.RequestMethod); }},
    K{.name = "Enable", .place = P::Address, .kind = T::Flag, .defaultValue = "1",
      .meaning = "0: the address is left out of runs (the first address always runs)",
      .rules = kRuleReadAfterFirst | kRuleAddressList,
      .address = [](CStartAddress& a) { return Flag(a.Enable); }},
    K{.name = "Child", .place = P::Address, .kind = T::Number, .defaultValue = "0",
      .low = std::numeric_limits<int>::min(), .high = std::numeric_limits<int>::max(),
      .meaning = "not 0: the address belongs to the stand-alone address before it",
      .rules = kRuleAddressList,
      .address = [](CStartAddress& a) { return Num(a.Child); }},
    K{.name = "Username", .place = P::Address, .kind = T::Text, .capacity = kMaxUsername,
      .meaning = "the user name for a protected site",
      .address = [](CStartAddress& a) { return Txt(a.Username); }},
    K{.name = "Password", .place = P::Address, .kind = T::Password,
      .capacity = kMaxPlainPassword, .meaning = "the password for the user name",
      .address = [](CStartAddress& a) { return Pwd(a.Password, a.PasswordScrambled); }},
    K{.name = "DateFormat", .place = P::Address, .kind = T::Text, .defaultValue = "yyyymmdd",
      .capacity = kMaxDateFormat,
      .meaning = "the pattern of \"$DATE\": y year, m month, d day (a child address without it "
                 "takes its parent's)",
      .rules = kRuleParentFallback,
      .address = [](CStartAddress& a) { return Txt(a.DateFormat); }},
    K{.name = "Inherit", .place = P::Address, .kind = T::Choice, .defaultValue = "1", .low = 0,
      .high = 1, .below = 1, .above = 1,
      .choices = "0=its own filter keys|1=the filter of its parent",
      .meaning = "what a child address's links are judged by",
      .rules = kRuleRangedAfterFirst | kRuleChildOnly | kRuleAddressList,
      .address = [](CStartAddress& a) { return Num(a.Inherit); }},
    K{.name = "FilterSameLevel", .place = P::Address, .kind = T::Flag, .defaultValue = "0",
      .meaning = "1: the host and path filters also judge links that stay on their page's level "
                 "(images, frames, scripts, style sheets)",
      .address = [](CStartAddress& a) { return Flag(a.Filter.FilterSameLevel); }},
    K{.name = "HostFilter", .place = P::Address, .kind = T::Choice, .defaultValue = "2", .low = 0,
      .high = 3, .below = 2, .above = 2,
      .choices = "0=all hosts|1=hosts within the start domain|2=the start host only|"
                 "3=the hosts in FHost",
      .meaning = "the hosts that links may lead to",
      .address = [](CStartAddress& a) { return Num(a.Filter.HostFilter); }},
    K{.name = "FHost", .place = P::Address, .kind = T::Text, .capacity = kMaxFilterList,
      .meaning = "hosts to retrieve with HostFilter=3; entries joined by \";\", \"*\" as wildcard",
      .address = [](CStartAddress& a) { return Txt(a.Filter.FHost); }},
    K{.name = "EHost", .place = P::Address, .kind = T::Text, .capacity = kMaxFilterList,
      .meaning = "hosts never retrieved (HostFilter 0, 1 and 3); entries joined by \";\", \"*\" "
                 "as wildcard",
      .address = [](CStartAddress& a) { return Txt(a.Filter.EHost); }},
    K{.name = "PathFilter", .place = P::Address, .kind = T::Choice, .defaultValue = "0", .low = 0,
      .high = 2, .below = 0, .above = 0,
      .choices = "0=all paths|1=the start directory and below|2=the paths in FPath",
      .meaning = "the paths that links may lead to",
      .address = [](CStartAddress& a) { return Num(a.Filter.PathFilter); }},
    K{.name = "FPath", .place = P::Address, .kind = T::Text, .capacity = kMaxFilterList,
      .meaning = "paths to retrieve with PathFilter=2; entries joined by \";\", \"*\" as "
                 "wildcard; \"/docs/\" the files in /docs/, \"/docs/*\" everything below it, "
                 "\"*.gif\" file names",
      .address = [](CStartAddress& a) { return Txt(a.Filter.FPath); }},
    K{.name = "EPath", .place = P::Address, .kind = T::Text, .capacity = kMaxFilterList,
      .meaning = "paths never retrieved; entries as in FPath",
      .address = [](CStartAddress& a) { return Txt(a.Filter.EPath); }},
    K{.name = "ProtocolFilter", .place = P::Address, .kind = T::Bits, .defaultValue = "0",
      .low = 0, .high = 3,
      .choices = "1=HTTP links are not followed|2=FTP links are not followed",
      .meaning = "switches for links by their protocol",
      .address = [](CStartAddress& a) { return Num(a.Filter.ProtocolFilter); }},
};
// clang-format on

// The "value=meaning" items of a key's choices.
std::vector<std::pair<std::string_view, std::string_view>> ChoiceItems(std::string_view choices) {
    std::vector<std::pair<std::string_view, std::string_view>> items;
    while (!choices.empty()) {
        const auto bar = choices.find('|');
        const std::string_view item = choices.substr(0, bar);
        const auto equals = item.find('=');
        items.emplace_back(item.substr(0, equals),
                           equals == std::string_view::npos ? std::string_view()
                                                            : item.substr(equals + 1));
        choices = bar == std::string_view::npos ? std::string_view() : choices.substr(bar + 1);
    }
    return items;
}

std::string JoinedAlternatives(const std::vector<std::string>& items, std::string_view last) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) {
            out += i + 1 == items.size() ? std::string(last) : std::string(", ");
        }
        out += items[i];
    }
    return out;
}

bool HasControlByte(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 32 || byte == 127;
    });
}

// A list of the file-type filter: items "ext;0" or "ext;1" joined by "|", the extension without
// the characters that separate the lists.
bool IsExtensionList(std::string_view list) {
    while (!list.empty()) {
        const auto bar = list.find('|');
        const std::string_view item = list.substr(0, bar);
        const auto semicolon = item.find(';');
        if (semicolon == std::string_view::npos || semicolon == 0 ||
            item.substr(0, semicolon).find_first_of(kFileFilterInvalidChars) !=
                std::string_view::npos) {
            return false;
        }
        const std::string_view flag = item.substr(semicolon + 1);
        if (flag != "0" && flag != "1") {
            return false;
        }
        list = bar == std::string_view::npos ? std::string_view() : list.substr(bar + 1);
    }
    return true;
}

CValueCheck Refused(std::string message) {
    return {ValueVerdict::Refused, {}, std::move(message)};
}

} // namespace

bool CSettingsKey::Settable() const {
    return place != KeyPlace::Header && place != KeyPlace::Defaults &&
           !Has(kRuleSetByProgram) && !Has(kRuleAddressList);
}

std::span<const CSettingsKey> SettingsKeys() { return kKeys; }

const CSettingsKey* FindSettableKey(std::string_view name) {
    for (const CSettingsKey& key : kKeys) {
        if (key.Settable() && EqualsNoCase(key.name, name)) {
            return &key;
        }
    }
    return nullptr;
}

std::string_view NearestSettableKey(std::string_view name) {
    std::vector<std::string_view> names;
    for (const CSettingsKey& key : kKeys) {
        if (key.Settable()) {
            names.push_back(key.name);
        }
    }
    return NearestName(name, names);
}

void ReadKey(const CSettingsReader& reader, const CSettingsKey& key, const CKeyField& field) {
    switch (key.kind) {
    case KeyKind::Number:
    case KeyKind::Choice:
    case KeyKind::Bits:
        reader.ReadInt(key.name, *field.number);
        break;
    case KeyKind::Flag:
        reader.ReadFlag(key.name, *field.flag);
        break;
    case KeyKind::Word:
    case KeyKind::Text:
        reader.ReadText(key.name, *field.text, key.capacity);
        break;
    case KeyKind::Password: {
        std::string stored;
        if (reader.ReadText(key.name, stored, kMaxScrambledPassword)) {
            LoadStoredPassword(stored, *field.text, *field.scrambled);
        }
        break;
    }
    case KeyKind::Time: {
        std::int64_t time = *field.time;
        if (reader.ReadLong(key.name, time)) {
            *field.time = static_cast<std::int32_t>(
                std::clamp<std::int64_t>(time, std::numeric_limits<std::int32_t>::min(),
                                         std::numeric_limits<std::int32_t>::max()));
        }
        break;
    }
    }
}

void RangeKey(const CSettingsKey& key, const CKeyField& field, int proxyMode) {
    switch (key.kind) {
    case KeyKind::Number:
    case KeyKind::Choice: {
        int& value = *field.number;
        if (value >= key.low && value <= key.high) {
            break;
        }
        if (key.Has(kRuleProxyPort)) {
            value = proxyMode == static_cast<int>(ProxyMode::Socks5) ? 1080 : 8080;
        } else if (value < key.low && key.below != kLeftAsRead) {
            value = key.below;
        } else if (value > key.high && key.above != kLeftAsRead) {
            value = key.above;
        }
        break;
    }
    case KeyKind::Word: {
        const auto items = ChoiceItems(key.choices);
        const bool known = std::any_of(items.begin(), items.end(),
                                       [&](const auto& item) { return item.first == *field.text; });
        if (!known && !items.empty()) {
            *field.text = std::string(items.front().first);
        }
        break;
    }
    case KeyKind::Text:
        CutTo(*field.text, key.capacity);
        break;
    case KeyKind::Password:
        CutTo(*field.text, key.capacity);
        CutTo(*field.scrambled, kMaxScrambledPassword);
        break;
    case KeyKind::Flag:
    case KeyKind::Bits:
    case KeyKind::Time:
        break;
    }
}

std::string KeyValueText(const CSettingsKey& key, const CKeyField& field) {
    switch (key.kind) {
    case KeyKind::Number:
    case KeyKind::Choice:
    case KeyKind::Bits:
        return std::to_string(*field.number);
    case KeyKind::Flag:
        return *field.flag ? "1" : "0";
    case KeyKind::Word:
    case KeyKind::Text:
        return *field.text;
    case KeyKind::Password:
        return *field.scrambled;
    case KeyKind::Time:
        return std::to_string(*field.time);
    }
    return {};
}

void WriteExtensionKeys(std::string& out, std::span<const CSettingsKey> keys, KeyPlace place,
                        const std::function<CKeyField(const CSettingsKey&)>& field) {
    for (const CSettingsKey& key : keys) {
        if (key.place != place || !key.Has(kRuleExtension)) {
            continue;
        }
        std::string value = KeyValueText(key, field(key));
        value = value.substr(0, value.find_first_of("\r\n"));
        if (value != key.defaultValue) {
            out.append(key.name).append("=").append(value).append("\n");
        }
    }
}

std::string AcceptedValuesText(const CSettingsKey& key) {
    const std::string name(key.name);
    switch (key.kind) {
    case KeyKind::Number:
        return "a whole number from " + std::to_string(key.low) + " to " +
               std::to_string(key.high);
    case KeyKind::Choice:
    case KeyKind::Word: {
        std::vector<std::string> items;
        for (const auto& [value, meaning] : ChoiceItems(key.choices)) {
            items.push_back(std::string(value) + " (" + std::string(meaning) + ")");
        }
        return JoinedAlternatives(items, " or ");
    }
    case KeyKind::Flag:
        return "0 or 1";
    case KeyKind::Bits: {
        std::vector<std::string> items;
        for (const auto& [value, meaning] : ChoiceItems(key.choices)) {
            items.push_back(std::string(value) + " (" + std::string(meaning) + ")");
        }
        return "0 to " + std::to_string(key.high) + ", the sum of " +
               JoinedAlternatives(items, " and ");
    }
    case KeyKind::Text:
        if (key.Has(kRuleExtensionList)) {
            return "items ext;1 or ext;0 joined by | (at most " + std::to_string(key.capacity) +
                   " characters)";
        }
        return "a text of at most " + std::to_string(key.capacity) + " characters";
    case KeyKind::Password:
        return "a password of at most " + std::to_string(key.capacity) + " characters";
    case KeyKind::Time:
        return "seconds since 1970";
    }
    return {};
}

void AssignKeyValue(const CSettingsKey& key, const CKeyField& field, std::string_view value) {
    switch (key.kind) {
    case KeyKind::Number:
    case KeyKind::Choice:
    case KeyKind::Bits:
        *field.number = static_cast<int>(std::clamp<long long>(
            ParseWholeNumber(value).value_or(0), std::numeric_limits<int>::min(),
            std::numeric_limits<int>::max()));
        break;
    case KeyKind::Flag:
        *field.flag = TrimBlanks(value) == "1";
        break;
    case KeyKind::Word:
    case KeyKind::Text:
        *field.text = std::string(value);
        break;
    case KeyKind::Password:
        *field.text = std::string(value);
        field.scrambled->clear();
        break;
    case KeyKind::Time:
        *field.time = static_cast<std::int32_t>(std::clamp<long long>(
            ParseWholeNumber(value).value_or(0), std::numeric_limits<std::int32_t>::min(),
            std::numeric_limits<std::int32_t>::max()));
        break;
    }
}

std::optional<long long> ParseWholeNumber(std::string_view text) {
    text = TrimBlanks(text);
    std::string_view digits = text;
    if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
        digits.remove_prefix(1);
    }
    if (digits.empty() ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    return LeadingNumber(text);
}

CValueCheck CheckKeyValue(const CSettingsKey& key, std::string_view value) {
    const std::string name(key.name);
    const std::string takes = name + " takes " + AcceptedValuesText(key);
    if (HasControlByte(value)) {
        return Refused("the value of " + name + " must stay on one line");
    }
    switch (key.kind) {
    case KeyKind::Number: {
        const auto number = ParseWholeNumber(value);
        if (!number) {
            return Refused(takes);
        }
        if (*number >= key.low && *number <= key.high) {
            return {ValueVerdict::Accepted, std::to_string(*number), {}};
        }
        // Brought into range by the same rule as loading (kept as typed when that rule depends
        // on other keys, which loading then applies).
        int ranged = static_cast<int>(std::clamp<long long>(
            *number, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
        if (key.Has(kRuleProxyPort)) {
            return {ValueVerdict::Adjusted, std::to_string(ranged),
                    takes + "; using 8080 (1080 with a SOCKS5 proxy)"};
        }
        RangeKey(key, Num(ranged), 0);
        return {ValueVerdict::Adjusted, std::to_string(ranged),
                takes + "; using " + std::to_string(ranged)};
    }
    case KeyKind::Choice:
    case KeyKind::Bits: {
        const auto number = ParseWholeNumber(value);
        if (!number || *number < key.low || *number > key.high) {
            return Refused(takes);
        }
        return {ValueVerdict::Accepted, std::to_string(*number), {}};
    }
    case KeyKind::Flag: {
        const std::string_view trimmed = TrimBlanks(value);
        if (trimmed != "0" && trimmed != "1") {
            return Refused(takes);
        }
        return {ValueVerdict::Accepted, std::string(trimmed), {}};
    }
    case KeyKind::Word:
        for (const auto& [word, meaning] : ChoiceItems(key.choices)) {
            if (EqualsNoCase(word, TrimBlanks(value))) {
                return {ValueVerdict::Accepted, std::string(word), {}};
            }
        }
        return Refused(takes);
    case KeyKind::Text:
    case KeyKind::Password: {
        if (key.Has(kRuleExtensionList) && !IsExtensionList(value)) {
            return Refused(takes);
        }
        std::string text(value);
        if (CutTo(text, key.capacity)) {
            return {ValueVerdict::Accepted, std::move(text), {}};
        }
        return {ValueVerdict::Adjusted, std::move(text),
                name + " holds at most " + std::to_string(key.capacity) +
                    " characters; using the first " + std::to_string(key.capacity)};
    }
    case KeyKind::Time:
        break;
    }
    return Refused(name + " is set by the program");
}

} // namespace torvex
