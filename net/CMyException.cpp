#include "net/CMyException.h"

#include "base/BoundedText.h"

namespace torvex {

CMyException::CMyException(std::string_view className, std::string_view operation, int code)
    : m_code(code) {
    AssignCut(m_className, className, kMaxExceptionText);
    AssignCut(m_operation, operation, kMaxExceptionText);
}

CMyException::~CMyException() = default;

CMySocketException::~CMySocketException() = default;

void ThrowMyException(ExceptionKind kind, std::string_view className, std::string_view operation,
                      int code) {
    if (kind == ExceptionKind::Socket) {
        throw new CMySocketException(className, operation, code);
    }
    throw new CMyException(className, operation, code);
}

} // namespace torvex
