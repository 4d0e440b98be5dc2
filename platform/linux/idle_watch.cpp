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
    return WatchAction::StartShow;
}

WatchAction IdleWatch::userIdle(std::int64_t nowMs, bool inhibited)
{
    // An idle period that began while the show ran (a small pointer move the show ignores)
    // is not a reason for a second show, nor for one right after it.
    if (state_ != State::Waiting)
        return WatchAction::Nothing;
    return inhibitionChecked(nowMs, inhibited);
}

void IdleWatch::userActive()
{
    if (state_ != State::Showing)
        state_ = State::Waiting;
}

void IdleWatch::showEnded()
{
    // Whatever ended it, the next show waits for a new idle period: a show that fails at once
    // is not started again and again while the user is away.
    if (state_ == State::Showing)
        state_ = State::Waiting;
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
