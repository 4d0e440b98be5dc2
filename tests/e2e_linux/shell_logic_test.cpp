// The Linux shell's own logic, without a display: argument reading, key mapping, pixel
// layouts, the timer driver that lets the process sleep, signals as a wake-up, and which
// show each Wayland output carries.
#include "platform/linux/shell_fps.h"
#include "platform/linux/shell_options.h"
#include "platform/linux/shell_pixels.h"
#include "platform/linux/shell_signal_wake.h"
#include "platform/linux/shell_ticker.h"
#include "platform/linux/startup_linux.h"
#include "platform/linux/wayland_output_slots.h"
#include "tests/startup/fake_file_system.h"
#include "tests/show/show_rig.h"

#include <SDL2/SDL_keycode.h>
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <poll.h>

#include <csignal>
#include <cstdlib>
#include <sstream>

using namespace velmora;
using namespace velmora::shell;

namespace {

Result<ShellOptions> parse(std::vector<std::string> args, const char* env = nullptr)
{
    return parseShellOptions(args, env);
}

// One picture, on a clock the test moves.
struct TickerRig : show::testing::Show {
    TickerRig()
    {
        addPicture("one.bmp", Picture(64, 48));
        start(64, 48);
    }
};

} // namespace

TEST(ShellOptions, EitherDashFormAnywhereAndOnlyScreenSaverLettersAreLeftForMain)
{
    struct Case {
        std::vector<std::string> args;
        const char* commandLine;
    };
    const Case cases[] = {
        {{"/p", "1234", "--ini", "/tmp/v.ini", "-fps"}, "/p 1234"},
        {{"-fps", "/p", "1234", "--ini=/tmp/v.ini"}, "/p 1234"},
        {{"/c:99", "-ini", "/tmp/v.ini", "--fps"}, "/c:99"},
        {{"-root", "-S", "-fps", "-ini", "/tmp/v.ini"}, "-S"},
        {{"--fps", "--ini", "/tmp/v.ini"}, ""},
        // The settings window by name is the letter C, alone or with it.
        {{"--fps", "--settings", "--ini", "/tmp/v.ini"}, "/c"},
        {{"-c", "-settings", "--ini", "/tmp/v.ini", "-fps"}, "/c"},
    };
    for (const Case& c : cases) {
        const auto p = parse(c.args);
        ASSERT_TRUE(p.ok()) << c.args.front() << ": " << reasonText(p);
        EXPECT_EQ(p->commandLine, c.commandLine) << c.args.front();
        EXPECT_EQ(p->iniFile, "/tmp/v.ini") << c.args.front();
        EXPECT_TRUE(p->fps) << c.args.front();
    }
    // Anything else (a handle away from its letter too) is refused with a reason (the program then prints the usage, exit 2)...
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"--fullscreen"}, {"-x"}, {"/x"}, {"s"}, {"-s", "/c"}, {"-s", "extra"}, {"/p", "-fps", "1234"},
                                               {"--ini"}, {"--ini", ""}, {"-fps=1"}, {"--order", "shuffled"},
                                               {"--kinds", "jpg,psd"}, {"--repeat-track", "100"}, {"-window-id"}, {"--monitors", "both"},
                                               {"-s", "--settings"}, {"--settings=1"}}) {
        EXPECT_FALSE(reasonText(parse(bad)).empty()) << bad.front(); // a parse that succeeds has no reason
    }
    // ...unless --help or --version asks for nothing to run.
    EXPECT_TRUE(parse({"-bogus", "-help"})->help);
    EXPECT_TRUE(parse({"/s", "--version", "--order"})->version);
}

