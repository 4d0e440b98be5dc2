// The music thread against a player that answers at once or hangs: the window's side never
// waits, music that cannot start within a second is logged, and a hung player is left behind.
#include "music/music_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace velmora;
using namespace velmora::music;

namespace {

// A player whose start waits until the test lets it go; every call is counted.
struct Player final : ShowMusic {
    std::mutex mutex;
    std::condition_variable released;
    bool startMayReturn = true;
    int starts = 0, ticks = 0, stops = 0;

    void start() override
    {
        std::unique_lock lock(mutex);
        ++starts;
        released.wait(lock, [&] { return startMayReturn; });
    }
    bool timer1Enabled() const override { return true; }
    void timer1Tick() override { std::lock_guard lock(mutex); ++ticks; }
    bool timer2Enabled() const override { return false; }
    void timer2Tick() override {}
    bool handlesTrackKeys() const override { return false; }
    void previousTrack() override {}
    void nextTrack() override {}
    void stop() override { std::lock_guard lock(mutex); ++stops; }

    void release()
    {
        std::lock_guard lock(mutex);
        startMayReturn = true;
        released.notify_all();
    }
    int count(const int& counter) { std::lock_guard lock(mutex); return counter; }
};

// Polls `condition` for up to ten seconds.
template <class Condition>
bool eventually(Condition condition)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

struct Log {
    std::mutex mutex;
    std::vector<std::string> lines;
    MusicLog sink() { return [this](const std::string& text) { std::lock_guard lock(mutex); lines.push_back(text); }; }
    std::size_t size() { std::lock_guard lock(mutex); return lines.size(); }
};

} // namespace

TEST(MusicThread, APlayerThatStartsServesTheTimersAndStopsOnItsOwnThread)
{
    auto player = std::make_shared<Player>();
    std::thread::id playerThread;
    Log log;
    {
        MusicThread music([&] { playerThread = std::this_thread::get_id(); return player; }, false, log.sink());
        EXPECT_FALSE(music.timer1Enabled()); // nothing started yet
        music.start();
        ASSERT_TRUE(eventually([&] { return music.playing() && music.timer1Enabled(); }));
        music.timer1Tick();
        ASSERT_TRUE(eventually([&] { return player->count(player->ticks) == 1; }));
        music.stop();
        EXPECT_FALSE(music.timer1Enabled());
    }
    EXPECT_EQ(player->count(player->stops), 1);
    EXPECT_NE(playerThread, std::this_thread::get_id());
    EXPECT_EQ(log.size(), 0u);
}

TEST(MusicThread, APlayerSlowToStartIsLoggedOnceAndJoinsTheShowWhenItStarts)
{
    auto player = std::make_shared<Player>();
    player->startMayReturn = false;
    Log log;
    {
        MusicThread music([&] { return player; }, false, log.sink());
        music.start(); // returns while the player's start hangs
        // The window's side notices the second passing whenever it next asks anything.
        ASSERT_TRUE(eventually([&] { return !music.timer1Enabled() && log.size() == 1; }));
        EXPECT_NE(log.lines[0].find("within a second"), std::string::npos);
        music.timer1Tick(); // dropped: nothing queues up behind a start that hangs
        player->release();
        ASSERT_TRUE(eventually([&] { return music.playing() && music.timer1Enabled(); }));
        EXPECT_EQ(player->count(player->ticks), 0);
    }
    EXPECT_EQ(player->count(player->stops), 1);
    EXPECT_EQ(log.size(), 1u);
}

TEST(MusicThread, TheEndOfTheShowLeavesAHungPlayerBehind)
{
    auto player = std::make_shared<Player>();
    player->startMayReturn = false;
    {
        MusicThread music([&] { return player; }, false, {});
        music.start();
        ASSERT_TRUE(eventually([&] { return player->count(player->starts) == 1; }));
        music.stop();
    } // returns although the player never does
    EXPECT_EQ(MusicThread::threadsLeftBehind(), 1);
    player->release(); // the thread left behind then stops the player and ends
    EXPECT_TRUE(eventually([&] { return player->count(player->stops) == 1; }));
}
