#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace torvex {

constexpr std::size_t kMaxExceptionText = 128;
constexpr std::size_t kMaxExceptionDetail = 256;

// A failure inside a download: which class failed (may be empty), which operation (the text that
// tells the catcher what happened: "Connect", "GetHostByName", "HTTPSession", "NoBody", ...)
// and the status that made it fail. Created on the heap by ThrowMyException only and thrown by
// pointer; the first statement of every catch takes ownership with std::unique_ptr. Catch sites
// catch CMySocketException* before CMyException*.
class CMyException {
public:
    CMyException(std::string_view className, std::string_view operation, int code);
    virtual ~CMyException();
    CMyException(const CMyException&) = delete;
    CMyException& operator=(const CMyException&) = delete;

    const std::string& ClassName() const { return m_className; }
    const std::string& Operation() const { return m_operation; }
    int Code() const { return m_code; }
    // What the failing party said about it, where that is more than the code (a TLS failure's
    // reason, such as the certificate's problem); empty otherwise. At most 256 characters.
    const std::string& Detail() const { return m_detail; }
    void SetDetail(std::string_view detail);
    // The seconds a busy server (429, 503) asked to be left alone for, read from its
    // Retry-After; -1 when it named none that could be used.
    std::int64_t RetryAfter() const { return m_retryAfter; }
    void SetRetryAfter(std::int64_t seconds) { m_retryAfter = seconds; }

private:
    std::string m_className;   // at most 128 characters; empty when the thrower named none
    std::string m_operation;   // at most 128 characters
    int m_code;
    std::string m_detail;
    std::int64_t m_retryAfter = -1;
};

// A failure of the socket layer, an HTTP receive path or a proxy exchange.
class CMySocketException : public CMyException {
public:
    using CMyException::CMyException;
    ~CMySocketException() override;
};

enum class ExceptionKind : int {
    General = 0,   // CMyException
    Socket = 1,    // CMySocketException
};

// The one place that creates and throws the exceptions above. Texts are cut to 128 characters.
[[noreturn]] void ThrowMyException(ExceptionKind kind, std::string_view className,
                                   std::string_view operation, int code,
                                   std::string_view detail = {}, std::int64_t retryAfter = -1);

} // namespace torvex
