#include "platform/Registry.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "base/AsciiCase.h"
#include "base/BoundedText.h"
#include "base/CSettingsReader.h"
#include "platform/DurableFile.h"
#include "platform/UserFolders.h"

namespace torvex {

namespace {

namespace fs = std::filesystem;

constexpr char kSeparator = '\\';
constexpr std::string_view kDefaultValueName = "@";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// The path without leading, trailing or doubled separators; nothing when it names no key or
// could not be written as a section line that reads back the same.
std::optional<std::string> NormalisePath(std::string_view path) {
    std::string result;
    std::size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && path[i] == kSeparator) {
            ++i;
        }
        const std::size_t end = std::min(path.find(kSeparator, i), path.size());
        if (end > i) {
            if (!result.empty()) {
                result += kSeparator;
            }
            result.append(path.substr(i, end - i));
        }
        i = end;
    }
    if (result.empty() || HasLineBreakOrNul(result) || IsBlank(result.back()) ||
        result.size() + 2 > kMaxSettingsLine) {
        return std::nullopt;
    }
    return result;
}

std::string_view StoredName(std::string_view name) {
    return name.empty() ? kDefaultValueName : name;
}

// A value line must read back as the same name and value: no "=" in the name, no name that
// would look like a comment or a section line, no line breaks, no blanks that reading drops.
bool CanStore(std::string_view name, std::string_view value) {
    if (name.find('=') != std::string_view::npos || HasLineBreakOrNul(name) ||
        HasLineBreakOrNul(value) || name.front() == '#' || name.front() == ';' ||
        name.front() == '[') {
        return false;
    }
    if (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back()))) {
        return false;
    }
    return name.size() + 1 + value.size() <= kMaxSettingsLine;
}

// True when `path` is `base` or lies below it.
bool IsAtOrBelow(std::string_view path, std::string_view base) {
    return StartsWithNoCase(path, base) &&
           (path.size() == base.size() || path[base.size()] == kSeparator);
}

} // namespace

std::string RegistryFilePath() {
    const char* own = std::getenv(std::string(kRegistryVariable).c_str());
    if (own != nullptr && *own != '\0') {
        return own;
    }
    const std::string config = UserFoldersFromEnvironment().configHome;
    return config.empty() ? std::string() : (fs::path(config) / "torvex" / "registry").string();
}

CFileRegistry::LoadResult CFileRegistry::Load(std::vector<Key>& keys) const {
    keys.clear();
    if (m_path.empty()) {
        return LoadResult::Unusable;
    }
    std::error_code ec;
    const fs::file_status status = fs::status(m_path, ec);
    if (status.type() == fs::file_type::not_found) {
        return LoadResult::Missing;
    }
    if (ec || !fs::is_regular_file(status)) {
        return LoadResult::Unusable;
    }
    const std::uintmax_t size = fs::file_size(m_path, ec);
    if (ec || size > kMaxSettingsFileSize) {
        return LoadResult::Unusable;
    }
    std::ifstream in(m_path, std::ios::binary);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!in || (size > 0 && !in.read(text.data(), static_cast<std::streamsize>(size)))) {
        return LoadResult::Unusable;
    }

    // The settings line rules: 1001 characters, a NUL ends the text, trailing CR and blanks go.
    Key* current = nullptr;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = std::min(text.find('\n', pos), text.size());
        std::string_view line = UpToNul(
            std::string_view(text).substr(pos, end - pos).substr(0, kMaxSettingsLine));
        pos = end + 1;
        while (!line.empty() && (line.back() == '\r' || IsBlank(line.back()))) {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == '#' || line.front() == ';') {
            continue;
        }
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            current = nullptr;
            const auto path = NormalisePath(line.substr(1, line.size() - 2));
            if (!path) {
                continue;   // its values are skipped with it
            }
            const auto found = std::find_if(keys.begin(), keys.end(), [&](const Key& key) {
                return EqualsNoCase(key.path, *path);
            });
            current = found != keys.end() ? &*found : &keys.emplace_back(Key{*path, {}});
            continue;
        }
        const std::size_t equals = line.find('=');
        if (current == nullptr || equals == std::string_view::npos || equals == 0) {
            continue;
        }
        const std::string_view name = line.substr(0, equals);
        std::string_view value = line.substr(equals + 1);
        while (!value.empty() && IsBlank(value.front())) {
            value.remove_prefix(1);
        }
        auto& values = current->values;
        const auto found = std::find_if(values.begin(), values.end(), [&](const Value& v) {
            return EqualsNoCase(v.name, name);
        });
        if (found != values.end()) {
            found->text.assign(value);   // the last one wins, as in every settings file
        } else {
            values.push_back(Value{std::string(name), std::string(value)});
        }
    }
    return LoadResult::Loaded;
}

