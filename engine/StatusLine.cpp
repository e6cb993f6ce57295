#include "engine/StatusLine.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "base/BoundedText.h"

namespace torvex {

namespace {

void AppendPadded(std::string& out, std::string_view text, std::size_t width) {
    out.append(text);
    if (text.size() < width) {
        out.append(width - text.size(), ' ');
    }
}

void AppendNumber(std::string& out, std::int64_t value) {
    char digits[24];
    const int n = std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(value));
    AppendPadded(out, std::string_view(digits, static_cast<std::size_t>(n)), kStatusNumberWidth);
}

std::int64_t ReadNumber(std::string_view text) {
    const auto begin = text.find_first_not_of(' ');
    if (begin == std::string_view::npos) {
        return 0;
    }
    std::int64_t value = 0;
    std::from_chars(text.data() + begin, text.data() + text.size(), value);
    return value;
}

} // namespace

std::string FormatStatusLine(const CUrlEntry& entry, std::size_t dateWidth) {
    std::string url;
    AssignCut(url, entry.urlText, kMaxEntryUrlText);
    std::string date;
    AssignCut(date, entry.lastModified, kMaxLastModified);
    if (dateWidth != 0) {
        CutTo(date, dateWidth);
    } else {
        dateWidth = kStatusDateWidth;
    }
    std::string line;
    line.reserve(url.size() + dateWidth + 40);
    line += url;
    line += '\t';
    line += entry.kind;
    line += '\t';
    line += StateLetter(entry.state);
    line += ' ';
    line += entry.nameLetter;
    line += '\t';
    AppendPadded(line, date, dateWidth);
    line += '\t';
    // A number wider than its column would shift the next line on a rewrite in place. A file
    // that large shows Readed 0 (a resume starts it over rather than trust a cut number) and
    // Total -1 (unknown).
    AppendNumber(line, entry.readed <= kMaxStatusNumber ? entry.readed : 0);
    line += '\t';
    AppendNumber(line, entry.total <= kMaxStatusNumber ? entry.total : -1);
    line += '\t';
    return line;
}

bool ParseStatusLine(std::string_view line, std::size_t urlLength, CStatusFields& fields) {
    if (line.size() < urlLength + kStatusDateOffset) {
        return false;
    }
    const std::string_view rest = line.substr(urlLength);
    fields.kind = rest[kStatusKindOffset];
    fields.state = static_cast<EntryState>(rest[kStatusStateOffset]);
    fields.nameLetter = rest[kStatusNameOffset];
    std::string_view columns = rest.substr(kStatusDateOffset);
    const auto dateEnd = columns.find('\t');
    std::string_view date = columns.substr(0, dateEnd);
    while (!date.empty() && date.back() == ' ') {
        date.remove_suffix(1);
    }
    AssignCut(fields.lastModified, date, kMaxLastModified);
    fields.readed = 0;
    fields.total = -1;
    if (dateEnd == std::string_view::npos) {
        return true;
    }
    columns.remove_prefix(dateEnd + 1);
    const auto readedEnd = columns.find('\t');
    fields.readed = ReadNumber(columns.substr(0, readedEnd));
    if (readedEnd != std::string_view::npos) {
        columns.remove_prefix(readedEnd + 1);
        fields.total = ReadNumber(columns.substr(0, columns.find('\t')));
    }
    return true;
}

} // namespace torvex
