#include "cli/SettingChanges.h"

#include <algorithm>

#include "base/AsciiCase.h"
#include "cli/CliOptions.h"
#include "net/ProxyMode.h"
#include "project/FileTypeEdits.h"
#include "project/SettingsKeys.h"

namespace torvex {

namespace {

// wget counts --level from the start page (0: no limit); Level counts the start page as 1.
constexpr long long kMaxLevelOption = 98;
// --tries counts every try; Retry the tries after the first.
constexpr long long kMaxTriesOption = 100;

class CChanges {
public:
    CChanges(CProjectSettings& settings, const CliSetting& setting,
             std::vector<std::string>& warnings)
        : m_settings(settings), m_setting(setting), m_warnings(warnings) {}

    // Sets the settable key `name` to `value`, checked as the key checks it.
    bool Set(std::string_view name, std::string_view value) {
        const CSettingsKey* key = FindSettableKey(name);
        if (!key) {
            return Fail("no such key " + std::string(name));
        }
        const CValueCheck check = CheckKeyValue(*key, value);
        if (check.verdict == ValueVerdict::Refused) {
            return Fail(check.message);
        }
        if (check.verdict == ValueVerdict::Adjusted) {
            Warn(check.message);
        }
        if (key->place == KeyPlace::Address) {
            for (CStartAddress& address : m_settings.Addresses) {
                AssignKeyValue(*key, key->address(address), check.value);
            }
        } else {
            AssignKeyValue(*key, key->project(m_settings), check.value);
        }
        return true;
    }

    // Adds `entries` to the ";"-joined list of the address key `name` on every address.
    bool Append(std::string_view name, const std::string& entries) {
        const CSettingsKey* key = FindSettableKey(name);
        std::string list = entries;
        if (key && !m_settings.Addresses.empty()) {
            const std::string& old = *key->address(m_settings.Addresses.front()).text;
            list = old.empty() ? entries : old + ";" + entries;
        }
        return Set(name, list);
    }

    bool Fail(const std::string& message) {
        m_error = m_setting.text + ": " + message;
        return false;
    }
    void Warn(const std::string& message) { m_warnings.push_back(m_setting.text + ": " + message); }

