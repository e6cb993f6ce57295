#pragma once

namespace torvex {

// Single-shot timers of the front end's thread, known by a number that their owner gives. The
// owner is told when one expires, on that thread, by whoever made the scheduler (the desktop
// program's runs on the event loop; tests move a fake clock on). Pauses that the window must not
// be blocked for are made with these.
class ITimerScheduler {
public:
    virtual ~ITimerScheduler() = default;
    // (Re)starts timer `id` to expire once after `milliseconds`.
    virtual void StartTimer(int id, int milliseconds) = 0;
    virtual void StopTimer(int id) = 0;
};

} // namespace torvex
