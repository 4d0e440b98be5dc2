// Drives the show's four timers from one clock for a shell that sleeps in its event wait:
// ticks whatever is due, presents what changed and says how long the shell may sleep.
#pragma once

#include "show/show_form.h"

#include <array>
#include <cstdint>
#include <iosfwd>

namespace velmora::shell {

// How far apart the frames of the running show came (pauses between pictures left out):
// a count per whole millisecond, for --timing.
class FrameIntervals {
public:
    void add(std::int64_t intervalMs);
    int count() const { return total_; }
    // Frames that came at least one and a half intervals after the one before: a frame lost.
    int lateCount(int frameIntervalMs) const;
    // One line: "frame intervals (ms x count): 16 x 3700, 17 x 12, ..., N frames, L late".
    void print(std::ostream& out, int frameIntervalMs) const;

private:
    static constexpr int Longest = 1000; // the last slot counts everything from here on
    std::array<int, Longest + 1> counts_{};
    int total_ = 0;
};

class ShowTicker {
public:
    // `frameIntervalMs`: the display's frame time; Timer3 and Timer4 tick once per frame.
    ShowTicker(show::ShowForm& form, int frameIntervalMs);

    // Runs the timers due at `now` (milliseconds, the platform's clock), then presents.
    // Returns the milliseconds until the next timer is due (0 when one already is), or -1
    // when no timer is enabled and only an event can change anything. During the pauses
    // between pictures it sleeps until the pause ends instead of ticking every frame.
    int run(std::int64_t now);

    // The wait until the next timer as run() last worked it out, from a later `now`: the
    // shell asks this just before it sleeps, so the time run() itself took is not slept too.
    int waitFrom(std::int64_t now) const;

    // The longest the shell may sleep from `now`: waitFrom(now), and with the -fps badge shown
    // never past its next update.
    int sleepLimit(std::int64_t now, bool badge) const;

    // Sleeps at most `waitMs` (-1: until woken) on the X connection and, when given (>= 0), one
    // more file. With a frame due within an interval the connection is not watched: the
    // server's note that it has read the last frame (and any input) is collected at that
    // frame, so each frame is one wake-up. False when the sleep failed other than by a signal.
    bool sleepForFrame(int waitMs, int connection, int other = -1) const;

    int frameIntervalMs() const { return frameMs_; }
    // Frame ticks run so far (the -fps figure counts these).
    std::int64_t framesRun() const { return framesRun_; }
    const FrameIntervals& frameIntervals() const { return intervals_; }

private:
    struct Slot {
        bool wasEnabled = false;
        std::int64_t due = 0;
    };
    // Brings a poll timer's due time up to date; true when it fires now.
    static bool pollDue(Slot& slot, bool enabled, int intervalMs, std::int64_t now);
    // When the frame timer next has work, or -1 when it is off.
    std::int64_t nextFrameWork(std::int64_t now) const;

    show::ShowForm& form_;
    int frameMs_;
    Slot timer1_;
    Slot timer2_;
    Slot frame_;
    std::int64_t framesRun_ = 0;
    std::int64_t next_ = -1;       // when run() is next wanted, -1: only an event
    std::int64_t lastFrame_ = -1;  // the last frame of an unbroken run of frames
    FrameIntervals intervals_;
};

// The frame interval for a display refresh rate in Hz (0 or less: unknown). The core's
// flip timing was made for about 60 frames a second, so faster displays keep that pace.
int frameIntervalFor(int refreshRateHz);

} // namespace velmora::shell
