// The music module driving the SDL2_mixer stand-in with real files on SDL's dummy audio
// driver: an MP3 plays, ends and is restarted by the poll; a WAV loops; bad files stay quiet.
#include "music/background_music.h"
#include "platform/linux/music/sdl_music.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

using namespace velmora;
using namespace velmora::music;
using namespace velmora::music::linux_audio;

namespace {

const std::string kAudio = VELMORA_TEST_AUDIO_DIR;

// Playback reaches these states in well under a second; the limit only stops a hang.
template <typename Condition>
bool eventually(Condition condition)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition() && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return condition();
}

struct SdlMusicTest : ::testing::Test {
    static void SetUpTestSuite() { setenv("SDL_AUDIODRIVER", "dummy", 0); }

    Settings settings;
    LinuxMusicDevices devices;
    BackgroundMusic music{settings, devices.mci, devices.sound};
    Sound_01& module = music.module();

    std::string status(const std::string& item) { return module.MciStatus("status MP3Play " + item); }
};

} // namespace

TEST_F(SdlMusicTest, AnMp3PlaysEndsAndIsRestartedFromTheBeginningByThePoll)
{
    settings.BgmKind = 2;
    settings.BgmFile = kAudio + "/name with blanks.mp3";
    music.start();
    ASSERT_EQ(module.ApiResult, 0) << module.MciText;
    EXPECT_EQ(status("mode"), "playing");
    EXPECT_TRUE(music.timer1Enabled() && !music.timer2Enabled() && !music.handlesTrackKeys());
    const int length = std::atoi(status("length").c_str());
    EXPECT_NEAR(length, 630, 100);

    ASSERT_TRUE(eventually([&] { return status("mode") == "stopped"; }));
    EXPECT_EQ(status("position"), std::to_string(length));
    music.timer1Tick();
    EXPECT_EQ(status("mode"), "playing");
    EXPECT_LT(std::atoi(status("position").c_str()), length / 2);

    // A position from status is one that play ... from accepts.
    ASSERT_EQ(module.MciCommand("stop MP3Play", module.MciText), 0);
    EXPECT_EQ(module.MciPlay("MP3Play", status("position"), ""), 0);
    EXPECT_EQ(status("mode"), "playing");
    EXPECT_NE(module.MciPlay("MP3Play", "99999", ""), 0);

    music.stop();
    EXPECT_EQ(status("mode"), "Error:263");
}

TEST_F(SdlMusicTest, AWavLoopsUntilStopped)
{
    settings.BgmKind = 2;
    settings.BgmFile = kAudio + "/tone.wav"; // 0.3 s
    music.start();
    ASSERT_TRUE(eventually([&] { return devices.sound.isPlaying(); }));
    // Watched through three lengths of the tone: a sound that plays once stops in between.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(900);
    while (std::chrono::steady_clock::now() < until) {
        ASSERT_TRUE(devices.sound.isPlaying());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    music.stop();
    EXPECT_FALSE(devices.sound.isPlaying());
}

TEST_F(SdlMusicTest, CorruptAndMissingFilesAndTheCdLeaveTheShowRunningSilently)
{
    settings.BgmKind = 2;
    for (const char* name : {"/corrupt.mp3", "/missing.mp3", "/corrupt.wav", "/missing.wav"}) {
        settings.BgmFile = kAudio + name;
        music.start();
        music.timer1Tick();
        EXPECT_EQ(status("mode"), "Error:263") << name;
        EXPECT_FALSE(devices.sound.isPlaying()) << name;
        music.stop();
        music.stop(); // an already closed device
    }
    std::string reply;
    EXPECT_EQ(module.MciCommand("open " + kAudio + "/corrupt.mp3 type MPEGVideo Alias X", reply), kInvalidFile);
    EXPECT_EQ(module.MciCommand("open \"unterminated", reply), kUnrecognizedKeyword);

    // No MCI CD device here: the first poll ends CD polling, as with no drive.
    settings.BgmKind = 1;
    music.start();
    music.timer2Tick();
    EXPECT_FALSE(music.timer2Enabled());
    music.stop();
}
