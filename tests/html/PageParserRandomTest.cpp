#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "RecordingLinkSink.h"
#include "base/AsciiCase.h"
#include "html/CTagTable.h"
#include "html/CharacterReferences.h"
#include "html/LinkWalker.h"
#include "html/PageParser.h"

namespace torvex {
namespace {

constexpr char kMarker = '\x01';   // never produced by the mutations below

const char* const kSeedPages[] = {
    "<!DOCTYPE html>\r\n<html><head><base href=\"http://h/d/\">"
    "<meta http-equiv=\"refresh\" content=\"5; url='next.html'\">"
    "<link rel=stylesheet href=/s.css><script src=\"m.js\"></script></head>\n"
    "<body background=bg.gif><a href=\"a.html#x\" onclick=\"go('b.html')\">A</a>"
    "<img src='i.gif' onmouseover=\"swap(\\'j.gif\\')\"><area href=\"javascript:open('c.html')\">"
    "<table><tr onclick=\"location='r.html'\"><td background=\"t.gif\">x</td></tr></table>"
    "<select><option value=\"o.html\">o</option></select><!-- <a href=\"old.html\"> -->"
    "</body></html>",
    "<script>document.write(\"<a href=\\\"w.html\\\">w</a>\");"
    "document.write('<IMG SRC=\\'v.gif\\'>');</script>"
    "<FRAME\r\nSRC=\"f.html\"><iframe src=//cdn/x><embed src=e.swf><applet code=C.class "
    "archive=\"c.jar\"><input type=image src=in.gif><ilayer src=l.html><image src=im.gif>",
    "<a href=\"mailto:x@y\">m</a><a href=#top>t</a><a href=\"http://o:8080/p?q=1&amp;r=2\">p</a>"
    "<meta http-equiv=Refresh content=0;URL=http://o/><base href=sub/><a href=../up.html>u</a>",
};

const char* const kTokens[] = {
    "<a ", "<img ", "<meta ", "<base ", "<script ", "<option ", "<A\n", "<tr\r", "<td ",
    "href=", "src=", "onclick=", "onmouseover=", "content=", "http-equiv=refresh ", "value=",
    "'", "\"", "\\\"", "\\'", ">", "<", "\t", "\r\n", "#", "javascript:", "JavaScript:", "=",
    " ", "../", "//", "http://", "mailto:", "~", "?", "&amp;", ";url=", "<source ", "<video ",
    "<link ", "<div ", "srcset=", "poster=", "style=", "rel=next ", "<style>", "</style>",
    "url(", "@import ", " 2x, ", ",", "&#x2f;", "&#", "&lt", "&quot;", "data:", "\0",
};

class PageMutator {
public:
    explicit PageMutator(unsigned seed) : m_rng(seed) {}

    std::string Next() {
        std::string page = kSeedPages[Pick(std::size(kSeedPages))];
        const std::size_t steps = 1 + Pick(12);
        for (std::size_t i = 0; i < steps; ++i) {
            Mutate(page);
        }
        return page;
    }

private:
    std::size_t Pick(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(m_rng);
    }

    void Mutate(std::string& page) {
        const std::size_t at = Pick(page.size() + 1);
        switch (Pick(6)) {
        case 0: {
            const std::size_t token = Pick(std::size(kTokens));
            // The last token is a NUL byte, which strlen would not count.
            const bool nul = token + 1 == std::size(kTokens);
            page.insert(at, kTokens[token], nul ? 1 : std::strlen(kTokens[token]));
            break;
        }
        case 1: {
            char c = static_cast<char>(Pick(256));
            page.insert(at, 1, c == kMarker ? ' ' : c);
            break;
        }
        case 2:
            page.erase(at, Pick(40));
            break;
        case 3:
            page.insert(at, page.substr(Pick(page.size() + 1), Pick(200)));
            break;
        case 4:
            page.insert(at, 1000 + Pick(60), "xyz\"'= "[Pick(7)]);   // around the tag limit
            break;
        default:
            page.resize(at);
            break;
        }
    }