    CProjectSettings& Settings() { return m_settings; }
    const std::string& Error() const { return m_error; }

private:
    CProjectSettings& m_settings;
    const CliSetting& m_setting;
    std::vector<std::string>& m_warnings;
    std::string m_error;
};

std::vector<std::string> CommaList(std::string_view text) {
    std::vector<std::string> items;
    while (true) {
        const auto comma = text.find(',');
        std::string_view item = text.substr(0, comma);
        while (!item.empty() && item.front() == ' ') {
            item.remove_prefix(1);
        }
        while (!item.empty() && item.back() == ' ') {
            item.remove_suffix(1);
        }
        if (!item.empty()) {
            items.emplace_back(item);
        }
        if (comma == std::string_view::npos) {
            return items;
        }
        text.remove_prefix(comma + 1);
    }
}

std::string Joined(const std::vector<std::string>& items) {
    std::string list;
    for (const std::string& item : items) {
        list += list.empty() ? "" : ";";
        list += item;
    }
    return list;
}

// A domain matches itself and every host below it, as wget's domain lists do.
std::string HostPatterns(const std::vector<std::string>& domains) {
    std::vector<std::string> patterns;
    for (const std::string& domain : domains) {
        if (domain.find('*') != std::string::npos) {
            patterns.push_back(domain);
        } else if (domain.front() == '.') {
            patterns.push_back("*" + domain);
        } else {
            patterns.push_back(domain);
            patterns.push_back("*." + domain);
        }
    }
    return Joined(patterns);
}

// A directory stands for everything below it, as in wget's directory lists.
std::string PathPatterns(const std::vector<std::string>& directories) {
    std::vector<std::string> patterns;
    for (std::string directory : directories) {
        if (directory.find('*') == std::string::npos) {
            while (directory.size() > 1 && directory.back() == '/') {
                directory.pop_back();
            }
            if (directory.front() != '/') {
                directory.insert(directory.begin(), '/');
            }
            directory += directory == "/" ? "*" : "/*";
        }
        patterns.push_back(directory);
    }
    return Joined(patterns);
}

bool SetLevel(CChanges& changes, std::string_view value) {
    const std::string takes = "--level takes a whole number from 0 to 98, or inf";
    if (EqualsNoCase(value, "inf")) {
        return changes.Set("Level", "0");
    }
    const auto level = ParseWholeNumber(value);
    if (!level || *level < 0) {
        return changes.Fail(takes);
    }
    if (*level == 0) {
        return changes.Set("Level", "0");
    }
    long long depth = *level;
    if (depth > kMaxLevelOption) {
        changes.Warn(takes + "; using " + std::to_string(kMaxLevelOption));
        depth = kMaxLevelOption;
    }
    return changes.Set("Level", std::to_string(depth + 1));
}

bool SetTries(CChanges& changes, std::string_view value) {
    const std::string takes = "--tries takes a whole number from 1 to 100, or 0 or inf";
    const auto tries = EqualsNoCase(value, "inf") ? 0 : ParseWholeNumber(value);
    if (!tries || *tries < 0) {
        return changes.Fail(takes);
    }
    long long count = *tries;
    if (count == 0 || count > kMaxTriesOption) {
        // wget's "no limit" has one here: the most tries a project allows.
        changes.Warn(takes + " (at most 100 tries); using 100");
        count = kMaxTriesOption;
    }
    return changes.Set("Retry", std::to_string(count - 1));
}

bool SetProxy(CChanges& changes, std::string_view value) {
    const std::string takes = "--proxy takes HOST:PORT, http://HOST:PORT or socks5://HOST:PORT";
    ProxyMode mode = ProxyMode::Http;
    std::string_view rest = value;
    if (StartsWithNoCase(rest, "socks5://")) {
        mode = ProxyMode::Socks5;
        rest.remove_prefix(9);
    } else if (StartsWithNoCase(rest, "http://")) {
        rest.remove_prefix(7);
    } else if (rest.find("://") != std::string_view::npos) {
        return changes.Fail(takes);
    }
    while (!rest.empty() && rest.back() == '/') {
        rest.remove_suffix(1);
    }
    std::string user;
    std::string password;
    if (const auto at = rest.rfind('@'); at != std::string_view::npos) {
        const std::string_view login = rest.substr(0, at);
        const auto colon = login.find(':');
        user = std::string(login.substr(0, colon));
        if (colon != std::string_view::npos) {
            password = std::string(login.substr(colon + 1));
        }
        rest.remove_prefix(at + 1);
    }
    std::string_view host = rest;
    int port = mode == ProxyMode::Socks5 ? 1080 : 8080;
    if (const auto colon = rest.rfind(':'); colon != std::string_view::npos) {
        host = rest.substr(0, colon);
        const auto number = ParseWholeNumber(rest.substr(colon + 1));
        if (!number || *number < 1 || *number > 65535) {
            return changes.Fail(takes + " (PORT from 1 to 65535)");
        }
        port = static_cast<int>(*number);
    }
    if (host.empty() || host.find_first_of("/ ") != std::string_view::npos) {
        return changes.Fail(takes);
    }
    return changes.Set("UseGlobeProxy", "0") &&
           changes.Set("Proxy", std::to_string(static_cast<int>(mode))) &&
           changes.Set("ProxyServer", host) && changes.Set("ProxyPort", std::to_string(port)) &&
           (user.empty() || changes.Set("ProxyUser", user)) &&
           (password.empty() || changes.Set("ProxyPassword", password));
}

bool SetCookies(CChanges& changes, std::string_view value) {
    for (const std::string_view on : {"on", "yes", "1"}) {
        if (EqualsNoCase(value, on)) {
            return changes.Set("Cookie", "1");
        }
    }
    for (const std::string_view off : {"off", "no", "0"}) {
        if (EqualsNoCase(value, off)) {
            return changes.Set("Cookie", "0");
        }
    }
    return changes.Fail("--cookies takes on or off");
}

bool SetUpdate(CChanges& changes, std::string_view value) {
    const struct {
        std::string_view word;
        std::string_view mode;
    } modes[] = {{"", "2"},  {"server", "2"},      {"2", "2"},     {"local-first", "1"},
                 {"1", "1"}, {"local", "0"},       {"0", "0"}};
    for (const auto& m : modes) {
        if (EqualsNoCase(value, m.word)) {
            return changes.Set("UpdateMode", m.mode);
        }
    }
    return changes.Fail("--update takes server, local-first or local");
}

bool SetExtensions(CChanges& changes, std::string_view value, bool accept) {
    std::vector<std::string> extensions;
    std::string bad;
    const std::string name = accept ? "--accept" : "--reject";
    if (!ParseExtensionList(value, extensions, bad)) {
        return changes.Fail(name + " takes extensions joined by commas (pdf,zip), not \"" + bad +
                            "\"");
    }
    if (extensions.empty()) {
        return changes.Fail(name + " takes extensions joined by commas (pdf,zip)");
    }
    CFileTypeFilter& filter = changes.Settings().FileTypeFilter;
    const bool fits =
        accept ? AcceptOnlyExtensions(filter, extensions) : RejectExtensions(filter, extensions);
    if (!fits) {
        return changes.Fail("the extension lists would pass their " +
                            std::to_string(kMaxFileFilterList) + " characters");
    }
    return true;
}

bool ApplyOption(CChanges& changes, const CCliOption& option, std::string_view value) {
    const std::string lists = std::string(option.longName) + " takes a comma-separated list of ";
    auto list = [&](std::string_view what, auto patterns, std::string_view modeKey,
                    std::string_view mode, std::string_view listKey) {
        const std::vector<std::string> items = CommaList(value);
        if (items.empty()) {
            return changes.Fail("--" + lists + std::string(what));
        }
        return (modeKey.empty() || changes.Set(modeKey, mode)) &&
               changes.Append(listKey, patterns(items));
    };
    switch (option.id) {
    case OptionId::Level: return SetLevel(changes, value);
    case OptionId::NoParent: return changes.Set("PathFilter", "1");
    case OptionId::SpanHosts: return changes.Set("HostFilter", "0");
    case OptionId::Domains: return list("domains", HostPatterns, "HostFilter", "3", "FHost");
    case OptionId::ExcludeDomains: return list("domains", HostPatterns, "", "", "EHost");
    case OptionId::IncludeDirectories:
        return list("directories", PathPatterns, "PathFilter", "2", "FPath");
    case OptionId::ExcludeDirectories:
        return list("directories", PathPatterns, "", "", "EPath");
    case OptionId::Accept: return SetExtensions(changes, value, true);
    case OptionId::Reject: return SetExtensions(changes, value, false);
    case OptionId::MaxFiles: return changes.Set("MaxFile", value);
    case OptionId::MaxMinutes: return changes.Set("MaxMinute", value);
    case OptionId::Threads: return changes.Set("DownthreadNum", value);
    case OptionId::Tries: return SetTries(changes, value);
    case OptionId::Timeout: return changes.Set("TimeOut", value);
    case OptionId::User: return changes.Set("Username", value);
    case OptionId::Password: return changes.Set("Password", value);
    case OptionId::Proxy: return SetProxy(changes, value);
    case OptionId::NoProxy: return changes.Set("UseGlobeProxy", "0") && changes.Set("Proxy", "0");
    case OptionId::ProxyUser: return changes.Set("ProxyUser", value);
    case OptionId::ProxyPassword: return changes.Set("ProxyPassword", value);
    case OptionId::UserAgent:
        return changes.Set("UserAgentMode", "4") && changes.Set("UserDefined", value);
    case OptionId::Cookies: return SetCookies(changes, value);
    case OptionId::NoCookies: return changes.Set("Cookie", "0");
    case OptionId::Update: return SetUpdate(changes, value);
    case OptionId::HttpKeepAlive: return changes.Set("KeepAlive", "1");
    case OptionId::NoHttpKeepAlive: return changes.Set("KeepAlive", "0");
    case OptionId::AbsoluteLinks: return changes.Set("Link", "1");
    case OptionId::LocalLinks: return changes.Set("Link", "0");
    case OptionId::AdjustExtension: return changes.Set("AutoExt", "1");
    case OptionId::Backup: return changes.Set("BackupLast", "1");
    case OptionId::NoBackup: return changes.Set("BackupLast", "0");
    default: return changes.Fail("not an option of a project");
    }
}

std::string KeyRefusal(std::string_view typed) {
    for (const CSettingsKey& key : SettingsKeys()) {
        if (!EqualsNoCase(key.name, typed)) {
            continue;
        }
        if (key.Has(kRuleAddressList)) {
            return "the key " + std::string(key.name) +
                   " has no meaning here: every start address given on the command line is "
                   "run on its own";
        }
        return "the key " + std::string(key.name) + " is set by the program";
    }
    std::string message = "unknown key \"" + std::string(typed) + "\"";
    const std::string_view nearest = NearestSettableKey(typed);
    if (!nearest.empty()) {
        message += "; did you mean \"" + std::string(nearest) + "\"?";
    }
    return message + " (torvex-cli keys lists them)";
}

} // namespace

std::string ApplyCliSetting(CProjectSettings& settings, const CliSetting& setting,
                            std::vector<std::string>& warnings) {
    CChanges changes(settings, setting, warnings);
    if (setting.option) {
        ApplyOption(changes, *setting.option, setting.value);
        return changes.Error();
    }
    if (!FindSettableKey(setting.key)) {
        return KeyRefusal(setting.key);
    }
    changes.Set(setting.key, setting.value);
    return changes.Error();
}

} // namespace torvex
