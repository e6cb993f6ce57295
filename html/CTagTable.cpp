#include "html/CTagTable.h"

#include "base/AsciiCase.h"

namespace torvex {

namespace {

constexpr int C(TagCode code) { return static_cast<int>(code); }

} // namespace

CTagTable::CTagTable()
    : m_rows{{
          {"a", {{{"href", 0}, {"onclick", 0}, {"onmouseover", 0}}}},
          {"img",
           {{{"src", 1}, {"onclick", 1}, {"onmouseover", 1}, {"srcset", C(TagCode::ImgSrcset)}}}},
          {"frame", {{{"src", 2}}}},
          {"iframe", {{{"src", 3}}}},
          {"td", {{{"background", 4}}}},
          {"script", {{{"src", 5}}}},
          {"body", {{{"background", 6}}}},
          {"meta", {{{"content", 7}}}},
          {"base", {{{"href", 8}}}},
          {"area", {{{"href", 9}}}},
          {"input", {{{"src", 10}}}},
          {"ilayer", {{{"src", 11}}}},
          {"link", {{{"href", 12}, {"imagesrcset", C(TagCode::LinkSrcset)}}}},
          {"embed", {{{"src", 13}}}},
          {"applet", {{{"code", 14}, {"archive", 14}}}},
          {"option", {{{"value", 15}}}},
          {"image", {{{"src", 16}}}},
          {"tr", {{{"onclick", 17}}}},
          {"source", {{{"src", 18}, {"srcset", C(TagCode::SourceSrcset)}}}},
          {"video", {{{"src", 19}, {"poster", C(TagCode::VideoPoster)}}}},
          {"audio", {{{"src", 20}}}},
          {"object", {{{"data", 21}}}},
          {"track", {{{"src", 22}}}},
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
    for (int row = 0; row < kTagCount; ++row) {
        const std::string_view name = m_rows[static_cast<std::size_t>(row)].name;
        if (name[0] != first || text.size() <= name.size()) {
            continue;
        }
        const char after = text[name.size()];
        if ((after == ' ' || after == '\r' || after == '\n') &&
            EqualsNoCase(text.substr(0, name.size()), name)) {
            return row;
        }
    }
    return -1;
}

int CTagTable::AttributeCode(int row, std::string_view attribute) const {
    if (row < 0 || row >= kTagCount) {
        return -1;
    }
    for (const CTagAttribute& candidate : Row(row).attributes) {
        if (candidate.name.empty()) {
            break;
        }
        if (EqualsNoCase(attribute, candidate.name)) {
            return candidate.code;
        }
    }
    return -1;
}

bool CTagTable::LeadsDeeper(int code) {
    return code == C(TagCode::A) || code == C(TagCode::Area) || code == C(TagCode::Option) ||
           code == C(TagCode::LinkPage);
}

bool CTagTable::IsImage(int code) {
    switch (static_cast<TagCode>(code)) {
    case TagCode::Img:
    case TagCode::Td:
    case TagCode::Body:
    case TagCode::Image:
    case TagCode::ImgSrcset:
    case TagCode::SourceSrcset:
    case TagCode::VideoPoster:
    case TagCode::LinkSrcset:
    case TagCode::StyleAttribute:
    case TagCode::StyleBlock:
        return true;
    default:
        return false;
    }
}

bool CTagTable::IsCandidateList(int code) {
    return code == C(TagCode::ImgSrcset) || code == C(TagCode::SourceSrcset) ||
           code == C(TagCode::LinkSrcset);
}

} // namespace torvex
