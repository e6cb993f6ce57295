#include "net/IBodySink.h"

namespace torvex {

IBodySink::~IBodySink() = default;

bool IBodySink::WantBody(const CTransferResult&) { return true; }

} // namespace torvex
