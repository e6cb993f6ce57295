#include "engine/CTaskMessage.h"

namespace torvex {

RunEndCode CTaskMessage::Code() const {
    const RunEndCode* code = std::get_if<RunEndCode>(&payload);
    return code != nullptr ? *code : RunEndCode::None;
}

CSaveProgress CTaskMessage::Progress() const {
    const CSaveProgress* progress = std::get_if<CSaveProgress>(&payload);
    return progress != nullptr ? *progress : CSaveProgress{};
}

bool CTaskMessage::IsEnd() const {
    switch (message) {
    case TaskMessage::Stopped:
    case TaskMessage::Finished:
    case TaskMessage::Error:
    case TaskMessage::Limit:
    case TaskMessage::StartFailed:
        return true;
    default:
        return false;
    }
}

} // namespace torvex
