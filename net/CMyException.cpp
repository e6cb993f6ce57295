#include "net/CMyException.h"

#include "base/BoundedText.h"

namespace torvex {

CMyException::CMyException(std::string_view className, std::string_view operation, int code)
    : m_code(code) {
    AssignCut(m_className, className, kMaxExceptionText);
    AssignCut(m_operation, operation, kMaxExceptionText);
}

CMyException::~CMyException() = default;

void CMyException::SetDetail(std::string_view detail) {
    AssignCut(m_detail, detail, kMaxExceptionDetail);
}

CMySocketException::~CMySocketException() = default;

void ThrowMyException(ExceptionKind kind, std::string_view className, std::string_view operation,
                      int code, std::string_view detail, std::int64_t retryAfter) {
    if (kind == ExceptionKind::Socket) {
        auto* failure = new CMySocketException(className, operation, code);
        failure->SetDetail(detail);
        failure->SetRetryAfter(retryAfter);
        throw failure;
    }
    auto* failure = new CMyException(className, operation, code);
    failure->SetDetail(detail);
    failure->SetRetryAfter(retryAfter);
    throw failure;
}

} // namespace torvex
