#include "engine/LinkAcceptance.h"

#include "engine/LinkFilters.h"
#include "html/CTagTable.h"
#include "url/CUrl.h"

namespace torvex {

bool LinkAcceptance(const CLinkRules& rules, std::string_view composed, int level, int tagCode,
                    int startIndex, std::time_t when) {
    if (startIndex < 0 || static_cast<std::size_t>(startIndex) >= rules.startAddresses.size()) {
        return false;
    }
    const CStartAddressRules& start = rules.startAddresses[static_cast<std::size_t>(startIndex)];
    if ((rules.fileType & kFileTypeNoImages) != 0 && CTagTable::IsImage(tagCode)) {
        return false;
    }
    if (tagCode == static_cast<int>(TagCode::Option) &&
        (rules.fileType & kFileTypeNoDropdownLists) != 0) {
        return false;
    }
    const CUrl candidate(composed);
    if (!candidate.IsValid()) {
        return false;
    }
    // Parts of a page (images, frames, scripts, style sheets) are fetched wherever they are,
    // unless the address asks for its filter to judge them too.
    if ((CTagTable::LeadsDeeper(tagCode) || start.filter.FilterSameLevel) &&
        UrlFilterRefuses(start.filter, candidate, start.startUrl, start.datePattern, when)) {
        return false;
    }
    if (IsFileTypeExcluded(rules.fileTypes, candidate)) {
        return false;
    }
    return start.level == 0 || level <= start.level;
}

bool LinkAcceptance(const CLinkRules& rules, std::string_view composed, int level, int tagCode,
                    int startIndex) {
    return LinkAcceptance(rules, composed, level, tagCode, startIndex, std::time(nullptr));
}

} // namespace torvex