TEST(ShellOptions, SettingOptionsOverrideOnlyWhatTheyName)
{
    const auto p = parse({"-order", "random", "--size=original", "--filters", "same", "-kinds", "jpg,wmf,heic", "--music",
                          "cd", "-repeat-track", "3", "--folder", "/srv/pictures/../photos", "--resume", "no",
                          "--monitors", "primary"});
    ASSERT_TRUE(p.ok()) << reasonText(p);
    const posix::SettingsOverrides& o = p->overrides;
    EXPECT_EQ(o.imageOrder, 1);
    EXPECT_EQ(o.imageSize, 0);
    EXPECT_EQ(o.filterMode, 0);
    EXPECT_EQ(o.imageKinds, (ImageKindFlags{0, 0, 1, 1, 1})); // any newer kind's word: the fifth kind
    EXPECT_EQ(o.bgmKind, 1);
    EXPECT_FALSE(o.bgmFile.has_value());
    EXPECT_EQ(o.bgmRepeat, 3);
    EXPECT_EQ(o.folder, "/srv/photos");
    EXPECT_EQ(o.resume, 0);
    EXPECT_FALSE(parse({"--resume", "maybe"}).ok());
    EXPECT_EQ(o.allMonitors, 0);

    const auto file = parse({"--music", "song.mp3"})->overrides;
    EXPECT_EQ(file.bgmKind, 2);
    ASSERT_TRUE(file.bgmFile.has_value());
    EXPECT_EQ(file.bgmFile->front(), '/'); // made absolute: the daemon starts us elsewhere
    EXPECT_FALSE(parse({})->overrides.folder.has_value());

    // The daemon runs us without a shell, and its settings window writes "~/".
    ::setenv("HOME", "/home/someone", 1);
    const auto tilde = parse({"--folder", "~/Pictures", "--music=~/a.mp3", "-ini", "~"});
    EXPECT_EQ(tilde->overrides.folder, "/home/someone/Pictures");
    EXPECT_EQ(tilde->overrides.bgmFile, "/home/someone/a.mp3");
    EXPECT_EQ(tilde->iniFile, "/home/someone");
}

// The daemon hands its settings over as options: a music file replaces the settings file's
// choice for the run; one that is not there is said, and the run has no music.
TEST(ShellOptions, AMusicFileFromTheDaemonsOptionsIsPlayedInPlaceOfTheSettingsFilesChoice)
{
    velmora::testing::FakeFileSystem fs('/');
    posix::IconvCodec codec;
    fs.addFolder("/cfg");
    fs.addFolder("/m");
    fs.addFile("/cfg/mine.ini", "[Section]\r\n" + codec.toCp932("BGM区分= 1\r\nBGMﾌｧｲﾙ=/old.wav\r\n").value());
    fs.addFile("/m/song.mp3");
    const SettingsLocation location{{}, {}, "/cfg/mine.ini"};
    for (const char* music : {"/m/song.mp3", "/m/gone.mp3"}) {
        const Result<ShellOptions> parsed = parse({"--music", music}, "0x400001");
        ASSERT_TRUE(parsed.ok() && parsed->fromDaemon) << reasonText(parsed);
        Settings settings;
        Catalogue catalogue;
        std::ostringstream messages;
        posix::loadRunSettings({location, parsed->overrides, posix::DaemonPreferences{}}, fs, codec, settings,
                               catalogue, messages);
        // A file that is not there stays chosen (it plays nothing) and is reported.
        const bool there = fs.fileExists(music);
        EXPECT_EQ(settings.BgmKind, 2) << music;
        EXPECT_EQ(settings.BgmFile, music);
        EXPECT_EQ(messages.str().find(music) != std::string::npos, !there) << messages.str();
    }
}

TEST(ShellOptions, WindowComesFromTheOptionThenTheDaemonThenRoot)
{
    auto p = parse({"--window-id", "0x1a00005"});
    EXPECT_EQ(p->target, Target::XWindow);
    EXPECT_EQ(p->windowId, 0x1a00005u);
    EXPECT_EQ(parse({"-window-id", "27262981"})->windowId, 27262981u);

    // A given window wins over the daemon's, whose window wins over -root and brings its
    // settings (daemon_e2e.sh).
    EXPECT_EQ(parse({"--window-id", "12"}, "0x400001")->windowId, 12u);
    EXPECT_EQ(parse({"-root"})->target, Target::XRoot);
    EXPECT_EQ(parse({"-root", "--window"})->target, Target::OwnWindow);
    EXPECT_EQ(parse({"-display", ":5", "-window"})->display, ":5");
    EXPECT_EQ(parse({}, "")->target, Target::FullScreen);
    EXPECT_FALSE(parse({"--window-id", "12"}, "0x400001")->fromDaemon);
    // The daemon's settings window gives its preview both ways: the daemon's settings hold there.
    EXPECT_TRUE(parse({"--window-id", "0x400001"}, "4194305")->fromDaemon);

    for (const char* bad : {"", "0", "0x", "-5", "+5", "12abc", "0x2000_0000", "99999999999999999999", "0x20000000"}) {
        EXPECT_FALSE(parseWindowId(bad).has_value()) << bad;
    }
    EXPECT_FALSE(parse({"--window-id", "zz"}).ok());
    // A broken value from the daemon must not become a full-screen show over its lock.
    EXPECT_FALSE(parse({}, "garbage").ok());
}

