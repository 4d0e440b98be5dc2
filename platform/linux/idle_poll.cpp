// Polled idle time to idle and active events.
#include "platform/linux/idle_poll.h"

#include <algorithm>
#include <cassert>

namespace velmora::shell {

IdlePoller::IdlePoller(std::int64_t timeoutMs, std::int64_t activePollMs)
    : timeoutMs_(timeoutMs), activePollMs_(activePollMs)
{
    assert(timeoutMs > 0 && activePollMs > 0);
}

IdlePollResult IdlePoller::observe(std::int64_t idleMs)
{
    IdlePollResult result;
    idleMs = std::max<std::int64_t>(idleMs, 0);
    // Any input restarts the idle time: a smaller reading than the last one means the user
    // was back in between, however briefly.
    if (idle_ && idleMs < lastIdleMs_) {
        idle_ = false;
        result.becameActive = true;
    }
    if (!idle_ && idleMs >= timeoutMs_) {
        idle_ = true;
        result.becameIdle = true;
    }
    lastIdleMs_ = idleMs;
    // Not idle: nothing can happen before the timeout is reached (input only pushes it back).
    // A little past it, so that a reading just short of it does not cost a second wake-up.
    constexpr std::int64_t Slack = 20;
    result.nextPollMs = idle_ ? activePollMs_ : timeoutMs_ - idleMs + Slack;
    return result;
}

} // namespace velmora::shell
