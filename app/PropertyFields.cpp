#include "app/PropertyFields.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "base/BoundedText.h"

namespace torvex {

std::string NumberRangeText(CNumberRange range) {
    return "Please enter an integer between " + std::to_string(range.low) + " and " +
           std::to_string(range.high) + ".";
}

int StepNumber(int value, int steps, CNumberRange range) {
    const std::int64_t moved = static_cast<std::int64_t>(value) + steps;
    return static_cast<int>(std::clamp<std::int64_t>(moved, range.low, range.high));
}

std::string CheckNumberText(std::string_view text, CNumberRange range, int stored, int& value) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    int read = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, read);
    if (text.empty() || error != std::errc() || stop != end) {
        return NumberRangeText(range);
    }
    if ((read < range.low || read > range.high) && read != stored) {
        return NumberRangeText(range);
    }
    value = read;
    return {};
}

std::string CheckFieldText(std::string_view caption, std::string_view text, std::size_t capacity) {
    if (HasControlCharacter(text)) {
        return "Sorry, \"" + std::string(caption) + "\" must not contain control characters.";
    }
    if (text.size() > capacity) {
        return "Sorry, \"" + std::string(caption) + "\" should be no longer than " +
               std::to_string(capacity) + " characters.";
    }
    return {};
}

int WithBit(int bits, int bit, bool on) {
    return on ? (bits | bit) : (bits & ~bit);
}

} // namespace torvex
