#include "html/CharacterReferences.h"

#include <array>
#include <cstring>

#include "base/LeadingNumber.h"

namespace torvex {

namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr char32_t kBeyondUnicode = 0x110000;

struct NamedReference {
    std::string_view name;   // without its ";"
    char32_t codePoint;
    bool legacy;             // also read without its ";"
};

// Latin-1, U+00A0 to U+00FF in order: the legacy names that browsers read with or without ";".
constexpr std::array<std::string_view, 96> kLatin1Names = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",
    "uml",    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",
    "deg",    "plusmn", "sup2",   "sup3",   "acute",  "micro",  "para",   "middot",
    "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34", "iquest",
    "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil",
    "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",
    "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",   "times",
    "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",
    "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",
    "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide",
    "oslash", "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

// The other names read here: the legacy ASCII ones, the HTML 4 specials and the ASCII
// punctuation names, which is what can stand in an address.
constexpr NamedReference kOtherNames[] = {
    {"amp", 0x26, true},       {"AMP", 0x26, true},        {"lt", 0x3C, true},
    {"LT", 0x3C, true},        {"gt", 0x3E, true},         {"GT", 0x3E, true},
    {"quot", 0x22, true},      {"QUOT", 0x22, true},       {"COPY", 0xA9, true},
    {"REG", 0xAE, true},       {"apos", 0x27, false},      {"Tab", 0x09, false},
    {"NewLine", 0x0A, false},  {"excl", 0x21, false},      {"num", 0x23, false},
    {"dollar", 0x24, false},   {"percnt", 0x25, false},    {"lpar", 0x28, false},
    {"rpar", 0x29, false},     {"ast", 0x2A, false},       {"midast", 0x2A, false},
    {"plus", 0x2B, false},     {"comma", 0x2C, false},     {"period", 0x2E, false},
    {"sol", 0x2F, false},      {"colon", 0x3A, false},     {"semi", 0x3B, false},
    {"equals", 0x3D, false},   {"quest", 0x3F, false},     {"commat", 0x40, false},
    {"lsqb", 0x5B, false},     {"lbrack", 0x5B, false},    {"bsol", 0x5C, false},
    {"rsqb", 0x5D, false},     {"rbrack", 0x5D, false},    {"Hat", 0x5E, false},
    {"lowbar", 0x5F, false},   {"UnderBar", 0x5F, false},  {"grave", 0x60, false},
    {"lcub", 0x7B, false},     {"lbrace", 0x7B, false},    {"verbar", 0x7C, false},
    {"vert", 0x7C, false},     {"rcub", 0x7D, false},      {"rbrace", 0x7D, false},
    {"OElig", 0x152, false},   {"oelig", 0x153, false},    {"Scaron", 0x160, false},
    {"scaron", 0x161, false},  {"Yuml", 0x178, false},     {"fnof", 0x192, false},
    {"circ", 0x2C6, false},    {"tilde", 0x2DC, false},    {"ensp", 0x2002, false},
    {"emsp", 0x2003, false},   {"thinsp", 0x2009, false},  {"zwnj", 0x200C, false},
    {"zwj", 0x200D, false},    {"lrm", 0x200E, false},     {"rlm", 0x200F, false},
    {"ndash", 0x2013, false},  {"mdash", 0x2014, false},   {"lsquo", 0x2018, false},
    {"rsquo", 0x2019, false},  {"sbquo", 0x201A, false},   {"ldquo", 0x201C, false},
    {"rdquo", 0x201D, false},  {"bdquo", 0x201E, false},   {"dagger", 0x2020, false},
    {"Dagger", 0x2021, false}, {"bull", 0x2022, false},    {"hellip", 0x2026, false},
    {"permil", 0x2030, false}, {"prime", 0x2032, false},   {"Prime", 0x2033, false},
    {"lsaquo", 0x2039, false}, {"rsaquo", 0x203A, false},  {"oline", 0x203E, false},
    {"frasl", 0x2044, false},  {"euro", 0x20AC, false},    {"trade", 0x2122, false},
};

// What browsers read for the numeric references 0x80 to 0x9F (Windows-1252); 0 where the
// number stands for itself.
constexpr std::array<char16_t, 32> kWindows1252 = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool IsAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}


void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// A reference found at an "&": how many bytes it takes and what it stands for.
struct Reference {
    std::size_t length = 0;   // 0: the "&" is no reference
    char32_t codePoint = 0;
};

