#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "project/CProjectSettings.h"

namespace torvex {

class IPrompter;

// What the New Address commands decide: the dialog's caption and starting address, whether an
// address may join the collected ones, the "New URL Option" dialog's boxes and what they do, and
// where the collected addresses go in the project's list. Front end's thread.

enum class NewAddressKind : int {
    StandAlone = 0,
    Child = 1,
};

// "New URL(<project>) - stand-alone" or "... - child".
std::string NewAddressCaption(std::string_view projectName, NewAddressKind kind);

// The address field's first text: with the clipboard monitor on, a valid address on the
// clipboard; else "http://".
std::string NewAddressInitialText(bool clipMonitor, std::string_view clipboardText);

// The settings a new address starts with: the defaults' level and URL filter; a stand-alone
// address does not inherit, a child takes the date format of the project's first address.
CStartAddress NewAddressTemplate(const CProjectSettings& defaults, const CProjectSettings& project,
                                 NewAddressKind kind);

// "Add": the address is checked like any start address (the refusal is told through
// `prompter`); one equal, ignoring case, to an address of the project or to one collected
// already is added only when the user says so. True when `address` may join `collected`.
bool AcceptNewAddress(const CStartAddress& address, const CProjectSettings& project,
                      const std::vector<CStartAddress>& collected, IPrompter& prompter);

// The boxes of the "New URL Option" dialog.
struct CNewUrlOptions {
    bool disableOld = false; // "Download new URL only(disable old URLs)"
    bool readLocal = true;   // "Read downloaded files from local"
    bool noBackup = false;   // "Save files in the latest download record(don't backup)"
};
// What they show first: "disable old" off, "read local" on unless the project downloads first
// (UpdateMode 2), "don't backup" on when the project does not back up.
CNewUrlOptions NewUrlOptionsFor(const CProjectSettings& project);

// OK in "New URL Option": BackupLast and UpdateMode follow the boxes, old addresses are disabled
// when asked (every one from the second on; for stand-alone addresses the first too), and the
// collected addresses are inserted in their order as one block: stand-alone addresses at the
// front, child addresses after the first address and the children that directly follow it.
void InsertNewAddresses(CProjectSettings& project, const std::vector<CStartAddress>& collected,
                        NewAddressKind kind, const CNewUrlOptions& options);

} // namespace torvex
