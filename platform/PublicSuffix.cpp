#include "platform/PublicSuffix.h"

#include <string>

#include <libpsl.h>

#include "base/AsciiCase.h"

namespace torvex {

namespace {

// The list for the life of the process: loading it costs a file read, asking it costs nothing.
const psl_ctx_t* SuffixList() {
    static const psl_ctx_t* const list = [] {
        const psl_ctx_t* latest = psl_latest(nullptr);
        return latest != nullptr ? latest : psl_builtin();
    }();
    return list;
}

} // namespace

bool IsPublicSuffix(std::string_view domain) {
    if (!domain.empty() && domain.front() == '.') {
        domain.remove_prefix(1);
    }
    if (domain.empty() || domain.find('\0') != std::string_view::npos) {
        return true;   // nothing a cookie could be kept for
    }
    const psl_ctx_t* list = SuffixList();
    if (list == nullptr) {
        // Without a list only a single label is known to be one.
        return domain.find('.') == std::string_view::npos;
    }
    const std::string lower = LowerAscii(domain);
    return psl_is_public_suffix(list, lower.c_str()) != 0;
}

} // namespace torvex
