// Idle and active events from an idle time that can only be polled (the X server's): when to
// look again so that the process sleeps until the idle time could first be reached.
#pragma once

#include <cstdint>

namespace velmora::shell {

struct IdlePollResult {
    bool becameIdle = false;
    bool becameActive = false;
    std::int64_t nextPollMs = 0; // how long to sleep before the next look
};

class IdlePoller {
public:
    // `activePollMs`: how often to look for the user's return once idle was reported.
    IdlePoller(std::int64_t timeoutMs, std::int64_t activePollMs);
    // `idleMs`: the idle time read now.
    IdlePollResult observe(std::int64_t idleMs);

private:
    std::int64_t timeoutMs_;
    std::int64_t activePollMs_;
    bool idle_ = false;
    std::int64_t lastIdleMs_ = 0;
};

} // namespace velmora::shell
