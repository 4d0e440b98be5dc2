// When the idle watcher starts the show: after the user has been idle for the chosen time,
// never while an application holds off the screen saver, once per idle period. Driven by the
// events of whichever source reports idleness and by ticks at the times it asks for; it never
// reads a clock itself.
#pragma once

#include <cstdint>
#include <optional>

namespace velmora::shell {

enum class WatchAction {
    Nothing,
    StartShow,
    AskInhibited, // answer with inhibitionChecked()
};

class IdleWatch {
public:
    // `timeoutMs`: the idle time before the show; `recheckMs`: how often an inhibition that
    // held the show off is asked about again while the user stays idle.
    IdleWatch(std::int64_t timeoutMs, std::int64_t recheckMs);

    // The source saw the user idle for the timeout; `inhibited`: an application holds the
    // screen saver off (sources whose compositor honours inhibitors itself pass false).
    WatchAction userIdle(std::int64_t nowMs, bool inhibited);
    // The first input after idleness.
    void userActive();
    // `inhibited` as for userIdle(): an idle period may have begun under the show.
    WatchAction showEnded(std::int64_t nowMs, bool inhibited);
    // The answer to AskInhibited.
    WatchAction inhibitionChecked(std::int64_t nowMs, bool inhibited);
    // Called at (or after) nextTick().
    WatchAction tick(std::int64_t nowMs);
    // When tick() has something to do; nullopt while only a source's event can change anything.
    std::optional<std::int64_t> nextTick() const;

    bool showRunning() const { return state_ == State::Showing; }

private:
    enum class State {
        Waiting,   // for the source's next idle period
        Inhibited, // idle, but held off: asked again at deadline_
        Settling,  // the hold ended while the user stayed idle: a full timeout more, from then
        Showing,
    };
    WatchAction start();

    std::int64_t timeoutMs_;
    std::int64_t recheckMs_;
    State state_ = State::Waiting;
    std::int64_t deadline_ = 0;
    // Under the show: the user came back (a key ending it, a small move it ignores), and then
    // went idle again before it ended.
    bool activeUnderShow_ = false;
    bool idleAgainUnderShow_ = false;
};

} // namespace velmora::shell
