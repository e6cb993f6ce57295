#include "app/FileTypeLists.h"

#include "base/AsciiCase.h"
#include "base/BoundedText.h"
#include "project/CFileTypeFilter.h"

namespace torvex {

std::vector<CExtensionItem> ParseExtensionList(std::string_view list) {
    std::vector<CExtensionItem> items;
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find('|', start);
        if (end == std::string_view::npos) {
            end = list.size();
        }
        const std::string_view item = list.substr(start, end - start);
        const std::size_t semicolon = item.find(';');
        CExtensionItem parsed;
        parsed.extension = std::string(item.substr(0, semicolon));
        parsed.retrieve = semicolon == std::string_view::npos || item.substr(semicolon + 1) != "0";
        if (!parsed.extension.empty()) {
            items.push_back(std::move(parsed));
        }
        start = end + 1;
    }
    return items;
}

std::string ComposeExtensionList(const std::vector<CExtensionItem>& items) {
    std::string list;
    for (const CExtensionItem& item : items) {
        if (!list.empty()) {
            list += '|';
        }
        list += item.extension;
        list += item.retrieve ? ";1" : ";0";
    }
    return list;
}

std::string ExtensionInvalidText() {
    return "Sorry, the extension contains invalid characters.\nNote, the following characters "
           "are invalid: \"|\", \";\", \",\".";
}

std::string ExtensionListFullText(std::string_view category) {
    return "Sorry, the list \"" + std::string(category) + "\" is full. Please delete an " +
           "extension first.";
}

std::string AddExtension(std::vector<CExtensionItem>& items, std::string_view typed,
                         std::string_view category, std::size_t& index) {
    while (!typed.empty() && (typed.front() == ' ' || typed.front() == '.')) {
        typed.remove_prefix(1);
    }
    while (!typed.empty() && typed.back() == ' ') {
        typed.remove_suffix(1);
    }
    index = items.size();
    if (typed.empty()) {
        return {};
    }
    if (HasControlCharacter(typed) ||
        typed.find_first_of(kFileFilterInvalidChars) != std::string_view::npos) {
        return ExtensionInvalidText();
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (EqualsNoCase(items[i].extension, typed)) {
            items[i].retrieve = true;
            index = i;
            return {};
        }
    }
    std::vector<CExtensionItem> grown = items;
    grown.push_back({std::string(typed), true});
    if (ComposeExtensionList(grown).size() > kMaxFileFilterList) {
        return ExtensionListFullText(category);
    }
    items = std::move(grown);
    return {};
}

} // namespace torvex
