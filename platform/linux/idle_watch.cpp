// The idle watcher's decisions, as a small state machine.
#include "platform/linux/idle_watch.h"

#include <cassert>

namespace velmora::shell {

IdleWatch::IdleWatch(std::int64_t timeoutMs, std::int64_t recheckMs) : timeoutMs_(timeoutMs), recheckMs_(recheckMs)
{
    assert(timeoutMs > 0 && recheckMs > 0);
}

WatchAction IdleWatch::start()
{
    state_ = State::Showing;
    activeUnderShow_ = false;
    idleAgainUnderShow_ = false;
    return WatchAction::StartShow;
}

WatchAction IdleWatch::userIdle(std::int64_t nowMs, bool inhibited)
{
    if (state_ == State::Showing) {
        // Only a period that began with input counts: a show that ends by itself with the
        // user still away from the start is not followed by another.
        idleAgainUnderShow_ = activeUnderShow_;
        return WatchAction::Nothing;
    }
    if (state_ != State::Waiting)
        return WatchAction::Nothing;
    return inhibitionChecked(nowMs, inhibited);
}

void IdleWatch::userActive()
{
    if (state_ == State::Showing) {
        activeUnderShow_ = true;
        idleAgainUnderShow_ = false;
    } else {
        state_ = State::Waiting;
    }
}

WatchAction IdleWatch::showEnded(std::int64_t nowMs, bool inhibited)
{
    if (state_ != State::Showing)
        return WatchAction::Nothing;
    state_ = State::Waiting;
    // The key that ended the show began a new idle period that has already run its full time
    // (a show slow to close), or the user came back and left again under the show: that
    // period's show is due. Otherwise the next show waits for a new idle period, so a show
    // that fails at once is not started again and again while the user is away.
    if (idleAgainUnderShow_)
        return inhibitionChecked(nowMs, inhibited);
    return WatchAction::Nothing;
}

WatchAction IdleWatch::inhibitionChecked(std::int64_t nowMs, bool inhibited)
{
    switch (state_) {
    case State::Showing: return WatchAction::Nothing;
    case State::Waiting:
        if (!inhibited)
            return start();
        break;
    case State::Inhibited:
        if (!inhibited) {
            // The player stopped: the user has not touched anything, but only now could the
            // screen saver have begun counting.
            state_ = State::Settling;
            deadline_ = nowMs + timeoutMs_;
            return WatchAction::Nothing;
        }
        break;
    case State::Settling:
        if (!inhibited)
            return nowMs >= deadline_ ? start() : WatchAction::Nothing;
        break;
    }
    state_ = State::Inhibited;
    deadline_ = nowMs + recheckMs_;
    return WatchAction::Nothing;
}

WatchAction IdleWatch::tick(std::int64_t nowMs)
{
    if ((state_ == State::Inhibited || state_ == State::Settling) && nowMs >= deadline_)
        return WatchAction::AskInhibited;
    return WatchAction::Nothing;
}

std::optional<std::int64_t> IdleWatch::nextTick() const
{
    if (state_ == State::Inhibited || state_ == State::Settling)
        return deadline_;
    return std::nullopt;
}

} // namespace velmora::shell