bool CFileRegistry::LoadForChange(std::vector<Key>& keys) const {
    return Load(keys) != LoadResult::Unusable;
}

bool CFileRegistry::Save(const std::vector<Key>& keys) const {
    std::string text = "# Torvex registry\n";
    for (const Key& key : keys) {
        text += '[';
        text += key.path;
        text += "]\n";
        for (const Value& value : key.values) {
            text += value.name;
            text += '=';
            text += value.text;
            text += '\n';
        }
    }
    const fs::path target(m_path);
    std::error_code ec;
    if (target.has_parent_path()) {
        fs::create_directories(target.parent_path(), ec);
    }
    return ReplaceFileDurably(m_path, text, FileAccess::OwnerOnly);
}

bool CFileRegistry::ReadString(std::string_view keyPath, std::string_view name,
                               std::string& value) const {
    const auto path = NormalisePath(keyPath);
    std::vector<Key> keys;
    if (!path || Load(keys) != LoadResult::Loaded) {
        return false;
    }
    for (const Key& key : keys) {
        if (!EqualsNoCase(key.path, *path)) {
            continue;
        }
        for (const Value& stored : key.values) {
            if (EqualsNoCase(stored.name, StoredName(name))) {
                value = stored.text;
                return true;
            }
        }
    }
    return false;
}

bool CFileRegistry::WriteString(std::string_view keyPath, std::string_view name,
                                std::string_view value) {
    const auto path = NormalisePath(keyPath);
    const std::string_view stored = StoredName(name);
    std::vector<Key> keys;
    if (!path || !CanStore(stored, value) || !LoadForChange(keys)) {
        return false;
    }
    auto key = std::find_if(keys.begin(), keys.end(),
                            [&](const Key& k) { return EqualsNoCase(k.path, *path); });
    if (key == keys.end()) {
        key = keys.insert(keys.end(), Key{*path, {}});
    }
    auto found = std::find_if(key->values.begin(), key->values.end(),
                              [&](const Value& v) { return EqualsNoCase(v.name, stored); });
    if (found != key->values.end()) {
        found->text.assign(value);
    } else {
        key->values.push_back(Value{std::string(stored), std::string(value)});
    }
    return Save(keys);
}

bool CFileRegistry::CreateKey(std::string_view keyPath) {
    const auto path = NormalisePath(keyPath);
    std::vector<Key> keys;
    if (!path || !LoadForChange(keys)) {
        return false;
    }
    if (std::any_of(keys.begin(), keys.end(),
                    [&](const Key& k) { return EqualsNoCase(k.path, *path); })) {
        return true;
    }
    keys.push_back(Key{*path, {}});
    return Save(keys);
}

bool CFileRegistry::DeleteKey(std::string_view keyPath) {
    const auto path = NormalisePath(keyPath);
    std::vector<Key> keys;
    if (!path || !LoadForChange(keys)) {
        return false;
    }
    const auto removed = std::remove_if(keys.begin(), keys.end(), [&](const Key& k) {
        return IsAtOrBelow(k.path, *path);
    });
    if (removed == keys.end()) {
        return true;   // nothing to do; the store is left as it is
    }
    keys.erase(removed, keys.end());
    return Save(keys);
}

bool CFileRegistry::DeleteValue(std::string_view keyPath, std::string_view name) {
    const auto path = NormalisePath(keyPath);
    std::vector<Key> keys;
    if (!path || !LoadForChange(keys)) {
        return false;
    }
    bool changed = false;
    for (Key& key : keys) {
        if (EqualsNoCase(key.path, *path)) {
            const auto removed =
                std::remove_if(key.values.begin(), key.values.end(), [&](const Value& v) {
                    return EqualsNoCase(v.name, StoredName(name));
                });
            changed = changed || removed != key.values.end();
            key.values.erase(removed, key.values.end());
        }
    }
    return !changed || Save(keys);
}

bool CFileRegistry::KeyExists(std::string_view keyPath) const {
    const auto path = NormalisePath(keyPath);
    std::vector<Key> keys;
    if (!path || Load(keys) != LoadResult::Loaded) {
        return false;
    }
    return std::any_of(keys.begin(), keys.end(),
                       [&](const Key& k) { return IsAtOrBelow(k.path, *path); });
}

} // namespace torvex
