#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

// The fields of the property pages that take typed values: the numbers with their ranges and
// the texts with their capacities, and how a typed value is judged. Pure functions.

namespace torvex {

// The values a number field lets the user set.
struct CNumberRange {
    int low = 0;
    int high = 0;
};

constexpr CNumberRange kLevelRange{0, 99};
constexpr CNumberRange kThreadRange{1, 50};
constexpr CNumberRange kTimeOutRange{10, 1200};
constexpr CNumberRange kRetryRange{0, 99};
// A stored 1 is valid, but the dialog sets no less than 2.
constexpr CNumberRange kFreeSpaceRange{2, 999};
constexpr CNumberRange kMaxMinuteRange{0, 9999};
constexpr CNumberRange kMaxFileRange{0, 9999};
constexpr CNumberRange kPortRange{1, 65535};

// The choices of "User agent", in the order of UserAgentMode.
constexpr std::array<std::string_view, 5> kUserAgentChoices = {
    "Anonymous", "Torvex 0.9", "Microsoft Internet Explorer 5.0", "Netscape Communicator 4.7",
    "User Defined"};
constexpr int kUserDefinedAgent = 4;

// "Please enter an integer between <low> and <high>."
std::string NumberRangeText(CNumberRange range);

// Where a spin's arrows take `value`: `steps` up (or down when negative), never beyond the
// range (a value loaded from outside it comes into it with the first step).
int StepNumber(int value, int steps, CNumberRange range);

// Reads a typed number into `value`. Empty when it is a decimal integer within `range`, or the
// unchanged `stored` value (a value loaded from a file may lie outside what the dialog sets);
// else the range text.
std::string CheckNumberText(std::string_view text, CNumberRange range, int stored, int& value);

// A typed text for a field of `capacity` bytes: empty when it fits and holds no control
// character, else the refusal naming the field by its `caption`.
std::string CheckFieldText(std::string_view caption, std::string_view text, std::size_t capacity);

// `bits` with `bit` set or cleared.
int WithBit(int bits, int bit, bool on);

} // namespace torvex
