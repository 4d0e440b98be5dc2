// One clock for four timers: the shell wakes only when one of them has work.
#include "platform/linux/shell_ticker.h"

#include "platform/linux/shell_fps.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <ostream>

namespace velmora::shell {

namespace {

// A frame may run this much before its time. Waits are whole milliseconds and the clock reads
// whole milliseconds, so a wake-up lands up to one early or late; taking the early one keeps
// a frame from waiting a whole interval for the next wake-up.
constexpr int EarlyMs = 1;

} // namespace

void FrameIntervals::add(std::int64_t intervalMs)
{
    counts_[std::size_t(std::clamp<std::int64_t>(intervalMs, 0, Longest))] += 1;
    total_ += 1;
}

int FrameIntervals::lateCount(int frameIntervalMs) const
{
    int late = 0;
    for (int ms = 0; ms <= Longest; ++ms) {
        if (2 * ms >= 3 * frameIntervalMs) {
            late += counts_[std::size_t(ms)];
        }
    }
    return late;
}

void FrameIntervals::print(std::ostream& out, int frameIntervalMs) const
{
    out << "velmora: frame intervals (ms x count):";
    const char* separator = " ";
    for (int ms = 0; ms <= Longest; ++ms) {
        if (counts_[std::size_t(ms)] != 0) {
            out << separator << ms << (ms == Longest ? "+" : "") << " x " << counts_[std::size_t(ms)];
            separator = ", ";
        }
    }
    out << "; " << total_ << " intervals, " << lateCount(frameIntervalMs) << " of " << frameIntervalMs * 3 / 2
        << " ms or more\n";
}

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
        lastFrame_ = -1;
    } else {
        if (!frame_.wasEnabled) {
            frame_.wasEnabled = true;
            frame_.due = now;
        }
        if (work > now) {
            lastFrame_ = -1; // a pause between pictures: the frames after it start a new run
        } else if (now + EarlyMs >= frame_.due) {
            if (lastFrame_ >= 0) {
                intervals_.add(now - lastFrame_);
            }
            lastFrame_ = now;
            form_.frame();
            ++framesRun_;
            if (nextFrameWork(now) > now) {
                lastFrame_ = -1; // the frame began a pause between pictures
            }
            // Frames keep to one timeline: a late wake-up is made up by a shorter wait for the
            // next frame. Only after a stall of a whole frame or more does the timeline start
            // again from now, so missed frames are dropped rather than run in a burst.
            frame_.due = now - frame_.due >= frameMs_ ? now + frameMs_ : frame_.due + frameMs_;
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
        next = std::min(next, std::max(frame_.wasEnabled ? frame_.due - EarlyMs : now, frameWork));
    }
    next_ = next == std::numeric_limits<std::int64_t>::max() ? -1 : next;
    return waitFrom(now);
}

int ShowTicker::waitFrom(std::int64_t now) const
{
    if (next_ < 0) {
        return -1;
    }
    return int(std::clamp<std::int64_t>(next_ - now, 0, std::numeric_limits<int>::max()));
}

int ShowTicker::sleepLimit(std::int64_t now, bool badge) const
{
    const int wait = waitFrom(now);
    if (!badge) {
        return wait;
    }
    return wait < 0 ? FpsBadge::UpdateIntervalMs : std::min(wait, FpsBadge::UpdateIntervalMs);
}

bool ShowTicker::sleepForFrame(int waitMs, int connection, int other) const
{
    const bool frameSoon = waitMs >= 0 && waitMs <= frameMs_;
    std::array<pollfd, 2> watched{};
    nfds_t count = 0;
    if (other >= 0) {
        watched[count++] = {other, POLLIN, 0};
    }
    if (!frameSoon) {
        watched[count++] = {connection, POLLIN, 0};
    }
    return poll(watched.data(), count, waitMs) >= 0 || errno == EINTR;
}

} // namespace velmora::shell
