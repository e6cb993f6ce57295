#include "project/SettingsKeys.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "base/CSettingsReader.h"
#include "project/CProjectSettings.h"

namespace torvex {
namespace {

// What a settable key is set to away from its default, in the form a user types it.
std::string OtherValue(const CSettingsKey& key) {
    switch (key.kind) {
    case KeyKind::Number:
    case KeyKind::Choice:
    case KeyKind::Bits:
        return std::to_string(key.high == key.low ? key.low : key.high);
    case KeyKind::Flag:
        return key.defaultValue == "1" ? "0" : "1";
    case KeyKind::Word:
        return "POST";
    case KeyKind::Text:
        return key.Has(kRuleExtensionList) ? "abc;0" : "some text";
    case KeyKind::Password:
        return "secret";
    case KeyKind::Time:
        return "12345";
    }
    return {};
}

TEST(SettingsKeysTable, NamesAreUniqueWithinTheirPlace) {
    std::set<std::pair<bool, std::string>> seen;
    for (const CSettingsKey& key : SettingsKeys()) {
        SCOPED_TRACE(std::string(key.name));
        const bool address = key.place == KeyPlace::Address;
        EXPECT_TRUE(seen.insert({address, std::string(key.name)}).second);
        // A key reaches exactly the field of its place.
        if (key.place == KeyPlace::Header) {
            EXPECT_FALSE(key.project || key.address);
        } else {
            EXPECT_EQ(address, key.address != nullptr);
            EXPECT_EQ(!address, key.project != nullptr);
        }
        EXPECT_FALSE(key.meaning.empty());
    }
}

// Every settable key, written by its own line into a project file, comes back from loading:
// the reader reads what the table lists, and the table's field is the one the reader fills.
TEST(SettingsKeysTable, EverySettableKeyIsReadIntoItsField) {
    for (const CSettingsKey& key : SettingsKeys()) {
        if (!key.Settable()) {
            continue;
        }
        SCOPED_TRACE(std::string(key.name));
        const std::string value = OtherValue(key);
        const std::string line = std::string(key.name) + "=" + value + "\n";
        std::string text = "Name=p\n";
        if (key.place != KeyPlace::Address) {
            text += line;
        }
        text += "[URL]\nStartURL=http://h/\n";
        if (key.place == KeyPlace::Address) {
            text += line;
        }
        CSettingsReader reader;
        reader.OpenText(text);
        CProjectSettings settings;
        ASSERT_TRUE(settings.LoadSettingsBody(reader, true));
        ASSERT_EQ(settings.Addresses.size(), 1u);
        const CKeyField field = key.place == KeyPlace::Address
                                    ? key.address(settings.Addresses.front())
                                    : key.project(settings);
        if (key.kind == KeyKind::Password) {
            EXPECT_EQ(*field.text, value);
        } else {
            EXPECT_EQ(KeyValueText(key, field), value);
        }
    }
}

TEST(SettingsKeysTable, DefaultsAreWhatANewProjectHas) {
    CProjectSettings settings;
    CStartAddress address = settings.NewAddress();
    for (const CSettingsKey& key : SettingsKeys()) {
        if (key.place == KeyPlace::Header || key.kind == KeyKind::Password ||
            key.Has(kRuleSetByProgram)) {
            continue;
        }
        SCOPED_TRACE(std::string(key.name));
        const CKeyField field =
            key.place == KeyPlace::Address ? key.address(address) : key.project(settings);
        EXPECT_EQ(KeyValueText(key, field), key.defaultValue);
    }
}

TEST(SettingsKeysCheck, ValuesAreAcceptedAdjustedOrRefusedWhereTheyEnter) {
    const struct {
        const char* key;
        const char* value;
        ValueVerdict verdict;
        const char* used;      // the value used, when not refused
        const char* message;   // a part of the message
    } rows[] = {
        {"Level", "3", ValueVerdict::Accepted, "3", ""},
        {"Level", " 7 ", ValueVerdict::Accepted, "7", ""},
        {"Level", "abc", ValueVerdict::Refused, "", "Level takes a whole number from 0 to 99"},
        {"Level", "3x", ValueVerdict::Refused, "", "from 0 to 99"},
        {"Level", "", ValueVerdict::Refused, "", "from 0 to 99"},
        {"Level", "500", ValueVerdict::Adjusted, "99", "using 99"},
        {"Level", "-1", ValueVerdict::Adjusted, "0", "using 0"},
        {"Level", "99999999999999999999999", ValueVerdict::Adjusted, "99", "using 99"},
        {"TimeOut", "1", ValueVerdict::Adjusted, "10", "using 10"},
        {"FreeSpaceLimit", "0", ValueVerdict::Adjusted, "2", "using 2"},
        {"HostFilter", "abc", ValueVerdict::Refused, "", "0 (all hosts)"},
        {"HostFilter", "4", ValueVerdict::Refused, "", "3 (the hosts in FHost)"},
        {"HostFilter", "0", ValueVerdict::Accepted, "0", ""},
        {"Link", "yes", ValueVerdict::Refused, "", "Link takes 0 ("},
        {"Cookie", "2", ValueVerdict::Refused, "", "Cookie takes 0 or 1"},
        {"Cookie", "0", ValueVerdict::Accepted, "0", ""},
        {"FileType", "4", ValueVerdict::Refused, "", "0 to 3, the sum of"},
        {"RequestMethod", "post", ValueVerdict::Accepted, "POST", ""},
        {"RequestMethod", "PUT", ValueVerdict::Refused, "", "GET ("},
        {"FileFilter8", "iso;0|img;1", ValueVerdict::Accepted, "iso;0|img;1", ""},
        {"FileFilter8", "iso", ValueVerdict::Refused, "", "ext;1 or ext;0"},
        {"FileFilter8", "i|so;1", ValueVerdict::Refused, "", "ext;1 or ext;0"},
        {"UserDefined", "agent\nX-Injected: 1", ValueVerdict::Refused, "", "one line"},
        {"ProxyPort", "0", ValueVerdict::Adjusted, "0", "1080 with a SOCKS5 proxy"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.key) + "=" + r.value);
        const CSettingsKey* key = FindSettableKey(r.key);
        ASSERT_NE(key, nullptr);
        const CValueCheck check = CheckKeyValue(*key, r.value);
        EXPECT_EQ(check.verdict, r.verdict) << check.message;
        if (r.verdict != ValueVerdict::Refused) {
            EXPECT_EQ(check.value, r.used);
        }
        EXPECT_NE(check.message.find(r.message), std::string::npos) << check.message;
    }
}

TEST(SettingsKeysCheck, TextsAreCutToTheirCapacityWithAWarning) {
    const CSettingsKey* key = FindSettableKey("UserDefined");
    ASSERT_NE(key, nullptr);
    const std::string atLimit(key->capacity, 'a');
    EXPECT_EQ(CheckKeyValue(*key, atLimit).verdict, ValueVerdict::Accepted);
    const CValueCheck over = CheckKeyValue(*key, atLimit + "b");
    EXPECT_EQ(over.verdict, ValueVerdict::Adjusted);
    EXPECT_EQ(over.value, atLimit);
    EXPECT_NE(over.message.find("at most " + std::to_string(key->capacity)), std::string::npos);
}

TEST(SettingsKeysFind, KnownNamesIgnoreCaseAndMisspellingsFindTheirKey) {
    ASSERT_NE(FindSettableKey("level"), nullptr);
    EXPECT_EQ(FindSettableKey("level")->name, "Level");
    // What the program fills, and the defaults-only and list-only keys, are not set by users.
    for (const char* name : {"TorvexVersion", "ProjectDir", "CreateTime", "StartURL", "Enable",
                             "Child", "Inherit", "Folders"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(FindSettableKey(name), nullptr);
    }
    EXPECT_EQ(NearestSettableKey("Levle"), "Level");
    EXPECT_EQ(NearestSettableKey("Tmeout"), "TimeOut");
    EXPECT_EQ(NearestSettableKey("DownThreads"), "DownthreadNum");
    EXPECT_EQ(NearestSettableKey("Xyz"), "");
}

TEST(SettingsKeysNumber, OnlyDigitsWithASignAreWholeNumbers) {
    EXPECT_EQ(ParseWholeNumber(" 42 "), 42);
    EXPECT_EQ(ParseWholeNumber("-3"), -3);
    EXPECT_EQ(ParseWholeNumber("+3"), 3);
    for (const char* bad : {"", " ", "-", "4 2", "0x10", "1e3", "3.0", "abc"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(ParseWholeNumber(bad).has_value());
    }
}

} // namespace
} // namespace torvex
