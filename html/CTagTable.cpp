#include "html/CTagTable.h"

#include "base/AsciiCase.h"

namespace torvex {

CTagTable::CTagTable()
    : m_rows{{
          {"a", {"href", "onclick", "onmouseover"}},
          {"img", {"src", "onclick", "onmouseover"}},
          {"frame", {"src"}},
          {"iframe", {"src"}},
          {"td", {"background"}},
          {"script", {"src"}},
          {"body", {"background"}},
          {"meta", {"content"}},
          {"base", {"href"}},
          {"area", {"href"}},
          {"input", {"src"}},
          {"ilayer", {"src"}},
          {"link", {"href"}},
          {"embed", {"src"}},
          {"applet", {"code", "archive"}},
          {"option", {"value"}},
          {"image", {"src"}},
          {"tr", {"onclick"}},
      }} {}

const CTagTable& CTagTable::Get() {
    static const CTagTable table;
    return table;
}

int CTagTable::MatchTag(std::string_view text) const {
    if (text.empty()) {
        return -1;
    }
    // Most '<' open tags that are not in the table; the first letter rules out nearly all rows
    // before any comparison of whole names.
    const char first = ToLowerAscii(text[0]);
    for (int code = 0; code < kTagCount; ++code) {
        const std::string_view name = m_rows[static_cast<std::size_t>(code)].name;
        if (name[0] != first || text.size() <= name.size()) {
            continue;
        }
        const char after = text[name.size()];
        if ((after == ' ' || after == '\r' || after == '\n') &&
            EqualsNoCase(text.substr(0, name.size()), name)) {
            return code;
        }
    }
    return -1;
}

bool CTagTable::HasAttribute(int code, std::string_view attribute) const {
    if (code < 0 || code >= kTagCount) {
        return false;
    }
    for (std::string_view name : Row(code).attributes) {
        if (name.empty()) {
            break;
        }
        if (EqualsNoCase(attribute, name)) {
            return true;
        }
    }
    return false;
}

bool CTagTable::LeadsDeeper(int code) {
    return code == static_cast<int>(TagCode::A) || code == static_cast<int>(TagCode::Area) ||
           code == static_cast<int>(TagCode::Option);
}

} // namespace torvex
