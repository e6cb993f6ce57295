#include "project/PasswordScramble.h"

#include <set>
#include <string>

#include <gtest/gtest.h>

namespace torvex {
namespace {

TEST(PasswordScramble, AlphabetHasSixtyFourDistinctPlainSymbols) {
    const std::set<char> symbols(kScrambleAlphabet.begin(), kScrambleAlphabet.end());
    EXPECT_EQ(symbols.size(), 64u);
    for (char c : kScrambleAlphabet) {
        EXPECT_TRUE((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '_')
            << c;
    }
}

TEST(PasswordScramble, LengthFollowsTheBlockCount) {
    const struct {
        std::size_t plain;
        std::size_t scrambled;
    } cases[] = {{1, 25}, {9, 25}, {10, 49}, {19, 49}, {20, 73}, {59, 145}, {60, 169}, {64, 169},
                 {100, 169}};   // longer passwords are cut to 64
    for (const auto& c : cases) {
        SCOPED_TRACE(c.plain);
        EXPECT_EQ(ScramblePassword(std::string(c.plain, 'p')).size(), c.scrambled);
    }
}

TEST(PasswordScramble, EveryLengthAndLeadingSymbolRoundTrips) {
    for (std::size_t n = 1; n <= kMaxPlainPassword; ++n) {
        std::string plain;
        for (std::size_t i = 0; i < n; ++i) {
            plain.push_back(static_cast<char>('!' + (i * 7 + n) % 90));
        }
        for (int symbol = 0; symbol < 64; ++symbol) {
            const std::string scrambled = ScramblePassword(plain, symbol);
            EXPECT_EQ(scrambled[0], kScrambleAlphabet[static_cast<std::size_t>(symbol)]);
            const auto back = UnscramblePassword(scrambled);
            ASSERT_TRUE(back) << n << " " << symbol;
            EXPECT_EQ(back->text, plain);
            EXPECT_TRUE(HasScrambleMarker(*back));
        }
    }
}

TEST(PasswordScramble, EveryByteValueSurvives) {
    std::string all;
    for (int b = 1; b <= 255; ++b) {
        all.push_back(static_cast<char>(b));
    }
    for (std::size_t start = 0; start < all.size(); start += 13) {
        const std::string plain = all.substr(start, kMaxPlainPassword);
        for (int symbol : {0, 17, 40, 63}) {
            const auto back = UnscramblePassword(ScramblePassword(plain, symbol));
            ASSERT_TRUE(back);
            EXPECT_EQ(back->text, plain) << start;
        }
    }
}

TEST(PasswordScramble, RefusesWhatIsNotScrambledText) {
    const std::string good = ScramblePassword("secret", 5);
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"empty", ""},
        {"plain password", "secret"},
        {"shorter than 25", good.substr(0, 24)},
        {"length between blocks", good + "abc"},
        {"symbol outside the alphabet", "*" + good.substr(1)},
        {"too many blocks", std::string(1 + 24 * 8, 'F')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(UnscramblePassword(c.text));
    }
    // Any 25 alphabet symbols decode to something or nothing, but never carry the marker by
    // chance here.
    const auto junk = UnscramblePassword(std::string(25, 'Q'));
    EXPECT_TRUE(!junk || !HasScrambleMarker(*junk));
}

TEST(StoredPassword, PlainTextIsTakenAndScrambledAtTheNextSave) {
    std::string plain;
    std::string scrambled = "old";
    LoadStoredPassword("hunter2", plain, scrambled);
    EXPECT_EQ(plain, "hunter2");
    EXPECT_EQ(scrambled, "");

    BringPasswordUpToDate(plain, scrambled);
    EXPECT_EQ(scrambled.size(), 25u);
    const std::string first = scrambled;
    BringPasswordUpToDate(plain, scrambled);
    EXPECT_EQ(scrambled, first) << "an unchanged password keeps its scrambled text";

    std::string reloaded;
    std::string reloadedScrambled;
    LoadStoredPassword(first, reloaded, reloadedScrambled);
    EXPECT_EQ(reloaded, "hunter2");
    EXPECT_EQ(reloadedScrambled, first);

    BringPasswordUpToDate("changed", scrambled);
    const auto back = UnscramblePassword(scrambled);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->text, "changed");

    BringPasswordUpToDate("", scrambled);
    EXPECT_EQ(scrambled, "");
}

TEST(StoredPassword, LongPlainTextIsCutTo64) {
    std::string plain;
    std::string scrambled;
    LoadStoredPassword(std::string(100, 'x'), plain, scrambled);
    EXPECT_EQ(plain, std::string(64, 'x'));
}

} // namespace
} // namespace torvex
