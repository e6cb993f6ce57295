#include "engine/IndexPage.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <vector>

#include "base/AsciiCase.h"
#include "base/BoundedText.h"
#include "engine/FindLine.h"
#include "engine/StatusLine.h"
#include "html/CAttrList.h"
#include "platform/DurableFile.h"
#include "platform/FileSystem.h"
#include "platform/ProgramDir.h"
#include "project/CProjectSettings.h"
#include "project/WorkDir.h"
#include "url/CUrl.h"
#include "url/CUrlEntry.h"
#include "url/LocalNames.h"

namespace torvex {

namespace {

constexpr std::size_t kMaxTemplateLine = 1024;
constexpr std::size_t kMaxIndexAddress = 512;
constexpr std::size_t kMaxIndexDescription = 128;
constexpr std::size_t kMaxIndexLink = 260;

struct IndexEntry {
    std::string address;
    std::string description;
    std::string localLink;
};

// Lines of a text file, each cut to `limit` characters, without their line ends.
bool ReadLines(const std::string& path, std::vector<std::string>& lines) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        CutTo(line, kMaxTemplateLine);
        lines.push_back(line);
    }
    return true;
}

// The values go into attributes and text of the page: quotes, angle brackets and ampersands
// are written as entities so that an address or a description can never end an attribute or
// add markup, and ReadBack turns them into the text again.
std::string Escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out.push_back(c); break;
        }
    }
    return out;
}

std::string Unescaped(std::string_view text) {
    static constexpr struct {
        std::string_view entity;
        char c;
    } kEntities[] = {{"&amp;", '&'}, {"&quot;", '"'}, {"&#39;", '\''}, {"&lt;", '<'}, {"&gt;", '>'}};
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        bool replaced = false;
        if (text[i] == '&') {
            for (const auto& e : kEntities) {
                if (text.substr(i, e.entity.size()) == e.entity) {
                    out.push_back(e.c);
                    i += e.entity.size() - 1;
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) {
            out.push_back(text[i]);
        }
    }
    return out;
}

void ReplaceAll(std::string& text, std::string_view placeholder, std::string_view value) {
    std::size_t at = 0;
    while ((at = text.find(placeholder, at)) != std::string::npos) {
        text.replace(at, placeholder.size(), value);
        at += value.size();
    }
}

bool HasAddress(const std::vector<IndexEntry>& entries, std::string_view address) {
    for (const IndexEntry& entry : entries) {
        if (EqualsNoCase(entry.address, address)) {
            return true;
        }
    }
    return false;
}

// The entries an earlier index listed between its markers.
void ReadEarlierIndex(const std::string& path, std::vector<IndexEntry>& entries) {
    std::vector<std::string> lines;
    if (!ReadLines(path, lines)) {
        return;
    }
    bool inBlock = false;
    for (std::string& line : lines) {
        if (line == kIndexMarker) {
            if (inBlock) {
                return;
            }
            inBlock = true;
            continue;
        }
        if (!inBlock) {
            continue;
        }
        const std::size_t anchor = FindNoCase(line, "<a ");
        if (anchor == std::string::npos) {
            continue;
        }
        std::string tag = line.substr(anchor + 3);
        tag = tag.substr(0, tag.find('>'));
        CAttrList attributes;
        ParseAttributes(std::span<char>(tag.data(), tag.size()), attributes);
        IndexEntry entry;
        if (const CAttr* href = attributes.Find("href")) {
            AssignCut(entry.localLink, Unescaped(href->value), kMaxIndexLink);
        }
        if (const CAttr* url = attributes.Find("Torvex_URL")) {
            AssignCut(entry.address, Unescaped(url->value), kMaxIndexAddress);
        }
        if (const CAttr* description = attributes.Find("Torvex_URLDescription")) {
            AssignCut(entry.description, Unescaped(description->value), kMaxIndexDescription);
        }
        if (!entry.address.empty() && !HasAddress(entries, entry.address)) {
            entries.push_back(std::move(entry));
        }
    }
}

// The item text for `entry`, or empty when the entry has no stored file in the record.
bool FormItem(const IndexEntry& entry, const std::string& recordDownloadDir,
              const std::string& statusLog, const std::string& itemTemplate, std::string& item) {
    CUrlEntry local;
    local.url = CUrl(entry.address);
    if (!local.url.IsValid()) {
        return false;
    }
    local.urlText = EntryUrlText(local.url);
    if (!LocalNames(local, recordDownloadDir.size())) {
        return false;
    }
    std::string link;
    std::string suffix;
    std::string line;
    if (FindLine(statusLog, local.urlText + "\t", line) >= 0) {
        CStatusFields fields;
        if (ParseStatusLine(line, local.urlText.size(), fields) && fields.kind == EntryKind::Page) {
            suffix = StoredNameSuffix(fields.nameLetter);
        }
        link = local.localDir + local.fileName + suffix;
    } else {
        link = entry.localLink.empty() ? local.localDir + local.fileName : entry.localLink;
    }
    std::string stored;
    if (!StoredPath(recordDownloadDir, local.localDir, local.fileName, suffix, stored) ||
        !FileExists(stored)) {
        return false;
    }
    CutTo(link, kMaxIndexLink);
    item = itemTemplate;
    ReplaceAll(item, "%URL.LocalLink%", Escaped(link));
    ReplaceAll(item, "%URL.URL%", Escaped(entry.address));
    ReplaceAll(item, "%URL.Description%", Escaped(entry.description));
    ReplaceAll(item, "%URL.Text%", Escaped(entry.description.empty() ? entry.address : entry.description));
    return true;
}

} // namespace

