#include "capture/NativeHost.h"

#include <algorithm>

#include "capture/JsonText.h"
#include "capture/NativeMessaging.h"
#include "url/CUrl.h"

namespace torvex {

namespace {

// The length of a control character (C0, DEL or C1) at the start of valid UTF-8, else 0.
std::size_t ControlLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text.front());
    if (lead < 0x20 || lead == 0x7f) {
        return 1;
    }
    if (lead == 0xC2 && text.size() > 1 && static_cast<unsigned char>(text[1]) < 0xA0) {
        return 2;
    }
    return 0;
}

bool HasControlCharacter(std::string_view text) {
    while (!text.empty()) {
        if (ControlLength(text) != 0) {
            return true;
        }
        text.remove_prefix(std::max<std::size_t>(Utf8SequenceLength(text), 1));
    }
    return false;
}

bool IsUsableAddress(std::string_view text) {
    return text.size() <= kMaxUrlText && !HasControlCharacter(text);
}

// One line of plain text: control characters become blanks, runs of blanks one space, none at
// either end; cut to the capacity without splitting a character.
std::string PlainText(std::string_view text) {
    std::string out;
    bool blank = false;
    while (!text.empty()) {
        const std::size_t control = ControlLength(text);
        const std::size_t length =
            control != 0 ? control : std::max<std::size_t>(Utf8SequenceLength(text), 1);
        if (control != 0 || text.front() == ' ') {
            blank = !out.empty();
        } else {
            if (blank) {
                if (out.size() + 1 >= kMaxHostInfoBytes) {
                    break;
                }
                out += ' ';
                blank = false;
            }
            if (out.size() + length > kMaxHostInfoBytes) {
                break;
            }
            out.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return out;
}

// A member that must be a string when it is there; null counts as absent.
bool ReadText(const JsonValue& object, std::string_view name, std::string& text) {
    const JsonValue* value = object.Member(name);
    if (value == nullptr || value->kind == JsonValue::Kind::Null) {
        text.clear();
        return true;
    }
    if (!value->IsString()) {
        return false;
    }
    text = value->text;
    return true;
}

} // namespace

std::optional<std::string> ReadHostRequest(std::string_view message, HostRequest& request) {
    const std::optional<JsonValue> json = ParseJson(message);
    if (!json) {
        return "The message is not valid JSON in UTF-8.";
    }
    if (json->kind != JsonValue::Kind::Object) {
        return "The message is not a JSON object.";
    }
    std::string info;
    std::string parentUrl;
    if (!ReadText(*json, "url", request.url) || !ReadText(*json, "info", info) ||
        !ReadText(*json, "parentUrl", parentUrl)) {
        return "The fields url, info and parentUrl must be strings.";
    }
    if (request.url.empty()) {
        return "No address was given.";
    }
    if (request.url.size() > kMaxUrlText) {
        return "The address is longer than Torvex can take (512 bytes).";
    }
    if (HasControlCharacter(request.url)) {
        return "The address holds control characters.";
    }
    request.info = PlainText(info);
    request.parentUrl = IsUsableAddress(parentUrl) ? parentUrl : std::string();
    return std::nullopt;
}

std::string HostReply(std::string_view error) {
    if (error.empty()) {
        return R"({"ok":true})";
    }
    return R"({"ok":false,"error":)" + JsonQuoted(error) + "}";
}

int ServeNativeMessages(int in, int out, const HostAddUrl& addUrl) {
    std::string message;
    for (;;) {
        switch (ReadFrame(in, kMaxRequestBytes, message)) {
        case FrameRead::Message:
            break;
        case FrameRead::End:
            return 0;
        case FrameRead::TooLarge:
            WriteFrame(out, HostReply("The message is larger than a request can be."));
            return 1;
        case FrameRead::Truncated:
        case FrameRead::Failed:
            return 1;
        }
        HostRequest request;
        std::optional<std::string> error = ReadHostRequest(message, request);
        if (!error) {
            error = addUrl(request);
        }
        if (!WriteFrame(out, HostReply(*error))) {
            return 1;
        }
    }
}

} // namespace torvex
