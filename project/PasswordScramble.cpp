#include "project/PasswordScramble.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include "base/BoundedText.h"

namespace torvex {

namespace {

constexpr std::size_t kAlphabetSize = 64;
constexpr std::size_t kBlockText = 10;     // password bytes per block
constexpr std::size_t kBlockBytes = 18;    // 10 password bytes and 8 marker bytes
constexpr std::size_t kBlockSymbols = 24;  // 18 bytes of 8 bits as six-bit symbols
constexpr std::size_t kMarkerBytes = 8;

static_assert(kScrambleAlphabet.size() == kAlphabetSize);
static_assert(kScrambleMarker.size() == 5);
static_assert(1 + kBlockSymbols * (kMaxPlainPassword / kBlockText + 1) <= kMaxScrambledPassword);

constexpr int InputBitFor(int outputBit) { return (7 * outputBit + 5) % 24; }

int SymbolPosition(char symbol) {
    const auto pos = kScrambleAlphabet.find(symbol);
    return pos == std::string_view::npos ? -1 : static_cast<int>(pos);
}

std::array<unsigned char, kMarkerBytes> ExpectedMarker() {
    std::array<unsigned char, kMarkerBytes> marker{};
    for (std::size_t i = 0; i < kScrambleMarker.size(); ++i) {
        marker[i] = static_cast<unsigned char>(kScrambleMarker[i]);
    }
    return marker;
}

// Password bytes in the order they travel inside one block of 18 bytes.
std::array<unsigned char, kBlockBytes> InterleaveBlock(const unsigned char* text) {
    static const auto marker = ExpectedMarker();
    std::array<unsigned char, kBlockBytes> block{};
    for (std::size_t i = 0; i < kMarkerBytes; ++i) {
        block[2 * i] = text[i];
        block[2 * i + 1] = marker[i];
    }
    block[16] = text[8];
    block[17] = text[9];
    return block;
}

void EncodeGroup(const unsigned char* bytes, int* positions) {
    const std::uint32_t in = (std::uint32_t{bytes[0]} << 16) | (std::uint32_t{bytes[1]} << 8) |
                             std::uint32_t{bytes[2]};
    std::uint32_t out = 0;
    for (int bit = 0; bit < 24; ++bit) {
        out |= ((in >> InputBitFor(bit)) & 1u) << bit;
    }
    for (int k = 0; k < 4; ++k) {
        positions[k] = static_cast<int>((out >> (6 * k)) & 0x3Fu);
    }
}

void DecodeGroup(const int* positions, unsigned char* bytes) {
    std::uint32_t out = 0;
    for (int k = 0; k < 4; ++k) {
        out |= static_cast<std::uint32_t>(positions[k]) << (6 * k);
    }
    std::uint32_t in = 0;
    for (int bit = 0; bit < 24; ++bit) {
        in |= ((out >> bit) & 1u) << InputBitFor(bit);
    }
    bytes[0] = static_cast<unsigned char>(in >> 16);
    bytes[1] = static_cast<unsigned char>(in >> 8);
    bytes[2] = static_cast<unsigned char>(in);
}

int RandomSymbolIndex() {
    thread_local std::minstd_rand generator(static_cast<std::uint_fast32_t>(
        std::chrono::system_clock::now().time_since_epoch().count() ^
        static_cast<long long>(std::hash<std::thread::id>{}(std::this_thread::get_id()))));
    return static_cast<int>(generator() % kAlphabetSize);
}

int Modulo64(int value) { return ((value % 64) + 64) % 64; }

} // namespace

std::string ScramblePassword(std::string_view plain) {
    return ScramblePassword(plain, RandomSymbolIndex());
}

std::string ScramblePassword(std::string_view plain, int symbolIndex) {
    const std::string_view text = UpToNul(plain).substr(0, kMaxPlainPassword);
    const std::size_t n = text.size();
    const int first = Modulo64(symbolIndex);
    const unsigned char shift =
        static_cast<unsigned char>(n + static_cast<unsigned char>(kScrambleAlphabet[first]));

    const std::size_t blocks = n / kBlockText + 1;
    // Zero padding shifted like the text: the reader finds the length in the last byte.
    std::string shifted(blocks * kBlockText, '\0');
    for (std::size_t i = 0; i < shifted.size(); ++i) {
        const unsigned char byte = i < n ? static_cast<unsigned char>(text[i]) : 0;
        shifted[i] = static_cast<char>(static_cast<unsigned char>(byte + shift));
    }

    std::vector<int> positions;
    positions.reserve(1 + blocks * kBlockSymbols);
    positions.push_back(first);
    for (std::size_t b = 0; b < blocks; ++b) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(shifted.data());
        const auto block = InterleaveBlock(bytes + b * kBlockText);
        for (std::size_t g = 0; g < kBlockBytes; g += 3) {
            int group[4];
            EncodeGroup(block.data() + g, group);
            positions.insert(positions.end(), group, group + 4);
        }
    }