    std::mt19937 m_rng;
};

// Replaces every link by the marker and remembers each link as it was read.
class MarkingVisitor : public ILinkVisitor {
public:
    bool StopRequested() override { return false; }
    bool VisitLink(int, std::string_view linkText, std::string& replacement) override {
        texts.emplace_back(linkText);
        replacement.assign(1, kMarker);
        return true;
    }
    std::vector<std::string> texts;
};

// The length of the text at the start of `page` that a browser reads as `link` (tab, CR and LF
// as blanks, character references decoded) and after which `next` follows; 0 when none is.
std::size_t WrittenLength(std::string_view page, std::string_view link, std::string_view next) {
    std::string decoded;
    for (std::size_t length = link.size(); length <= page.size(); ++length) {
        std::string written(page.substr(0, length));
        for (char& c : written) {
            if (c == '\t' || c == '\r' || c == '\n') {
                c = ' ';
            }
        }
        DecodeCharacterReferences(written, decoded);
        if (decoded == link && page.substr(length).starts_with(next)) {
            return length;
        }
    }
    return 0;
}

class KeepingVisitor : public ILinkVisitor {
public:
    bool StopRequested() override { return false; }
    bool VisitLink(int, std::string_view, std::string&) override {
        ++visits;
        return false;
    }
    std::size_t visits = 0;
};

// An engine that has no local names: nothing is rewritten.
class NoNamesSink : public test::RecordingLinkSink {
public:
    bool LocalNamesFor(const CUrl&, std::string&, std::string&) override { return false; }
};

// Without rewriting, the page may change only by a "!" in front of a base tag's href and the
// spelling of a "javascript:" prefix.
::testing::AssertionResult SameExceptBaseMarkAndPrefix(std::string_view in, std::string_view out) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < in.size() && j < out.size()) {
        if (in[i] == out[j]) {
            ++i;
            ++j;
        } else if (out[j] == '!' && StartsWithNoCase(out.substr(j + 1), "href")) {
            ++j;
        } else if (ToLowerAscii(in[i]) == out[j] &&
                   out.substr(0, j + 1).rfind("javascript:") + 11 > j) {
            ++i;
            ++j;
        } else {
            return ::testing::AssertionFailure() << "differs at input offset " << i;
        }
    }
    if (i != in.size() || j != out.size()) {
        return ::testing::AssertionFailure() << "lengths differ: " << in.size() << " in, "
                                             << out.size() << " out";
    }
    return ::testing::AssertionSuccess();
}

TEST(PageParserRandom, MutatedPagesChangeOnlyInsideLinks) {
    PageMutator mutator(20240607);
    CPageInfo page;
    page.url = CUrl("http://h/d/p.html");
    page.localDir = "h/d/";
    page.level = 2;
    CPageInfo script = page;
    script.url = CUrl("http://h/js/s.js");
    script.localDir = "h/js/";
    script.linkCode = static_cast<int>(TagCode::Script);
    script.referrer = "http://h/d/p.html";

    for (int round = 0; round < 400; ++round) {
        const std::string in = mutator.Next();
        SCOPED_TRACE(::testing::Message() << "round " << round);

        // The whole parser, with and without local names, as a page and as a script file.
        std::string out;
        std::string linkMap;
        NoNamesSink noNames;
        PageParser(page, in, out, linkMap, noNames);
        ASSERT_TRUE(SameExceptBaseMarkAndPrefix(in, out));
        EXPECT_TRUE(noNames.offers.empty());

        test::RecordingLinkSink naming;
        PageParser(round % 2 ? page : script, in, out, linkMap, naming);
        for (const auto& offer : naming.offers) {
            EXPECT_LE(offer.composed.size(), kMaxComposedUrl);
        }

        // The walker on its own: put a marker in place of every link; between the markers the
        // output must be the unrewritten page, and each marker must stand for exactly one link.
        std::string kept;
        KeepingVisitor keeping;
        WalkLinks(in, kept, keeping);
        std::string marked;
        MarkingVisitor marking;
        WalkLinks(in, marked, marking);
        ASSERT_EQ(marking.texts.size(), keeping.visits);
        std::vector<std::string_view> pieces;
        std::size_t pieceStart = 0;
        for (std::size_t k = 0; k <= marked.size(); ++k) {
            if (k == marked.size() || marked[k] == kMarker) {
                pieces.push_back(std::string_view(marked).substr(pieceStart, k - pieceStart));
                pieceStart = k + 1;
            }
        }
        ASSERT_EQ(pieces.size(), marking.texts.size() + 1);
        std::size_t at = 0;
        for (std::size_t link = 0; link < pieces.size(); ++link) {
            ASSERT_EQ(std::string_view(kept).substr(at, pieces[link].size()), pieces[link]);
            at += pieces[link].size();
            if (link < marking.texts.size()) {
                const std::string& text = marking.texts[link];
                const std::size_t written =
                    WrittenLength(std::string_view(kept).substr(at), text, pieces[link + 1]);
                ASSERT_TRUE(written > 0 || text.empty()) << "link " << link << ": " << text;
                at += written;
            }
        }
        EXPECT_EQ(at, kept.size());
    }
}

} // namespace
} // namespace torvex
