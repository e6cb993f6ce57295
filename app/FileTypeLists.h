#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The File Filter tab's editing of the extension lists ("htm;1|html;1|..."): each list as items
// with a check box, and the extensions the user adds and deletes. Pure functions.

namespace torvex {

constexpr std::string_view kDeleteExtensionQuestion =
    "The selected type will be deleted.\n\n          Are you sure?";

// One item of a list: the extension and whether files with it are retrieved.
struct CExtensionItem {
    std::string extension;
    bool retrieve = true;

    bool operator==(const CExtensionItem&) const = default;
};

// The items of a list in order; empty items are passed over, a flag other than "0" retrieves.
std::vector<CExtensionItem> ParseExtensionList(std::string_view list);
// The list text of `items` ("ext;1|ext;0").
std::string ComposeExtensionList(const std::vector<CExtensionItem>& items);

// Message 63032: an extension may not contain "|", ";" or ",".
std::string ExtensionInvalidText();
// The refusal when a list has no room for another extension.
std::string ExtensionListFullText(std::string_view category);

// "<< Add": adds the typed extension (without leading dots and surrounding blanks) to `items` of
// the category `category`, retrieved. Empty when it was added or is already there (then it is
// retrieved from now on; `index` says where it stands); else the refusal: message 63032 for
// "|", ";", "," or control characters, or a full list (over 512 characters). Nothing is added
// for an empty text, and `index` is then the size of `items`.
std::string AddExtension(std::vector<CExtensionItem>& items, std::string_view typed,
                         std::string_view category, std::size_t& index);

} // namespace torvex
