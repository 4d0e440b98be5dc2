// The show's music on a thread of its own: opening a file, polling and stopping never hold up
// the window's thread, whatever the system's player does with a slow or enormous file.
#pragma once

#include "music/background_music.h"
#include "music/show_music.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace velmora::music {

class MusicThread final : public ShowMusic {
public:
    // Makes the music and its devices; called on the music thread, which alone uses them.
    using MakeMusic = std::function<std::shared_ptr<ShowMusic>()>;
    // Music that has not started this long after the show asked for it is reported in the
    // log; the show never waits for it, and it joins the show if it starts later.
    static constexpr std::chrono::milliseconds startLimit{1000};

    MusicThread(MakeMusic make, bool handlesTrackKeys, MusicLog log);
    MusicThread(const MusicThread&) = delete;
    MusicThread& operator=(const MusicThread&) = delete;
    // Stops the music and waits up to `grace` for its thread to end; a thread still stuck in
    // the system's player then is left to end with the process. The destructor does this with
    // a short grace; a process that ends without destructors calls it first.
    void finish(std::chrono::milliseconds grace);
    ~MusicThread() override;

    void start() override;
    bool timer1Enabled() const override;
    void timer1Tick() override;
    bool timer2Enabled() const override;
    void timer2Tick() override;
    bool handlesTrackKeys() const override { return handlesTrackKeys_; }
    void previousTrack() override;
    void nextTrack() override;
    void stop() override;

    // True once the music's start has returned, until the music stops.
    bool playing() const;
    // How many music threads this process left stuck in a system player: a process with one
    // must end without tearing down what that thread may still be using.
    static int threadsLeftBehind();

private:
    struct Shared;
    enum class Request { Start, Timer1, Timer2, Previous, Next, Stop };
    // Hands one request to the thread unless one is still waiting there (a poll behind a slow
    // one is dropped, as a timer tick is while its handler runs).
    void post(Request request);
    // Says once in the log that the music's start is taking too long.
    void checkStartLimit() const;
    static void run(std::shared_ptr<Shared> shared, MakeMusic make);

    std::shared_ptr<Shared> shared_;
    MakeMusic make_;
    bool handlesTrackKeys_;
    std::thread thread_;
};

} // namespace velmora::music
