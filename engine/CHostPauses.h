#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

#include "url/CUrl.h"

namespace torvex {

// The longest a busy server's Retry-After holds its host back: a server that asks for hours is
// still asked again within minutes, so a run is never parked for good by one reply.
constexpr std::int64_t kMaxHostPauseSeconds = 300;
// How many busy replies with a wait an entry gets without counting a failed try; from the next
// on they count, so a server that never stops being busy still ends the entry's tries.
constexpr std::int32_t kForgivenBusyReplies = 3;

// The hosts of a run that a busy server (429, 503 with Retry-After) asked to leave alone for a
// while, by host and port: every address there waits, for every worker of the run. Times are
// the run clock's monotonic milliseconds. Owned by the run's data; any thread.
class CHostPauses {
public:
    // `url`'s host waits from `nowMs` for `seconds` (at most kMaxHostPauseSeconds); a longer
    // wait that is already set stays.
    void Pause(const CUrl& url, std::int64_t nowMs, std::int64_t seconds);
    bool IsPaused(const CUrl& url, std::int64_t nowMs) const;
    // True when some host still waits at `nowMs`.
    bool AnyPaused(std::int64_t nowMs) const;
    // Milliseconds from `nowMs` until the first wait that has not ended ends (at least 1); -1
    // when no host waits.
    std::int64_t MsUntilFirstEnd(std::int64_t nowMs) const;

private:
    static std::string Key(const CUrl& url);
    void DropEnded(std::int64_t nowMs) const;

    mutable std::mutex m_lock;
    mutable std::unordered_map<std::string, std::int64_t> m_until; // key -> end (ms)
};

} // namespace torvex
