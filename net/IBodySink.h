#pragma once

#include <cstddef>
#include <cstdint>

namespace torvex {

struct CTransferResult;

// Where a transfer puts the body it receives, and what decides whether it wants it. The caller
// of a transfer implements it; the transfer calls it on its own thread, in this order: WantBody
// (FTP only, once the server gave the size), Open once the server is about to send the body,
// Write for every piece, Close after the last. A transfer that fails or stops leaves the sink
// open with what was written; the owner decides what becomes of it.
class IBodySink {
public:
    virtual ~IBodySink();

    // False: the body is not wanted after all (the transfer ends as NotWanted). Default: true.
    virtual bool WantBody(const CTransferResult& head);
    // `offset` > 0: the body continues the `offset` bytes stored before (a range or a restart
    // the server granted); 0: it replaces them. Throws CMyException when the body cannot be
    // taken ("OpenFile", "LongFilePath", "ResumeOffset", ...).
    virtual void Open(const CTransferResult& head, std::int64_t offset) = 0;
    // Throws CMyException "WriteFile" when the bytes cannot be kept.
    virtual void Write(const char* data, std::size_t size) = 0;
    // Throws CMyException "WriteFile" when what was written cannot be kept.
    virtual void Close() = 0;
};

} // namespace torvex
