#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// JSON as the browser side speaks it: the messages between the extension and its
// native-messaging host, and the host manifests that the browsers read. Reading is strict
// (RFC 8259, UTF-8 only), because the text comes from another program. Free functions; any
// thread may call them.

namespace torvex {

struct JsonMember;

struct JsonValue {
    enum class Kind { Null, Boolean, Number, String, Array, Object };

    Kind kind = Kind::Null;
    bool boolean = false;
    std::string text;                // a string's UTF-8 text, or a number as written
    std::vector<JsonValue> items;    // an array's values
    std::vector<JsonMember> members; // an object's members in their order, names unique

    // The member `name` of an object, or null (also for values that are not objects).
    const JsonValue* Member(std::string_view name) const;
    bool IsString() const { return kind == Kind::String; }
};

struct JsonMember {
    std::string name;
    JsonValue value;
};

// Arrays and objects nest at most this deep; deeper texts are refused rather than followed.
constexpr std::size_t kMaxJsonDepth = 32;

// Parses one whole JSON text. Nothing on any fault: bad syntax, anything but white space after
// the value, bytes that are not UTF-8, "\u" escapes that leave a surrogate unpaired, a name
// given twice in one object, or nesting deeper than kMaxJsonDepth.
std::optional<JsonValue> ParseJson(std::string_view text);

// The text as a JSON string literal, quotes included. Bytes that are not UTF-8 become U+FFFD,
// so the result is always valid JSON.
std::string JsonQuoted(std::string_view text);

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool IsValidUtf8(std::string_view text);

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view text);

} // namespace torvex
