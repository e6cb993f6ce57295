#include "app/AddressList.h"

#include <algorithm>

#include "url/CUrl.h"

namespace torvex {

std::string AddressRowText(const CStartAddress& address) {
    std::string text(address.Child != 0 ? kChildIndent : std::string_view());
    if (!address.Description.empty()) {
        text += address.Description + " (" + address.StartURL + ")";
    } else {
        text += address.StartURL;
    }
    return text;
}

std::optional<CAppliedDate> ApplyDate(std::string_view text, std::size_t start,
                                      std::size_t length) {
    start = std::min(start, text.size());
    length = std::min(length, text.size() - start);
    CAppliedDate applied;
    applied.text = std::string(text.substr(0, start));
    applied.text += kDateMacro;
    applied.cursor = applied.text.size();
    applied.text += text.substr(start + length);
    if (applied.text.size() > kMaxStartUrl) {
        return std::nullopt;
    }
    return applied;
}

std::string DateSample(std::string_view dateFormat, std::time_t when) {
    std::string sample;
    ExpandDateMacro(kDateMacro, dateFormat, sample, when);
    return sample;
}

std::string RealStartAddress(std::string_view address, std::string_view dateFormat,
                             std::time_t when) {
    std::string real;
    ExpandDateMacro(address, dateFormat, real, when);
    return real;
}

std::size_t ParentIndex(const std::vector<CStartAddress>& addresses, std::size_t index) {
    for (std::size_t i = std::min(index + 1, addresses.size()); i > 0; --i) {
        if (addresses[i - 1].Child == 0) {
            return i - 1;
        }
    }
    return 0;
}

CFilterCommands FilterCommandsFor(const std::vector<CStartAddress>& addresses, std::size_t index) {
    CFilterCommands commands;
    if (index >= addresses.size()) {
        return commands;
    }
    const CStartAddress& address = addresses[index];
    const bool child = index > 0 && address.Child != 0;
    const bool inherits = child && address.Inherit == 1;
    commands.inheritEnabled = child;
    commands.inheritChecked = inherits;
    commands.reviseEnabled = child && !inherits;
    commands.configureEnabled = !inherits;
    return commands;
}

void ToggleInherit(std::vector<CStartAddress>& addresses, std::size_t index) {
    if (index == 0 || index >= addresses.size() || addresses[index].Child == 0) {
        return;
    }
    addresses[index].Inherit = addresses[index].Inherit == 1 ? 0 : 1;
}

CUrlFilter RevisedFilter(const std::vector<CStartAddress>& addresses, std::size_t index) {
    if (index >= addresses.size()) {
        return {};
    }
    return addresses[ParentIndex(addresses, index)].Filter;
}

void StoreOwnFilter(std::vector<CStartAddress>& addresses, std::size_t index,
                    const CUrlFilter& filter) {
    if (index >= addresses.size()) {
        return;
    }
    addresses[index].Filter = filter;
    if (addresses[index].Child != 0) {
        addresses[index].Inherit = 0;
    }
}

void ApplyFilterChoices(std::vector<CStartAddress>& addresses, const std::vector<std::size_t>& rows,
                        const CUrlFilter& choices) {
    for (const std::size_t row : rows) {
        if (row < addresses.size()) {
            CUrlFilter& filter = addresses[row].Filter;
            filter.HostFilter = choices.HostFilter;
            filter.PathFilter = choices.PathFilter;
            filter.FilterSameLevel = choices.FilterSameLevel;
        }
    }
}

void SetAddressesEnabled(std::vector<CStartAddress>& addresses,
                         const std::vector<std::size_t>& rows, bool enable) {
    for (const std::size_t row : rows) {
        if (row < addresses.size()) {
            addresses[row].Enable = enable || row == 0;
        }
    }
}

void DeleteAddresses(std::vector<CStartAddress>& addresses, std::vector<std::size_t> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // The filter each address is judged by before anything goes, for a child that becomes first.
    std::vector<CUrlFilter> judgedBy;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        const CStartAddress& address = addresses[i];
        judgedBy.push_back(address.Child != 0 && address.Inherit == 1
                               ? addresses[ParentIndex(addresses, i)].Filter
                               : address.Filter);
    }
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        if (*row < addresses.size()) {
            addresses.erase(addresses.begin() + static_cast<std::ptrdiff_t>(*row));
            judgedBy.erase(judgedBy.begin() + static_cast<std::ptrdiff_t>(*row));
        }
    }
    if (!addresses.empty() && addresses.front().Child != 0) {
        addresses.front().Filter = judgedBy.front();
    }
    NormaliseAddressList(addresses);
}

void NormaliseAddressList(std::vector<CStartAddress>& addresses) {
    if (addresses.empty()) {
        return;
    }
    CStartAddress& first = addresses.front();
    first.Enable = true;
    if (first.Child != 0) {
        first.Child = 0;
        first.Inherit = 1;
    }
}

bool FollowsHttp(int protocolFilter) {
    return (protocolFilter & kProtocolNoHttp) == 0;
}

bool FollowsFtp(int protocolFilter) {
    return (protocolFilter & kProtocolNoFtp) == 0;
}

int ProtocolFilterFor(bool http, bool ftp, int old) {
    int bits = old & ~(kProtocolNoHttp | kProtocolNoFtp);
    if (!http) {
        bits |= kProtocolNoHttp;
    }
    if (!ftp) {
        bits |= kProtocolNoFtp;
    }
    return bits;
}

} // namespace torvex