    std::string out(positions.size(), '\0');
    out[0] = kScrambleAlphabet[static_cast<std::size_t>(first)];
    int previous = first;
    for (std::size_t i = 1; i < positions.size(); ++i) {
        previous = Modulo64(3 * previous + positions[i] + kScrambleChain);
        out[i] = kScrambleAlphabet[static_cast<std::size_t>(previous)];
    }
    return out;
}

std::optional<UnscrambledPassword> UnscramblePassword(std::string_view scrambled) {
    if (scrambled.size() < kMinScrambledPassword || (scrambled.size() - 1) % kBlockSymbols != 0) {
        return std::nullopt;
    }
    const std::size_t blocks = (scrambled.size() - 1) / kBlockSymbols;
    // More blocks than the longest password needs is not our output either.
    if (blocks > kMaxPlainPassword / kBlockText + 1) {
        return std::nullopt;
    }

    std::vector<int> stored(scrambled.size());
    for (std::size_t i = 0; i < scrambled.size(); ++i) {
        stored[i] = SymbolPosition(scrambled[i]);
        if (stored[i] < 0) {
            return std::nullopt;
        }
    }

    std::string shifted;
    std::string marker;
    for (std::size_t b = 0; b < blocks; ++b) {
        std::array<unsigned char, kBlockBytes> block{};
        for (std::size_t g = 0; g < kBlockBytes / 3; ++g) {
            int group[4];
            for (std::size_t k = 0; k < 4; ++k) {
                const std::size_t i = 1 + b * kBlockSymbols + g * 4 + k;
                group[k] = Modulo64(stored[i] - 3 * stored[i - 1] - kScrambleChain);
            }
            DecodeGroup(group, block.data() + g * 3);
        }
        marker.clear();
        for (std::size_t i = 0; i < kMarkerBytes; ++i) {
            shifted.push_back(static_cast<char>(block[2 * i]));
            marker.push_back(static_cast<char>(block[2 * i + 1]));
        }
        shifted.push_back(static_cast<char>(block[16]));
        shifted.push_back(static_cast<char>(block[17]));
    }

    // The last byte is always shifted padding: it gives the length.
    const unsigned char firstCode = static_cast<unsigned char>(scrambled[0]);
    const unsigned char pad = static_cast<unsigned char>(shifted.back());
    const std::size_t n = static_cast<unsigned char>(pad - firstCode);
    if (n < (blocks - 1) * kBlockText || n >= blocks * kBlockText) {
        return std::nullopt;
    }
    UnscrambledPassword result;
    for (std::size_t i = 0; i < shifted.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(shifted[i]);
        if ((i < n) == (byte == pad)) {
            return std::nullopt;   // a zero byte inside the text, or padding that is not padding
        }
        if (i < n) {
            result.text.push_back(static_cast<char>(static_cast<unsigned char>(byte - pad)));
        }
    }
    result.marker = std::move(marker);
    return result;
}

bool HasScrambleMarker(const UnscrambledPassword& result) {
    const auto expected = ExpectedMarker();
    return result.marker.size() == kMarkerBytes &&
           std::equal(expected.begin(), expected.end(), result.marker.begin(),
                      [](unsigned char a, char b) { return a == static_cast<unsigned char>(b); });
}

void LoadStoredPassword(std::string_view stored, std::string& plain, std::string& scrambled) {
    stored = UpToNul(stored);
    if (const auto result = UnscramblePassword(stored); result && HasScrambleMarker(*result)) {
        plain = result->text;
        AssignCut(scrambled, stored, kMaxScrambledPassword);
        return;
    }
    AssignCut(plain, stored, kMaxPlainPassword);
    scrambled.clear();
}

const std::string& BringPasswordUpToDate(std::string_view plain, std::string& scrambled) {
    const std::string_view text = UpToNul(plain).substr(0, kMaxPlainPassword);
    if (text.empty()) {
        scrambled.clear();
        return scrambled;
    }
    if (const auto result = UnscramblePassword(scrambled);
        result && HasScrambleMarker(*result) && result->text == text) {
        return scrambled;
    }
    scrambled = ScramblePassword(text);
    return scrambled;
}

} // namespace torvex
