#include "engine/CFailureList.h"

#include <algorithm>

#include "base/LeadingNumber.h"
#include "engine/TryFailure.h"
#include "platform/FileSystem.h"

namespace torvex {

namespace {

std::string OneField(std::string_view text) {
    std::string field(text);
    std::replace_if(
        field.begin(), field.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; },
        ' ');
    return field;
}

} // namespace

CFailureList::~CFailureList() { Close(); }

void CFailureList::Open(const std::string& path, bool keepEarlier) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    m_path = path;
    m_count = 0;
    m_items.clear();
    if (!keepEarlier) {
        // A list left by an earlier run of the record must not pass for this run's.
        RemoveFileIfExists(path);
    }
}

void CFailureList::Close() {
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
}

bool CFailureList::Add(CFailedFile failure) {
    if (failure.reason.empty()) {
        failure.reason = FailureReasonText(failure.operation, failure.code);
    }
    const std::string line = FormatFailureLine(failure) + "\n";
    std::lock_guard<std::mutex> hold(m_lock);
    ++m_count;
    if (m_items.size() < kMaxFailuresKept) {
        m_items.push_back(std::move(failure));
    }
    if (!m_file && !m_path.empty()) {
        m_file = std::fopen(m_path.c_str(), "ab");
    }
    if (!m_file) {
        return false;
    }
    const bool written = std::fwrite(line.data(), 1, line.size(), m_file) == line.size();
    return std::fflush(m_file) == 0 && written;
}

int CFailureList::Count() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_count;
}

std::vector<CFailedFile> CFailureList::Items() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_items;
}

std::string FormatFailureLine(const CFailedFile& failure) {
    return OneField(failure.url) + "\t" + OneField(failure.operation) + "\t" +
           std::to_string(failure.code) + "\t" + OneField(failure.reason);
}

std::vector<CFailedFile> ReadFailureList(const std::string& path) {
    std::vector<CFailedFile> failures;
    std::string text;
    if (!ReadFileText(path, text)) {
        return failures;
    }
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string_view line = std::string_view(text).substr(at, end - at);
        at = end + 1;
        std::string_view fields[4];
        std::size_t from = 0;
        bool whole = true;
        for (int i = 0; i < 4; ++i) {
            const std::size_t tab = i < 3 ? line.find('\t', from) : line.size();
            if (tab == std::string_view::npos) {
                whole = false;
                break;
            }
            fields[i] = line.substr(from, tab - from);
            from = tab + 1;
        }
        if (!whole || fields[0].empty()) {
            continue;
        }
        failures.push_back({std::string(fields[0]), std::string(fields[1]),
                            static_cast<int>(LeadingNumber(fields[2])), std::string(fields[3])});
    }
    return failures;
}

} // namespace torvex
