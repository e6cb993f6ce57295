#include "app/NewAddresses.h"

#include "app/AddressCheck.h"
#include "app/AddressList.h"
#include "engine/IPrompter.h"

namespace torvex {

std::string NewAddressCaption(std::string_view projectName, NewAddressKind kind) {
    return "New URL(" + std::string(projectName) + ") - " +
           (kind == NewAddressKind::Child ? "child" : "stand-alone");
}

std::string NewAddressInitialText(bool clipMonitor, std::string_view clipboardText) {
    if (clipMonitor) {
        if (const auto copied = AddressFromText(clipboardText)) {
            return copied->address;
        }
    }
    return std::string(kEmptyAddressText);
}

CStartAddress NewAddressTemplate(const CProjectSettings& defaults, const CProjectSettings& project,
                                 NewAddressKind kind) {
    CStartAddress address = defaults.NewAddress();
    if (kind == NewAddressKind::StandAlone) {
        address.Inherit = 0;
    } else {
        address.Child = 1;
        if (!project.Addresses.empty()) {
            address.DateFormat = project.Addresses.front().DateFormat;
        }
    }
    return address;
}

bool AcceptNewAddress(const CStartAddress& address, const CProjectSettings& project,
                      const std::vector<CStartAddress>& collected, IPrompter& prompter) {
    const std::string refusal = CheckStartAddress(address.StartURL, address.DateFormat);
    if (!refusal.empty()) {
        prompter.Information(refusal);
        return false;
    }
    if (AddressListed(project.Addresses, address.StartURL) ||
        AddressListed(collected, address.StartURL)) {
        return prompter.AskYesNo(kUrlExistsQuestion, true);
    }
    return true;
}

CNewUrlOptions NewUrlOptionsFor(const CProjectSettings& project) {
    CNewUrlOptions options;
    options.readLocal = project.UpdateMode != 2;
    options.noBackup = project.BackupLast == 0;
    return options;
}

void InsertNewAddresses(CProjectSettings& project, const std::vector<CStartAddress>& collected,
                        NewAddressKind kind, const CNewUrlOptions& options) {
    project.BackupLast = options.noBackup ? 0 : 1;
    if (!options.readLocal) {
        project.UpdateMode = 2;
    } else if (project.UpdateMode == 2) {
        project.UpdateMode = 1;
    }
    std::vector<CStartAddress>& list = project.Addresses;
    if (options.disableOld) {
        const std::size_t from = kind == NewAddressKind::StandAlone ? 0 : 1;
        for (std::size_t i = from; i < list.size(); ++i) {
            list[i].Enable = false;
        }
    }
    std::vector<CStartAddress> block = collected;
    std::size_t at = 0;
    for (CStartAddress& address : block) {
        address.Child = kind == NewAddressKind::Child ? 1 : 0;
    }
    if (kind == NewAddressKind::Child && !list.empty()) {
        at = 1;
        while (at < list.size() && list[at].Child != 0) {
            ++at;
        }
    }
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), block.begin(), block.end());
    NormaliseAddressList(list);
}

} // namespace torvex