TEST(ShellBackend, AWaylandSessionIsNeverShownThroughItsXServer)
{
    const auto autoChoice = [](const char* wayland, const char* x, bool displayOption = false) {
        return chooseVideoBackend(BackendRequest::Auto, wayland, x, displayOption);
    };
    EXPECT_EQ(autoChoice("wayland-1", ":0"), VideoBackend::Wayland);
    EXPECT_EQ(autoChoice("wayland-1", nullptr), VideoBackend::Wayland);
    EXPECT_EQ(autoChoice(nullptr, ":0"), VideoBackend::X11);
    EXPECT_EQ(autoChoice("", ":0"), VideoBackend::X11); // set but empty is unset
    EXPECT_EQ(autoChoice(nullptr, nullptr), VideoBackend::NoDisplay);
    EXPECT_EQ(autoChoice("", ""), VideoBackend::NoDisplay);
    // --display names an X server on purpose, even on a Wayland session.
    EXPECT_EQ(autoChoice("wayland-1", nullptr, true), VideoBackend::X11);

    // An explicit request is kept, and with its display unnamed there is nothing to show on,
    // not the other system.
    EXPECT_EQ(chooseVideoBackend(BackendRequest::X11, "wayland-1", ":0", false), VideoBackend::X11);
    EXPECT_EQ(chooseVideoBackend(BackendRequest::X11, "wayland-1", nullptr, false), VideoBackend::NoDisplay);
    EXPECT_EQ(chooseVideoBackend(BackendRequest::Wayland, nullptr, ":0", false), VideoBackend::NoDisplay);

    EXPECT_EQ(parse({"--backend", "x11"})->backend, BackendRequest::X11);
    EXPECT_EQ(parse({"-backend=wayland", "/s"})->backend, BackendRequest::Wayland);
    EXPECT_EQ(parse({})->backend, BackendRequest::Auto);
    EXPECT_FALSE(parse({"--backend", "xwayland"}).ok());
}

TEST(ShellOptions, OnlyTheArrowKeysMapToTheTrackKeyCodes)
{
    EXPECT_EQ(windowsKeyCode(SDLK_LEFT), show::KeyLeftArrow);
    EXPECT_EQ(windowsKeyCode(SDLK_RIGHT), show::KeyRightArrow);
    for (SDL_Keycode other : {SDLK_PERCENT, SDLK_QUOTE, SDLK_a, SDLK_z, SDLK_0, SDLK_F1, SDLK_LSHIFT, SDLK_KP_4}) {
        EXPECT_NE(windowsKeyCode(other), show::KeyLeftArrow) << other; // '%' is 37, as the left arrow's code
        EXPECT_NE(windowsKeyCode(other), show::KeyRightArrow) << other;
    }
    // A Wayland seat's key codes: the codes 37 and 39 themselves are the K and ; keys there.
    EXPECT_EQ(windowsKeyCodeFromEvdev(KEY_LEFT), show::KeyLeftArrow);
    EXPECT_EQ(windowsKeyCodeFromEvdev(KEY_RIGHT), show::KeyRightArrow);
    for (std::uint32_t other : {37u, 39u, unsigned(KEY_UP), unsigned(KEY_KP4), unsigned(KEY_KP6), 0u}) {
        EXPECT_NE(windowsKeyCodeFromEvdev(other), show::KeyLeftArrow) << other;
        EXPECT_NE(windowsKeyCodeFromEvdev(other), show::KeyRightArrow) << other;
    }
}

