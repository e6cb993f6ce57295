#include "net/CHttpWorkerLink.h"

namespace torvex {

CHttpWorkerLink::~CHttpWorkerLink() = default;

} // namespace torvex
