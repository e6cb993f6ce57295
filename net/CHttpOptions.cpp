#include "net/CHttpOptions.h"

namespace torvex {

std::string UserAgentText(int userAgentMode, std::string_view userDefined) {
    switch (userAgentMode) {
    case 0:
        return {};
    case 1:
        return "Torvex/0.9";
    case 2:
        return "Mozilla/5.0 (compatible; MSIE5.0)";
    case 3:
        return "Mozilla/4.7";
    default:
        return std::string(userDefined);
    }
}

} // namespace torvex
