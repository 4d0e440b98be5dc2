// What the show asks of the background music: start with the show, the two poll timers,
// the CD track keys, and stop when the show ends. The show drives the timers as state.
#pragma once

namespace velmora {

class ShowMusic {
public:
    // The fixed intervals at which the show calls the two ticks while they are enabled.
    static constexpr int timer1IntervalMs = 1000;
    static constexpr int timer2IntervalMs = 200;

    virtual ~ShowMusic() = default;
    virtual void start() = 0;                  // at show start, after the tiles are laid out
    virtual bool timer1Enabled() const = 0;    // the MP3 restart poll (1000 ms)
    virtual void timer1Tick() = 0;
    virtual bool timer2Enabled() const = 0;    // the audio-CD poll (200 ms)
    virtual void timer2Tick() = 0;
    virtual bool handlesTrackKeys() const = 0; // the arrow keys change CD tracks
    virtual void previousTrack() = 0;          // left arrow
    virtual void nextTrack() = 0;              // right arrow
    virtual void stop() = 0;                   // when the show ends
};

// No music: what the show uses when nothing is set up, and in tests.
class SilentMusic final : public ShowMusic {
public:
    void start() override {}
    bool timer1Enabled() const override { return false; }
    void timer1Tick() override {}
    bool timer2Enabled() const override { return false; }
    void timer2Tick() override {}
    bool handlesTrackKeys() const override { return false; }
    void previousTrack() override {}
    void nextTrack() override {}
    void stop() override {}
};

} // namespace velmora