TEST(SignalWake, ATerminationSignalWakesTheSleeperInsteadOfEndingTheProcessAndIsGivenBack)
{
    struct sigaction before {};
    sigaction(SIGTERM, nullptr, &before);
    {
        SignalWake wake;
        ASSERT_GE(wake.fd(), 0);
        EXPECT_FALSE(wake.taken());
        std::raise(SIGTERM);
        pollfd readable{wake.fd(), POLLIN, 0};
        EXPECT_EQ(poll(&readable, 1, 0), 1);
        EXPECT_TRUE(wake.taken());
        EXPECT_FALSE(wake.taken()) << "a signal is taken once";
    }
    struct sigaction after {};
    sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

TEST(OutputSlots, AnOutputThatComesBackTakesTheShowLeftBehindThePrimarysFirst)
{
    OutputSlots slots(true);
    EXPECT_EQ(slots.attach(40).slot, 0);
    EXPECT_TRUE(slots.attach(41).made);
    EXPECT_TRUE(slots.attach(42).made);
    EXPECT_FALSE(slots.attach(41).made) << "a new size for an output keeps its show";
    EXPECT_EQ(slots.placeOf(2).index, 2);
    EXPECT_EQ(slots.placeOf(2).count, 3);

    // The primary's output and another go: their shows wait, the primary's still ticking (its
    // music, the catalogue the others read), the other not.
    EXPECT_EQ(slots.detach(42), 2);
    EXPECT_EQ(slots.detach(40), 0);
    EXPECT_EQ(slots.detach(40), std::nullopt);
    EXPECT_TRUE(slots.ticking(0));
    EXPECT_FALSE(slots.ticking(2));
    EXPECT_TRUE(slots.ticking(1));

    const OutputSlots::Attachment back = slots.attach(43);
    EXPECT_EQ(back.slot, 0);
    EXPECT_FALSE(back.made);
    EXPECT_EQ(slots.attach(44).slot, 2);
    EXPECT_TRUE(slots.attach(45).made);
    EXPECT_EQ(slots.size(), 4);
    EXPECT_EQ(slots.placeOf(3).count, 4) << "every show's place counts the new one";
}

TEST(OutputSlots, WithThePrimaryOnlyTheOthersAreBlackCovers)
{
    OutputSlots slots(false);
    slots.attach(7);
    slots.attach(8);
    EXPECT_TRUE(slots.runsShow(0));
    EXPECT_FALSE(slots.runsShow(1));
    EXPECT_EQ(slots.placeOf(0).count, 1) << "the primary's show takes every picture";
}

TEST(ShellPixels, OtherLayoutsRoundTripThroughThePicture)
{
    Picture source(3, 2);
    source.setPixel(0, 0, 255, 0, 0);
    source.setPixel(1, 0, 0, 255, 0);
    source.setPixel(2, 0, 0, 0, 255);
    source.setPixel(0, 1, 255, 255, 255);
    source.setPixel(2, 1, 8, 132, 200);

    const PixelLayout rgb565{16, 0xF800, 0x07E0, 0x001F, false};
    const PixelLayout bgr24Msb{24, 0x0000FF, 0x00FF00, 0xFF0000, true};
    for (const PixelLayout& layout : {rgb565, bgr24Msb, PixelLayout{}}) {
        const int stride = 3 * layout.bitsPerPixel / 8 + 2; // padded rows
        std::vector<std::uint8_t> packed(std::size_t(stride) * 2, 0xEE);
        ASSERT_TRUE(packPixels(source, {0, 0, 3, 2}, layout, packed.data(), stride));
        Picture back;
        ASSERT_TRUE(unpackPixels(packed.data(), stride, layout, 3, 2, back));
        ASSERT_EQ(back.width(), 3);
        // Full scale and black survive any depth; 565 keeps the top bits of the rest.
        EXPECT_EQ(back.pixelValue(0, 1), 0xFFFFFFu & 0x00FFFFFF);
        EXPECT_EQ(back.pixelValue(1, 1), 0u);
        EXPECT_EQ(back.pixelValue(0, 0), 0x0000FFu);
        EXPECT_EQ(back.pixelValue(2, 0), 0xFF0000u);
        const std::uint8_t* p = back.pixel(2, 1);
        EXPECT_NEAR(p[0], 8, 8);
        EXPECT_NEAR(p[1], 132, 4);
        EXPECT_NEAR(p[2], 200, 8);
    }
    // Bytes of a 24-bit big-endian pixel come red-last for a blue-high mask.
    std::uint8_t one[3];
    ASSERT_TRUE(packPixels(source, {2, 1, 1, 1}, bgr24Msb, one, 3));
    EXPECT_EQ(one[0], 8);
    EXPECT_EQ(one[2], 200);
    // Split or oversized masks and palette depths are refused, not drawn wrongly.
    EXPECT_FALSE(packPixels(source, {0, 0, 1, 1}, {8, 0xE0, 0x1C, 0x03, false}, one, 3));
    EXPECT_FALSE(packPixels(source, {0, 0, 1, 1}, {16, 0x1F0000, 0x07E0, 0x001F, false}, one, 3));
    EXPECT_FALSE(packPixels(source, {0, 0, 1, 1}, {32, 0xF0F000, 0x00FF00, 0x0000FF, false}, one, 3));
}

TEST(ShowTicker, SleepsThroughThePauseBetweenPicturesAndWakesForItsEnd)
{
    TickerRig rig;
    ASSERT_TRUE(rig.frameUntil([&] { return rig.state().phase == show::ShowPhase::PauseBeforeReveal; }));
    ShowTicker ticker(*rig.form, 16);

    // Nothing to do for a second but the MP3 poll: the wait says so, and no frame is drawn.
    std::int64_t now = rig.platform.now + 1;
    rig.platform.now = now;
    const int presentsBefore = rig.platform.presentCount;
    const int wait = ticker.run(now);
    const std::int64_t pauseEnd = rig.form->nextWorkAt(now).value_or(0);
    EXPECT_GT(wait, 16);
    EXPECT_LE(now + wait, pauseEnd);
    EXPECT_EQ(rig.platform.presentCount, presentsBefore);

    // At the pause's end the reveal starts drawing again.
    now = pauseEnd;
    rig.platform.now = now;
    for (int i = 0; i < 3; ++i) {
        now += ticker.run(now);
        rig.platform.now = now;
    }
    EXPECT_EQ(rig.form->state().phase, show::ShowPhase::Reveal);
    EXPECT_GT(rig.platform.presentCount, presentsBefore);
}

TEST(ShowTicker, FramesAndMusicPollsKeepToTheirTimelinesWakingEarlyRatherThanLate)
{
    TickerRig rig;
    ShowTicker ticker(*rig.form, 16);
    auto runAt = [&](std::int64_t now) {
        rig.platform.now = now;
        return ticker.run(now);
    };
    // The first frame at once; the shell is asked to wake a millisecond before the next is due.
    EXPECT_EQ(runAt(0), 15);
    // Woken at that time, the frame runs then rather than a whole interval later.
    EXPECT_EQ(runAt(15), 16);
    EXPECT_EQ(ticker.frameIntervals().count(), 1);
    EXPECT_EQ(rig.state().FlipStep, 2); // one frame a run: the tile's start, then its first tick
    // Woken 5 ms late: the wait for the next frame is shorter, so it is back on the timeline
    // (due at 48); the time the frame itself took comes off the wait as well.
    EXPECT_EQ(runAt(37), 10);
    EXPECT_EQ(ticker.waitFrom(40), 7);
    EXPECT_EQ(runAt(47), 16);
    // Too early for a frame: nothing runs and the wait still aims at the timeline.
    EXPECT_EQ(runAt(52), 11);
    EXPECT_EQ(ticker.frameIntervals().count(), 3);
    // A stall of more than a frame starts the timeline again from now, without a burst.
    EXPECT_EQ(runAt(200), 15);
    EXPECT_EQ(runAt(201), 14);
    std::ostringstream line; // 15, 22, 10 and the stall's 153, which alone is late
    ticker.frameIntervals().print(line, 16);
    EXPECT_EQ(line.str(), "velmora: frame intervals (ms x count): 10 x 1, 15 x 1, 22 x 1, 153 x 1; 4 intervals, "
                          "1 of 24 ms or more\n");

    // The music poll has a timeline of its own, from the first run on: one poll a second, the
    // first one interval after the start, and a ten-second stall gives one poll, not ten.
    for (std::int64_t now = 208; now <= 3000; now += 16) runAt(now);
    EXPECT_EQ(rig.music.timer1Ticks, 2);
    runAt(13'000);
    EXPECT_EQ(rig.music.timer1Ticks, 3);
    EXPECT_EQ(frameIntervalFor(0), show::FrameIntervalMs);
    EXPECT_EQ(frameIntervalFor(30), 33);
    EXPECT_EQ(frameIntervalFor(144), show::FrameIntervalMs);
}

TEST(FpsBadge, CountsTheFramesOfEachSecondAndStaysInsideASmallPreview)
{
    FpsBadge badge;
    EXPECT_TRUE(badge.update(5000, 100)); // shown from the first frame on
    EXPECT_FALSE(badge.update(5900, 150));
    EXPECT_TRUE(badge.update(6250, 175)); // 75 frames in 1.25 s
    EXPECT_EQ(badge.text(), "FPS: 60.0");
    EXPECT_TRUE(badge.update(7250, 175)); // a pause between pictures runs no frames
    EXPECT_EQ(badge.text(), "FPS: 0.0");

    // White text on black in the bottom-left corner of a screen: daemon_e2e.sh's -fps case.
    const show::Rect tiny = badge.placeIn(40, 10); // a small preview: clipped, never outside
    EXPECT_EQ(tiny.width, 40);
    EXPECT_EQ(tiny.y, 0);
}
