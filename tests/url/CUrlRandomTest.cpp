#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "url/CUrl.h"
#include "url/LocalNames.h"

namespace torvex {
namespace {

// Texts built from the pieces that the parser treats specially, plus random bytes, and
// mutations of realistic addresses.
class UrlTextSource {
public:
    explicit UrlTextSource(unsigned seed) : m_rng(seed) {}

    std::string Next() {
        return Pick(3) == 0 ? Mutate(kSeeds[Pick(std::size(kSeeds))]) : Assemble();
    }

private:
    static constexpr const char* kSeeds[] = {
        "http://www.example.com/a/b/c.html",
        "ftp://files.example.org:2121/pub/x.zip",
        "HTTP://H:8080/~user/page.cgi?x=1&amp;y=/a/b",
        "../../img/logo.gif",
        "page.cgi?u=http://h2/",
        "http://h//d///e?x=//y",
    };
    static constexpr const char* kPieces[] = {
        "http://", "ftp://", "https://", "://", "/", "//", "../", "./", "..", ".", "?", "=",
        "&amp;", "&AMP;", ":", "~", "\\", "%", "h", "host.example", "80", "65536", "0", "@",
        "#", "mailto:", "news:", "$DATE", "index.html", "a", "B", " ", "\t",
    };

    std::size_t Pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(m_rng); }

    std::string Assemble() {
        std::string text;
        const std::size_t parts = Pick(12);
        for (std::size_t i = 0; i < parts; ++i) {
            if (Pick(6) == 0) {
                text += static_cast<char>(Pick(256));
            } else {
                text += kPieces[Pick(std::size(kPieces))];
            }
        }
        if (Pick(20) == 0) {
            text += std::string(Pick(700), 'x');
        }
        return text;
    }

    std::string Mutate(std::string text) {
        const std::size_t edits = 1 + Pick(4);
        for (std::size_t i = 0; i < edits && !text.empty(); ++i) {
            const std::size_t at = Pick(text.size());
            switch (Pick(4)) {
            case 0: text.erase(at, 1 + Pick(4)); break;
            case 1: text.insert(at, kPieces[Pick(std::size(kPieces))]); break;
            case 2: text[at] = static_cast<char>(Pick(256)); break;
            default: text.resize(at); break;
            }
        }
        return text;
    }

    std::mt19937 m_rng;
};

TEST(CUrlRandomised, ParseComposeResolveAndLocalNamesHold) {
    UrlTextSource source(20261208);
    const CUrl bases[] = {CUrl("http://h/a/b/c.html"), CUrl("ftp://f:2121/p/"),
                          CUrl("http://h/~u"), CUrl("https://s/x?y=/z")};
    int valid = 0;
    for (int i = 0; i < 100000; ++i) {
        const std::string text = source.Next();
        const CUrl& base = bases[i % std::size(bases)];
        for (const CUrl* b : {static_cast<const CUrl*>(nullptr), &base}) {
            CUrl url(text, b);
            ASSERT_GE(url.Status(), 0);
            ASSERT_LE(url.Status(), 9);
            ASSERT_LE(url.Scheme().size(), kMaxScheme);
            ASSERT_LE(url.Host().size(), kMaxHost);
            ASSERT_LE(url.Path().size(), kMaxUrlPath);
            if (url.Status() != 0) {
                continue;
            }
            ++valid;
            const std::string composed = url.Compose();
            ASSERT_LE(composed.size(), kMaxComposedUrl);
            if (composed.size() > kMaxUrlText) {
                // A relative link can join into a composition longer than a URL text may be;
                // such an address cannot be read back, and the engine refuses it.
                continue;
            }
            CUrl again(composed);
            ASSERT_EQ(again.Status(), 0) << text << " -> " << composed;
            EXPECT_EQ(again.Scheme(), url.Scheme()) << composed;
            EXPECT_EQ(again.Host(), url.Host()) << composed;
            EXPECT_EQ(again.EffectivePort(), url.EffectivePort()) << composed;
            ASSERT_EQ(again.Path(), url.Path()) << text << " -> " << composed;

            std::string dir, file;
            if (LocalNames(url, true, 40, dir, file)) {
                ASSERT_LT(40 + dir.size() + file.size(), kMaxLocalPath);
                ASSERT_EQ(dir.find("/../"), std::string::npos) << dir;
                ASSERT_FALSE(dir.starts_with("../") || dir.starts_with("/")) << dir;
                ASSERT_NE(file, "..");
                ASSERT_EQ(file.find('/'), std::string::npos) << file;
            }
            std::string joined;
            ResolveRelative(joined, text, BaseDirectory(url.Path(), kMaxUrlPath));
            ASSERT_LE(joined.size(), kMaxUrlPath);
        }
    }
    EXPECT_GT(valid, 10000);
}

} // namespace
} // namespace torvex
