#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Texts keep the capacities the design gives them (512 for a URL text, 128 for a host, ...).
// They are held in std::string; every place where outside text enters a bounded field cuts it
// here, so there is exactly one rule for what "cut to N" means.

namespace torvex {

// Assigns at most `capacity` bytes of `text` to `field`; returns true when nothing was cut.
bool AssignCut(std::string& field, std::string_view text, std::size_t capacity);

// Cuts `field` to at most `capacity` bytes; returns true when nothing was cut.
bool CutTo(std::string& field, std::size_t capacity);

// The text up to its first NUL byte: texts from files and the network are C strings to the
// rest of the system, so an embedded NUL ends them.
std::string_view UpToNul(std::string_view text);

// True when `text` holds a control character (a byte below 32, or 127): such a text cannot
// stand on one line of a settings file, so the dialogs refuse it where a user types it.
bool HasControlCharacter(std::string_view text);

} // namespace torvex
