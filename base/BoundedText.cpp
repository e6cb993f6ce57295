#include "base/BoundedText.h"

namespace torvex {

bool AssignCut(std::string& field, std::string_view text, std::size_t capacity) {
    const bool fits = text.size() <= capacity;
    field.assign(text.substr(0, capacity));
    return fits;
}

bool CutTo(std::string& field, std::size_t capacity) {
    if (field.size() <= capacity) {
        return true;
    }
    field.resize(capacity);
    return false;
}

std::string_view UpToNul(std::string_view text) {
    const auto nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

bool HasControlCharacter(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte == 127) {
            return true;
        }
    }
    return false;
}

} // namespace torvex
