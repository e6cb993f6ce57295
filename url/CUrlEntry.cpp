#include "url/CUrlEntry.h"

#include "base/BoundedText.h"

namespace torvex {

std::string EntryUrlText(const CUrl& url) {
    std::string text = url.Compose();
    if (LastSegment(url.Path(), kMaxLocalPath).empty()) {
        if (!text.empty() && text.back() != '/') {
            text += '/';
        }
        text += "index.html";
    }
    CutTo(text, kMaxEntryUrlText);
    return text;
}

} // namespace torvex
