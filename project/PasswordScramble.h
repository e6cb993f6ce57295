#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Stored passwords (project proxy and start-address passwords, the application's proxy password)
// are kept in settings files in a scrambled form, so that they are not readable at a glance. This
// is obfuscation, not encryption: anyone with this code can undo it.
//
// The scrambled form of a password of n bytes (n at most 64) is 1 + 24 * (n / 10 + 1) symbols of
// kScrambleAlphabet: 25 symbols for 1 to 9 bytes, 169 for 60 to 64.
//   1. A random symbol r is drawn. Every byte of the password, padded with zero bytes to a whole
//      number of 10-byte blocks (one whole block of padding when n is a multiple of 10), gets
//      n + code(r) added, modulo 256. Because a password never holds a zero byte, the padding is
//      the only place where the shifted zero shows, and the last byte of the last block is
//      always padding: the reader recovers n from it, so every byte value 1..255 survives.
//   2. Each block becomes 18 bytes: its first 8 bytes interleaved with the 8 bytes of the marker
//      (kScrambleMarker padded with zero bytes), then its bytes 9 and 10. Each 3-byte group of
//      those 18 bytes (a 24-bit number, first byte highest) becomes four six-bit values: bit i of
//      the output (value i / 6, bit i % 6) is bit (7 * i + 5) % 24 of the input.
//   3. The output is r followed by every block's 24 symbols. From the second symbol on, each
//      symbol at alphabet position p is replaced by the symbol at position
//      (3 * q + p + kScrambleChain) % 64, where q is the already replaced previous symbol's
//      position.
// The marker that comes back from unscrambling tells scrambled text from a password that was
// typed into a file in plain text.
//
// Free functions of no state except the random generator behind ScramblePassword (one per
// thread); any thread may call them.

namespace torvex {

constexpr std::size_t kMaxPlainPassword = 64;
constexpr std::size_t kMaxScrambledPassword = 192;
constexpr std::size_t kMinScrambledPassword = 25;

constexpr std::string_view kScrambleAlphabet =
    "FynbgLOePfkZH9rQ_vWYVsautI2JxdhA1BqKXCD-lzi4U0GwmNTocjp5MR6783SE";
constexpr std::string_view kScrambleMarker = "4#7!2";
constexpr int kScrambleChain = 37;

// Scrambles `plain`, cut at its first NUL and to 64 bytes. The leading symbol is drawn at random.
std::string ScramblePassword(std::string_view plain);
// The same with the leading symbol given by its alphabet position (0..63, taken modulo 64), so
// that a result can be reproduced.
std::string ScramblePassword(std::string_view plain, int symbolIndex);

struct UnscrambledPassword {
    std::string text;
    std::string marker;   // the 8 marker bytes of the last block
};

// Undoes ScramblePassword. Returns nothing for text that cannot be scrambled output: shorter than
// 25 symbols, a length other than 1 + 24 * k, a symbol outside the alphabet, or padding that does
// not fit. The caller compares the marker (HasScrambleMarker).
std::optional<UnscrambledPassword> UnscramblePassword(std::string_view scrambled);

// True when `result` carries the marker that ScramblePassword writes.
bool HasScrambleMarker(const UnscrambledPassword& result);

// A password value as read from a settings file: scrambled text gives its plain text and is kept
// as the scrambled copy; anything else is a password stored in plain text, taken as it stands
// (cut to 64 bytes) with an empty scrambled copy, so that the next save scrambles it.
void LoadStoredPassword(std::string_view stored, std::string& plain, std::string& scrambled);

// Makes `scrambled` the text to write for `plain`: empty for an empty password, unchanged while
// it still unscrambles to `plain` (so an unchanged password is written byte for byte as before),
// else a fresh scramble. Returns `scrambled`.
const std::string& BringPasswordUpToDate(std::string_view plain, std::string& scrambled);

} // namespace torvex
