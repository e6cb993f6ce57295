#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace torvex {

// The file that holds the registry stand-in: TORVEX_REGISTRY when set and not empty, else
// "registry" in $XDG_CONFIG_HOME/torvex (when that is an absolute path), else in
// ~/.config/torvex. Empty when none of them can be known (no home folder).
std::string RegistryFilePath();

constexpr std::string_view kRegistryVariable = "TORVEX_REGISTRY";

// The small part of the system registry that other programs read from us (the browser menu
// entry, the auto-run entry, the working directory for the capture component, its class
// registration). Keys are named by paths from their root down, components separated by "\":
// "HKEY_CURRENT_USER\Software\Torvex". Leading, trailing and doubled separators do not matter
// and names match without regard to ASCII case. The value name "" is a key's default value.
// A key exists when it was created or when any key below it exists.
//
// Every call stands alone (no state is kept between calls), so separate processes see each
// other's writes; the last writer wins when two write at once. Implementations are used by one
// thread at a time.
class CRegistry {
public:
    virtual ~CRegistry() = default;

    // The value `name` of the key; false (and `value` untouched) when the key or value is missing
    // or the store cannot be read.
    virtual bool ReadString(std::string_view keyPath, std::string_view name,
                            std::string& value) const = 0;
    // Sets the value, creating the key and the keys above it. False when the store cannot be
    // written or the path, name or value cannot be kept (line breaks, over-long text).
    virtual bool WriteString(std::string_view keyPath, std::string_view name,
                             std::string_view value) = 0;
    // Creates the key (without values) when it is not there yet.
    virtual bool CreateKey(std::string_view keyPath) = 0;
    // Removes the key with every key below it; true when it is gone afterwards.
    virtual bool DeleteKey(std::string_view keyPath) = 0;
    // Removes one value of a key; true when it is gone afterwards.
    virtual bool DeleteValue(std::string_view keyPath, std::string_view name) = 0;
    virtual bool KeyExists(std::string_view keyPath) const = 0;
};

// The registry stand-in kept in one text file in the settings style: a "[key path]" section line
// per key followed by its "name=value" lines, the default value under the name "@". At most
// 1001 characters of a line count; a file that cannot be read or is larger than the settings
// limit is treated as empty for reading and never overwritten. Changes are written to a
// temporary file that is renamed over the store, so a failed write leaves the old store intact.
class CFileRegistry final : public CRegistry {
public:
    explicit CFileRegistry(std::string path) : m_path(std::move(path)) {}

    bool ReadString(std::string_view keyPath, std::string_view name,
                    std::string& value) const override;
    bool WriteString(std::string_view keyPath, std::string_view name,
                     std::string_view value) override;
    bool CreateKey(std::string_view keyPath) override;
    bool DeleteKey(std::string_view keyPath) override;
    bool DeleteValue(std::string_view keyPath, std::string_view name) override;
    bool KeyExists(std::string_view keyPath) const override;

    const std::string& Path() const { return m_path; }

private:
    struct Value {
        std::string name;
        std::string text;
    };
    struct Key {
        std::string path;   // normalised: no leading, trailing or doubled separators
        std::vector<Value> values;
    };
    enum class LoadResult { Loaded, Missing, Unusable };

    LoadResult Load(std::vector<Key>& keys) const;
    bool Save(const std::vector<Key>& keys) const;
    // Loads for a change; false when the store exists but must not be overwritten.
    bool LoadForChange(std::vector<Key>& keys) const;

    std::string m_path;
};

} // namespace torvex
