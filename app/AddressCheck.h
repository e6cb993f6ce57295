#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "project/CProjectSettings.h"

// How an address typed or handed to the program is judged before it becomes a start address:
// one check for the wizard, the Basic tab, the Address List, New Address and torvex-cli, so that
// a newly supported scheme is accepted everywhere at once. Pure functions; any thread.

namespace torvex {

constexpr std::string_view kUrlNotValidText = "Sorry, the URL is not valid.";
constexpr std::string_view kUrlExistsQuestion =
    "The URL already exists. Do you wish to add it anyway?";
// What an address field holds before the user types one.
constexpr std::string_view kEmptyAddressText = "http://";

// The schemes a run can fetch: http, https and ftp.
bool IsSupportedScheme(std::string_view scheme);
// Message 63026: "Sorry, "<scheme>" protocol is not supported in this version of Torvex."
std::string UnsupportedSchemeText(std::string_view scheme);

// Judges a start address as it will be run: "$DATE" expanded with `dateFormat`, then parsed.
// Empty when it is good; else "Sorry, the URL is not valid." (also for control characters and
// for a text over 512 characters, before or after the expansion) or message 63026.
std::string CheckStartAddress(std::string_view text, std::string_view dateFormat);

// True when `text` equals, ignoring case, the address of one of `addresses`.
bool AddressListed(const std::vector<CStartAddress>& addresses, std::string_view text);

// An address waiting for a dialog (from the browser or the clipboard) and the name or
// description proposed with it.
struct CPendingAddress {
    std::string address; // at most 512 characters
    std::string name;    // at most 64 characters (65 from the hand-over file)

    bool IsSet() const { return !address.empty() && !name.empty(); }
    bool IsEmpty() const { return address.empty() && name.empty(); }
    void Clear() {
        address.clear();
        name.clear();
    }
};

// The address a copied text stands for: the text without surrounding blanks when it parses as a
// valid address, with its host as the name; nothing otherwise.
std::optional<CPendingAddress> AddressFromText(std::string_view text);

} // namespace torvex