std::string IndexTemplatePath() {
    const std::string relative = "/" + std::string(kOriginDirName) + "/index_t.en";
    const std::string own = WorkingDirectory() + relative;
    if (FileExists(own)) {
        return own;
    }
    // A working directory chosen with TORVEX_HOME may have no template of its own yet: the one
    // installed with the program serves until the user puts one there.
    return ProgramDirectory() + relative;
}

bool GenerateIndexPage(const CProjectSettings& project, const std::string& recordDownloadDir,
                       const std::string& statusLog, const std::string& templatePath) {
    std::vector<IndexEntry> entries;
    for (const CStartAddress& address : project.Addresses) {
        if (address.Child != 0) {
            continue;
        }
        IndexEntry entry;
        AssignCut(entry.address, address.StartURL, kMaxIndexAddress);
        AssignCut(entry.description, address.Description, kMaxIndexDescription);
        entries.push_back(std::move(entry));
    }
    const std::string pagePath = recordDownloadDir + "/" + std::string(kIndexPageName);
    const std::string backupPath = pagePath + ".bak";
    const bool hadPage = FileExists(pagePath);
    if (hadPage) {
        ReadEarlierIndex(pagePath, entries);
        std::string previous;
        // One writer of a record's index at a time (the project's lock): a fixed temporary
        // name, so a run killed while writing it leaves nothing behind that the next write
        // does not take away.
        if (ReadFileText(pagePath, previous)) {
            ReplaceFileDurably(backupPath, previous, FileAccess::Shared, FileSync::Durable,
                               FileWriters::One);
        }
    }

    std::vector<std::string> lines;
    ReadLines(templatePath, lines);   // a missing template gives an empty page
    std::string page;
    std::string itemTemplate;
    bool inBlock = false;
    for (const std::string& line : lines) {
        if (line == kIndexMarker) {
            if (inBlock) {
                for (const IndexEntry& entry : entries) {
                    std::string item;
                    if (FormItem(entry, recordDownloadDir, statusLog, itemTemplate, item)) {
                        page += item;
                    }
                }
            }
            page += line;
            page += '\n';
            inBlock = !inBlock;
            itemTemplate.clear();
            continue;
        }
        if (inBlock) {
            itemTemplate += line;
            itemTemplate += '\n';
            continue;
        }
        std::string text = line;
        ReplaceAll(text, "%ProjectName%", Escaped(project.Name));
        page += text;
        page += '\n';
    }

    // The previous page stays in place whole when the new one cannot be written.
    return ReplaceFileDurably(pagePath, page, FileAccess::Shared, FileSync::Durable,
                              FileWriters::One);
}

} // namespace torvex
