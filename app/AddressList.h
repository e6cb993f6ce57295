#pragma once

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "project/CProjectSettings.h"

// What the Address List, the Start Address Option and the Protocol Filter dialogs do to a
// project's start addresses: the rows' texts, "Apply DATE", the inherited and revised URL
// filters, several rows edited at once, enabling and deleting. Pure functions on plain values;
// the dialogs only show the results.

namespace torvex {

// A child's row is indented by this much.
constexpr std::string_view kChildIndent = "    ";
constexpr std::string_view kDateMacro = "$DATE";

// The text of an address's row: the description followed by the address in brackets, or the
// address alone, indented for a child.
std::string AddressRowText(const CStartAddress& address);

// "Apply DATE": the text with the selection (`start` and `length` in bytes, clamped to the text)
// replaced by "$DATE", and where the cursor then stands. Nothing when the result would exceed
// the address's 512 characters.
struct CAppliedDate {
    std::string text;
    std::size_t cursor = 0;
};
std::optional<CAppliedDate> ApplyDate(std::string_view text, std::size_t start, std::size_t length);

// The "Sample:" of a date format for the date `when`, and the start address as a run on that
// date would request it.
std::string DateSample(std::string_view dateFormat, std::time_t when);
std::string RealStartAddress(std::string_view address, std::string_view dateFormat,
                             std::time_t when);

// The index of the stand-alone address whose filter a child at `index` inherits: the nearest
// stand-alone address before it (the first address when there is none). A stand-alone address
// is its own parent.
std::size_t ParentIndex(const std::vector<CStartAddress>& addresses, std::size_t index);

// Which URL Filter commands a row offers: "&Inherit" (checked when the child inherits) only for a
// child; "Inherit and &Revise" only for a child that does not inherit; "&Configure" for any
// address that does not inherit.
struct CFilterCommands {
    bool inheritEnabled = false;
    bool inheritChecked = false;
    bool reviseEnabled = false;
    bool configureEnabled = false;
};
CFilterCommands FilterCommandsFor(const std::vector<CStartAddress>& addresses, std::size_t index);

// "&Inherit": a child's Inherit is toggled. Nothing for a stand-alone address.
void ToggleInherit(std::vector<CStartAddress>& addresses, std::size_t index);
// "Inherit and &Revise": the filter to edit, a copy of the parent's. Store it with
// StoreOwnFilter.
CUrlFilter RevisedFilter(const std::vector<CStartAddress>& addresses, std::size_t index);
// The address's own filter becomes `filter` and is used from now on (Inherit 0 for a child).
void StoreOwnFilter(std::vector<CStartAddress>& addresses, std::size_t index,
                    const CUrlFilter& filter);

// Several rows: only the host and path filter choices and the same-level flag of `choices` are
// written into every address of `rows`; their host and path lists, protocols and Inherit stay.
void ApplyFilterChoices(std::vector<CStartAddress>& addresses, const std::vector<std::size_t>& rows,
                        const CUrlFilter& choices);

// Enables or disables the addresses of `rows`; the first address of a project is always run, so
// it stays enabled.
void SetAddressesEnabled(std::vector<CStartAddress>& addresses,
                         const std::vector<std::size_t>& rows, bool enable);
// Deletes the addresses of `rows`. A child that loses its stand-alone address follows the one
// before; when the new first address is a child it becomes stand-alone and keeps the filter it
// was judged by.
void DeleteAddresses(std::vector<CStartAddress>& addresses, std::vector<std::size_t> rows);

// The first address of a list is stand-alone (keeping the filter it was judged by) and enabled.
void NormaliseAddressList(std::vector<CStartAddress>& addresses);

// "Download via": the check boxes show the bits of ProtocolFilter inverted (a set bit means the
// protocol is not followed).
bool FollowsHttp(int protocolFilter);
bool FollowsFtp(int protocolFilter);
// The bits for the two boxes; bits other than HTTP's and FTP's are kept from `old`.
int ProtocolFilterFor(bool http, bool ftp, int old);

} // namespace torvex