Reference ReadNumeric(std::string_view text, std::size_t amp) {
    std::size_t i = amp + 2;   // after "&#"
    const bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
    if (hex) {
        ++i;
    }
    const std::size_t digitsStart = i;
    char32_t value = 0;
    while (i < text.size()) {
        const char c = text[i];
        const int digit = hex ? HexDigitValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (digit < 0) {
            break;
        }
        // Past the last code point the number only needs to stay out of range.
        value = value >= kBeyondUnicode ? kBeyondUnicode
                                        : value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
        ++i;
    }
    if (i == digitsStart) {
        return {};
    }
    if (i < text.size() && text[i] == ';') {
        ++i;
    }
    if (value == 0 || value >= kBeyondUnicode || (value >= 0xD800 && value <= 0xDFFF)) {
        value = kReplacementCharacter;
    } else if (value >= 0x80 && value <= 0x9F && kWindows1252[value - 0x80] != 0) {
        value = kWindows1252[value - 0x80];
    }
    return {i - amp, value};
}

Reference ReadNamed(std::string_view text, std::size_t amp) {
    const std::string_view rest = text.substr(amp + 1);
    std::size_t best = 0;   // characters matched after the "&", ";" included
    bool bestHasSemicolon = false;
    char32_t bestCodePoint = 0;
    const auto consider = [&](std::string_view name, char32_t codePoint, bool legacy) {
        if (!rest.starts_with(name)) {
            return;
        }
        const bool semicolon = rest.size() > name.size() && rest[name.size()] == ';';
        const std::size_t length = name.size() + (semicolon ? 1 : 0);
        if ((semicolon || legacy) && length > best) {
            best = length;
            bestHasSemicolon = semicolon;
            bestCodePoint = codePoint;
        }
    };
    for (std::size_t i = 0; i < kLatin1Names.size(); ++i) {
        consider(kLatin1Names[i], static_cast<char32_t>(0xA0 + i), true);
    }
    for (const NamedReference& named : kOtherNames) {
        consider(named.name, named.codePoint, named.legacy);
    }
    if (best == 0) {
        return {};
    }
    // In an attribute, "&copy=3" or "&notit" is text: a name without ";" counts only when
    // neither "=" nor a letter or digit follows it.
    if (!bestHasSemicolon && best < rest.size() &&
        (rest[best] == '=' || IsAsciiAlnum(rest[best]))) {
        return {};
    }
    return {best + 1, bestCodePoint};
}

Reference ReadReference(std::string_view text, std::size_t amp) {
    if (amp + 1 >= text.size()) {
        return {};
    }
    if (text[amp + 1] == '#') {
        return ReadNumeric(text, amp);
    }
    if (IsAsciiAlnum(text[amp + 1])) {
        return ReadNamed(text, amp);
    }
    return {};
}

} // namespace

void DecodeCharacterReferences(std::string_view in, std::string& out,
                               std::vector<std::uint32_t>* rawStart) {
    out.clear();
    if (rawStart != nullptr) {
        rawStart->clear();
    }
    std::size_t i = 0;
    while (i < in.size()) {
        const void* hit = std::memchr(in.data() + i, '&', in.size() - i);
        const std::size_t amp =
            hit == nullptr ? in.size()
                           : static_cast<std::size_t>(static_cast<const char*>(hit) - in.data());
        out.append(in.substr(i, amp - i));
        if (rawStart != nullptr) {
            for (std::size_t k = i; k < amp; ++k) {
                rawStart->push_back(static_cast<std::uint32_t>(k));
            }
        }
        if (amp >= in.size()) {
            break;
        }
        const Reference reference = ReadReference(in, amp);
        const std::size_t before = out.size();
        if (reference.length == 0) {
            out.push_back('&');
            i = amp + 1;
        } else {
            AppendUtf8(out, reference.codePoint);
            i = amp + reference.length;
        }
        if (rawStart != nullptr) {
            rawStart->insert(rawStart->end(), out.size() - before, static_cast<std::uint32_t>(amp));
        }
    }
    if (rawStart != nullptr) {
        rawStart->push_back(static_cast<std::uint32_t>(in.size()));
    }
}

bool HasCharacterReference(std::string_view text) {
    for (std::size_t amp = text.find('&'); amp != std::string_view::npos;
         amp = text.find('&', amp + 1)) {
        if (ReadReference(text, amp).length != 0) {
            return true;
        }
    }
    return false;
}

} // namespace torvex
