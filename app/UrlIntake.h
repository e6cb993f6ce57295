#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "app/AddressCheck.h"

// Addresses that reach the program from outside its dialogs: the browser's hand-over file and
// the clipboard. Where one goes depends on IntakeState (app/CInstanceChannel.h) and on whether a
// New Address dialog is open; the front end carries out the step. Front end's thread.

namespace torvex {

// The hand-over file's values as far as they are read.
constexpr std::size_t kMaxHandOverInfo = 128;
// A name proposed by the hand-over file may be one longer than one taken from a host.
constexpr std::size_t kMaxHandOverName = 65;

// Where an address taken from outside goes.
enum class IntakeStep {
    NewProject,  // the new-project wizard opens with it
    NewAddress,  // it goes into the open New Address dialog
    KeepPending, // it waits for the next new-project wizard
};

// The step for a pending address: the wizard while IntakeState is 1 (nothing is open), else the
// open New Address dialog, else it waits.
IntakeStep DeliveryStep(int intakeState, bool newAddressOpen);

// Reads the hand-over file at `path` and deletes it. The address is its first `URL` line and
// the name its first `Info` line (up to 128 characters, cut to 65), else the address's host:
// a value with a line break in it writes further lines, and those never replace the first.
// Nothing when there is no usable address: the file is missing, unreadable, larger than any
// settings file, or its `URL` is empty, longer than 512 characters, holds control characters
// or does not parse. A file that is there is deleted in every case, so a bad one never comes
// back with the next hand-over.
std::optional<CPendingAddress> TakeHandOverFile(const std::string& path);

// The flags of the clipboard monitor. The monitor joins when the window is made with the option
// on or when the option is switched on, and the notification that comes with joining (the
// front end gives one at once) is not taken, so what was on the clipboard before stays there.
// The program's own "Copy URL" commands set the ignore flag before they copy, so their address
// does not start the wizard.
class CClipboardWatch {
public:
    void Join() {
        m_joined = true;
        m_first = true;
    }
    void Leave() { m_joined = false; }
    bool IsJoined() const { return m_joined; }
    void IgnoreNextChange() { m_ignore = true; }

    // The clipboard changed: the address to take, or nothing (while not joined, for the first
    // notification after joining, after IgnoreNextChange, while IntakeState is 0, and for text
    // that is not a valid address). `readText` is called only when the text counts; both flags
    // are cleared afterwards.
    std::optional<CPendingAddress> Changed(int intakeState,
                                           const std::function<std::string()>& readText);

private:
    bool m_joined = false;
    bool m_first = false;
    bool m_ignore = false;
};

} // namespace torvex
