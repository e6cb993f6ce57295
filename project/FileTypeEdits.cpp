#include "project/FileTypeEdits.h"

#include <algorithm>
#include <array>

#include "base/AsciiCase.h"

namespace torvex {

namespace {

struct Item {
    std::string extension;
    char flag = '1';
};

std::vector<Item> Items(std::string_view list) {
    std::vector<Item> items;
    while (!list.empty()) {
        const auto bar = list.find('|');
        const std::string_view item = list.substr(0, bar);
        const auto semicolon = item.find(';');
        if (semicolon != std::string_view::npos && semicolon > 0) {
            const std::string_view flag = item.substr(semicolon + 1);
            items.push_back({std::string(item.substr(0, semicolon)), flag == "0" ? '0' : '1'});
        }
        list = bar == std::string_view::npos ? std::string_view() : list.substr(bar + 1);
    }
    return items;
}

std::string Joined(const std::vector<Item>& items) {
    std::string list;
    for (const Item& item : items) {
        list += list.empty() ? "" : "|";
        list += item.extension + ";" + item.flag;
    }
    return list;
}

bool Listed(const std::vector<std::string>& extensions, std::string_view extension) {
    return std::any_of(extensions.begin(), extensions.end(),
                       [&](const std::string& e) { return EqualsNoCase(e, extension); });
}

// Sets the flag of every item of the groups from `firstGroup` on to `flagOf(item)`, adds the
// extensions no group holds to the last group with `addedFlag`, and writes the result back when
// every group fits.
template <typename FlagOf>
bool Rewrite(CFileTypeFilter& filter, std::size_t firstGroup,
             const std::vector<std::string>& extensions, FlagOf flagOf, char addedFlag) {
    std::array<std::string, kFileFilterGroups> lists = filter.FileFilter;
    std::vector<std::string> unheld = extensions;
    for (std::size_t group = 0; group < kFileFilterGroups; ++group) {
        std::vector<Item> items = Items(lists[group]);
        for (Item& item : items) {
            std::erase_if(unheld,
                          [&](const std::string& e) { return EqualsNoCase(e, item.extension); });
            if (group >= firstGroup) {
                item.flag = flagOf(item);
            }
        }
        if (group + 1 == kFileFilterGroups) {
            for (const std::string& extension : unheld) {
                items.push_back({extension, addedFlag});
            }
        }
        lists[group] = Joined(items);
        if (lists[group].size() > kMaxFileFilterList) {
            return false;
        }
    }
    filter.FileFilter = std::move(lists);
    filter.NoFileFilter = false;
    return true;
}

} // namespace

bool ParseExtensionList(std::string_view text, std::vector<std::string>& extensions,
                        std::string& bad) {
    extensions.clear();
    while (true) {
        const auto comma = text.find(',');
        std::string_view item = text.substr(0, comma);
        while (!item.empty() && (item.front() == ' ' || item.front() == '\t')) {
            item.remove_prefix(1);
        }
        while (!item.empty() && (item.back() == ' ' || item.back() == '\t')) {
            item.remove_suffix(1);
        }
        if (!item.empty()) {
            // Only the text after the last dot is a file's extension ("tar.gz" is "gz").
            const auto dot = item.rfind('.');
            const std::string_view extension =
                dot == std::string_view::npos ? item : item.substr(dot + 1);
            if (extension.empty() || extension.find_first_of("|;") != std::string_view::npos) {
                bad = std::string(item);
                return false;
            }
            if (!Listed(extensions, extension)) {
                extensions.push_back(LowerAscii(extension));
            }
        }
        if (comma == std::string_view::npos) {
            return true;
        }
        text.remove_prefix(comma + 1);
    }
}

bool AcceptOnlyExtensions(CFileTypeFilter& filter, const std::vector<std::string>& extensions) {
    const bool fits = Rewrite(
        filter, 1, extensions,
        [&](const Item& item) { return Listed(extensions, item.extension) ? '1' : '0'; },
        '1');
    if (fits) {
        filter.FilterOther = true;
    }
    return fits;
}

bool RejectExtensions(CFileTypeFilter& filter, const std::vector<std::string>& extensions) {
    // Groups other than those holding one of `extensions` keep their flags.
    return Rewrite(
        filter, 0, extensions,
        [&](const Item& item) { return Listed(extensions, item.extension) ? '0' : item.flag; },
        '0');
}

} // namespace torvex
