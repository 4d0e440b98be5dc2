// One clock for four timers: the shell wakes only when one of them has work.
#include "platform/linux/shell_ticker.h"

#include <algorithm>
#include <limits>

namespace velmora::shell {

ShowTicker::ShowTicker(show::ShowForm& form, int frameIntervalMs)
    : form_(form), frameMs_(std::max(1, frameIntervalMs))
{
}

int frameIntervalFor(int refreshRateHz)
{
    if (refreshRateHz <= 0) {
        return show::FrameIntervalMs;
    }
    return std::max(show::FrameIntervalMs, 1000 / std::min(refreshRateHz, 1000));
}

bool ShowTicker::pollDue(Slot& slot, bool enabled, int intervalMs, std::int64_t now)
{
    if (!enabled) {
        slot.wasEnabled = false;
        return false;
    }
    if (!slot.wasEnabled) {
        // A timer's first tick comes one interval after it was enabled.
        slot.wasEnabled = true;
        slot.due = now + intervalMs;
        return false;
    }
    if (now < slot.due) {
        return false;
    }
    // Ticks missed while the process was stalled are dropped, not run in a burst.
    slot.due = slot.due + intervalMs > now ? slot.due + intervalMs : now + intervalMs;
    return true;
}

std::int64_t ShowTicker::nextFrameWork(std::int64_t now) const { return form_.nextWorkAt(now).value_or(-1); }

int ShowTicker::run(std::int64_t now)
{
    if (pollDue(timer1_, form_.timer(1).enabled, show::Timer1IntervalMs, now)) {
        form_.Timer1_Timer();
    }
    if (pollDue(timer2_, form_.timer(2).enabled, show::Timer2IntervalMs, now)) {
        form_.Timer2_Timer();
    }

    const std::int64_t work = nextFrameWork(now);
    if (work < 0) {
        frame_.wasEnabled = false;
    } else {
        if (!frame_.wasEnabled) {
            frame_.wasEnabled = true;
            frame_.due = now;
        }
        if (now >= frame_.due && work <= now) {
            form_.frame();
            ++framesRun_;
            frame_.due = frame_.due + frameMs_ > now ? frame_.due + frameMs_ : now + frameMs_;
        }
    }
    form_.presentFrame(); // anything drawn outside a frame tick

    std::int64_t next = std::numeric_limits<std::int64_t>::max();
    if (timer1_.wasEnabled && form_.timer(1).enabled) {
        next = std::min(next, timer1_.due);
    }
    if (timer2_.wasEnabled && form_.timer(2).enabled) {
        next = std::min(next, timer2_.due);
    }
    if (const std::int64_t frameWork = nextFrameWork(now); frameWork >= 0) {
        next = std::min(next, std::max(frame_.wasEnabled ? frame_.due : now, frameWork));
    }
    if (next == std::numeric_limits<std::int64_t>::max()) {
        return -1;
    }
    return int(std::clamp<std::int64_t>(next - now, 0, std::numeric_limits<int>::max()));
}

} // namespace velmora::shell
