#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace torvex {

class CProjectSettings;
class CSettingsReader;
struct CStartAddress;

// Where a key stands in the settings files.
enum class KeyPlace : int {
    Header = 0,    // the first lines of a project file, ahead of its settings
    Defaults = 1,  // default.conf only: what new start addresses get
    Common = 2,    // default.conf and every project's settings
    Project = 3,   // a project's settings only (its name, folder, own proxy, timer)
    Address = 4,   // a start address's "[URL]" section
};

// What a key's value is, which says how it is read, brought into range and checked.
enum class KeyKind : int {
    Number = 0,    // a whole number; loading brings one outside low..high back (below, above)
    Choice = 1,    // one of the numbers low..high, each with a meaning in `choices`
    Flag = 2,      // 0 or 1 (when read, a first digit other than 0 counts as 1)
    Bits = 3,      // a sum of the bit values in `choices`, 0..high
    Word = 4,      // one of the words in `choices`; loading makes any other the first
    Text = 5,      // a text on one line, at most `capacity` characters
    Password = 6,  // a text of at most 64 characters, scrambled in the file
    Time = 7,      // seconds since 1970 (32-bit)
};

// Rules that only some keys follow (bits of CSettingsKey::rules).
enum KeyRule : unsigned {
    kRuleSetByProgram = 1u << 0,    // the program fills it; users never set it
    kRuleAddressList = 1u << 1,     // makes sense only in a list of addresses edited as a list
    kRuleReadAfterFirst = 1u << 2,  // read only for addresses after the first
    kRuleChildOnly = 1u << 3,       // read only for a child address
    kRuleParentFallback = 1u << 4,  // a child without the key takes its parent's value
    kRuleLocation = 1u << 5,        // skipped where a file's own location stands for it
    kRuleExtensionList = 1u << 6,   // a list "ext;1|ext;0|..." of the file-type filter
    kRuleProxyPort = 1u << 7,       // out of range: the port of the proxy type
    kRuleRangedAfterFirst = 1u << 9,  // brought into range only for addresses after the first
    // Added beside the keys every settings file has always carried: written only when it
    // differs from its default, after those keys, so files with default values stay the same.
    kRuleExtension = 1u << 8,
};

// "below"/"above" for keys that loading leaves as read.
inline constexpr int kLeftAsRead = INT_MIN;

// What a key reaches in a settings object: exactly one of the pointers is set (two for a
// password: the plain text and the scrambled form kept beside it).
struct CKeyField {
    int* number = nullptr;
    bool* flag = nullptr;
    std::string* text = nullptr;
    std::string* scrambled = nullptr;
    std::int32_t* time = nullptr;
};

// One key of the settings files: the one place where a key's name, place, kind, default, range,
// meaning and field are given. The reader, the range rules, the command line's checks and the
// key listing all work from this table, so a new key is one row here (and its field).
struct CSettingsKey {
    std::string_view name = {};
    KeyPlace place = KeyPlace::Common;
    KeyKind kind = KeyKind::Number;
    std::string_view defaultValue = {};   // as a new project gets it without a defaults file
    int low = 0;                     // Number, Choice, Bits: the accepted values
    int high = 0;
    int below = kLeftAsRead;         // Number, Choice: what loading makes of a value below low
    int above = kLeftAsRead;         // ... and above high
    std::size_t capacity = 0;        // Text, Password, Word: characters
    std::string_view choices = {};   // Choice, Bits, Word, Flag: "value=meaning" joined by "|"
    std::string_view meaning = {};
    unsigned rules = 0;              // KeyRule bits
    CKeyField (*project)(CProjectSettings&) = nullptr;   // Header, Defaults, Common, Project
    CKeyField (*address)(CStartAddress&) = nullptr;      // Address

    bool Has(KeyRule rule) const { return (rules & rule) != 0; }
    // A user may give it (on the command line, in the desktop program's pages).
    bool Settable() const;
};

// Every key, in the order the files are read and ranged: header, project, defaults, common,
// project proxy and timer, then the keys of a start address.
std::span<const CSettingsKey> SettingsKeys();

// The key a user may set with this name (ASCII case ignored): project-wide and start-address
// keys, never the defaults-only twins or what the program fills; null when there is none.
const CSettingsKey* FindSettableKey(std::string_view name);
// The settable key `name` most likely misspells ("Levle": "Level"); empty when none is close.
std::string_view NearestSettableKey(std::string_view name);

// Reads the key's value from the reader's current section into `field`; a missing key leaves
// the field as it was. Passwords are unscrambled (a plain-text password is taken as it is).
void ReadKey(const CSettingsReader& reader, const CSettingsKey& key, const CKeyField& field);
// Brings the field into the key's range and capacity as loading does. `proxyMode` is the
// project's Proxy, which decides an out-of-range ProxyPort.
void RangeKey(const CSettingsKey& key, const CKeyField& field, int proxyMode);
// The field's value as the key's line carries it ("1" for a set flag; passwords scrambled).
std::string KeyValueText(const CSettingsKey& key, const CKeyField& field);
// Appends "Key=value\n" for every key of `keys` at `place` with kRuleExtension whose value
// differs from its default; `field` reaches each key's field in the object being written.
void WriteExtensionKeys(std::string& out, std::span<const CSettingsKey> keys, KeyPlace place,
                        const std::function<CKeyField(const CSettingsKey&)>& field);

// What a key accepts, in words: "a whole number from 0 to 99", "0 (no proxy), 1 (HTTP proxy)
// or 2 (SOCKS5 proxy)", "GET or POST", "a text of at most 64 characters".
std::string AcceptedValuesText(const CSettingsKey& key);

// How a value typed by a user fares against its key.
enum class ValueVerdict : int {
    Accepted = 0,   // `value` is the value, in its written form ("POST" for "post")
    Adjusted = 1,   // out of range or too long: `value` is what is used, `message` says so
    Refused = 2,    // not a value of the key: `message` says what the key accepts
};

struct CValueCheck {
    ValueVerdict verdict = ValueVerdict::Accepted;
    std::string value;
    std::string message;   // without the key=value it is about, which the caller shows
};

// Checks `value` for `key` where it enters (the command line, a dialog): a value that is not a
// number, not one of the key's choices or not on one line is refused, saying what the key
// accepts; a number out of range is brought into it as loading would, and a text cut to its
// capacity, saying to what.
CValueCheck CheckKeyValue(const CSettingsKey& key, std::string_view value);

// Sets `field` to `value` in the form CheckKeyValue gives (a password as plain text, scrambled
// anew when it is written).
void AssignKeyValue(const CSettingsKey& key, const CKeyField& field, std::string_view value);

// Parses a whole number as the command line takes it: blanks around it, an optional sign, only
// digits; values beyond +-10^18 stay there. Nothing for anything else.
std::optional<long long> ParseWholeNumber(std::string_view text);

} // namespace torvex
