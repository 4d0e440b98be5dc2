// The idle watcher's decisions without a desktop: its time, which idle report it listens to,
// when it starts the show, and how often it looks at a polled idle time.
#include "platform/linux/idle_choice.h"
#include "platform/linux/idle_poll.h"
#include "platform/linux/idle_watch.h"
#include "platform/linux/shell_options.h"

#include <gtest/gtest.h>

using namespace velmora::shell;

TEST(IdleOptions, DecimalMinutesAreReadAndEverythingElseIsRefused)
{
    EXPECT_EQ(parseIdleMinutes("5"), 300'000);
    EXPECT_EQ(parseIdleMinutes("0.05"), 3'000);
    EXPECT_EQ(parseIdleMinutes(".5"), 30'000);
    EXPECT_EQ(parseIdleMinutes("1440"), 86'400'000);
    for (const char* bad : {"", "0", "-1", "+5", " 5", "5 ", "0.009", "1440.5", "1e3", "nan", "inf", "5,5", "0x10",
                            "99999999999999999999999"}) {
        EXPECT_FALSE(parseIdleMinutes(bad).has_value()) << bad;
    }

    const velmora::Result<ShellOptions> parsed = parseShellOptions({"--idle=0.1", "--ini", "/tmp/v.ini", "/s"}, nullptr);
    ASSERT_TRUE(parsed.ok()) << velmora::reasonText(parsed);
    EXPECT_EQ(parsed->idleMs, 6'000);
    EXPECT_FALSE(parseShellOptions({"--idle", "soon"}, nullptr).ok());
    // The watcher starts the full-screen show; anything else it cannot be asked for.
    for (const auto& other : std::vector<std::vector<std::string>>{
             {"/c"}, {"--settings"}, {"/p", "1234"}, {"-root"}, {"-window"}, {"--window-id", "0x400001"}}) {
        std::vector<std::string> args = {"--idle", "5"};
        args.insert(args.end(), other.begin(), other.end());
        EXPECT_FALSE(parseShellOptions(args, nullptr).ok()) << other.front();
    }
    EXPECT_FALSE(parseShellOptions({"--idle", "5"}, "0x400001").ok()); // under the screen-saver daemon

    // The show gets the same settings, once, and its own mode letter.
    EXPECT_EQ(showArgumentsForIdle({"-idle", "5", "--ini", "/tmp/v.ini", "-S", "--folder=/pics", "--fps"}),
              (std::vector<std::string>{"--ini", "/tmp/v.ini", "--folder=/pics", "--fps", "-s"}));
    EXPECT_EQ(showArgumentsForIdle({"--music", "--idle", "--idle=0.1"}),
              (std::vector<std::string>{"--music", "--idle", "-s"})); // "--idle" there is the music file
}

TEST(IdleSourceChoice, TheCompositorsOwnReportFirstAndNeverTheXServerOfAWaylandSession)
{
    const auto choose = [](bool wayland, bool ext, bool kde, bool gnome, bool x) {
        return chooseIdleSource({wayland, ext, kde, gnome, x});
    };
    EXPECT_EQ(choose(true, true, true, true, true), IdleSourceKind::ExtIdleNotify);
    EXPECT_EQ(choose(true, false, true, true, false), IdleSourceKind::KdeIdle);      // sway 1.7
    EXPECT_EQ(choose(true, false, false, true, false), IdleSourceKind::GnomeIdleMonitor); // GNOME on Wayland
    EXPECT_EQ(choose(false, false, false, true, true), IdleSourceKind::GnomeIdleMonitor); // GNOME on X11
    EXPECT_EQ(choose(false, false, false, false, true), IdleSourceKind::XScreenSaver);
    EXPECT_EQ(choose(true, false, false, false, true), IdleSourceKind::NoSource); // XWayland's idle time is not the user's
    EXPECT_EQ(choose(false, true, true, false, false), IdleSourceKind::NoSource); // no compositor answered
    EXPECT_EQ(choose(false, false, false, false, false), IdleSourceKind::NoSource);
}

TEST(IdleWatch, OneShowPerIdlePeriodAndNoneWhileTheUserIsBack)
{
    IdleWatch watch(3'000, 1'000);
    EXPECT_EQ(watch.userIdle(0, false), WatchAction::StartShow);
    // A show that ends by itself with the user away all along is not followed by another.
    EXPECT_EQ(watch.showEnded(2'000, false), WatchAction::Nothing);
    EXPECT_FALSE(watch.nextTick());
    watch.userActive();
    EXPECT_EQ(watch.tick(60'000), WatchAction::Nothing);
    EXPECT_EQ(watch.userIdle(63'000, false), WatchAction::StartShow);
    // The user's key arrives before the show's exit: one show, and the next one only after
    // the next idle period.
    watch.userActive();
    EXPECT_TRUE(watch.showRunning());
    EXPECT_EQ(watch.showEnded(64'000, false), WatchAction::Nothing);
    EXPECT_EQ(watch.userIdle(67'000, false), WatchAction::StartShow);
    // A show slow to close: the idle period the key began ran out before it ended.
    watch.userActive();
    EXPECT_EQ(watch.userIdle(71'000, false), WatchAction::Nothing);
    EXPECT_EQ(watch.showEnded(72'000, false), WatchAction::StartShow);
    // A move the show ignores and a return before it ends: the user is here, nothing starts.
    watch.userActive();
    EXPECT_EQ(watch.userIdle(80'000, false), WatchAction::Nothing);
    watch.userActive();
    EXPECT_EQ(watch.showEnded(81'000, false), WatchAction::Nothing);
}

TEST(IdleWatch, AnInhibitionHoldsTheShowOffAndItsEndStartsAFullIdleTime)
{
    IdleWatch watch(3'000, 1'000);
    EXPECT_EQ(watch.userIdle(10'000, true), WatchAction::Nothing);
    EXPECT_EQ(watch.nextTick(), 11'000);
    EXPECT_EQ(watch.tick(10'999), WatchAction::Nothing);
    EXPECT_EQ(watch.tick(11'000), WatchAction::AskInhibited);
    EXPECT_EQ(watch.inhibitionChecked(11'000, true), WatchAction::Nothing);
    EXPECT_EQ(watch.nextTick(), 12'000);
    // The film ends with the user still away: the show a whole idle time later, not at once.
    EXPECT_EQ(watch.inhibitionChecked(12'000, false), WatchAction::Nothing);
    EXPECT_EQ(watch.nextTick(), 15'000);
    EXPECT_EQ(watch.tick(15'000), WatchAction::AskInhibited);
    // Held again in the meantime: back to asking.
    EXPECT_EQ(watch.inhibitionChecked(15'000, true), WatchAction::Nothing);
    EXPECT_EQ(watch.inhibitionChecked(16'000, false), WatchAction::Nothing);
    EXPECT_EQ(watch.inhibitionChecked(19'000, false), WatchAction::StartShow);

    // The user coming back ends the waiting altogether.
    EXPECT_EQ(watch.showEnded(20'000, false), WatchAction::Nothing);
    watch.userActive();
    EXPECT_EQ(watch.userIdle(30'000, true), WatchAction::Nothing);
    watch.userActive();
    EXPECT_FALSE(watch.nextTick());
    EXPECT_EQ(watch.tick(100'000), WatchAction::Nothing);
}

TEST(IdlePoller, SleepsUntilTheTimeoutCouldBeReachedAndReportsEachChangeOnce)
{
    IdlePoller poller(300'000, 1'000);
    auto look = poller.observe(10'000);
    EXPECT_FALSE(look.becameIdle || look.becameActive);
    EXPECT_GE(look.nextPollMs, 290'000); // one wake-up, not a poll every second
    EXPECT_LE(look.nextPollMs, 291'000);
    // Input in between pushed the idle time back: sleep again for what is left.
    look = poller.observe(120'000);
    EXPECT_FALSE(look.becameIdle);
    EXPECT_LE(look.nextPollMs, 181'000);

    look = poller.observe(300'010);
    EXPECT_TRUE(look.becameIdle);
    EXPECT_EQ(look.nextPollMs, 1'000);
    EXPECT_FALSE(poller.observe(301'010).becameIdle);
    // Back for a moment, and away again past the timeout before the next look.
    look = poller.observe(200);
    EXPECT_TRUE(look.becameActive);
    EXPECT_FALSE(look.becameIdle);
    look = poller.observe(100);
    EXPECT_FALSE(look.becameActive); // already reported
    EXPECT_TRUE(poller.observe(300'000).becameIdle);
}
