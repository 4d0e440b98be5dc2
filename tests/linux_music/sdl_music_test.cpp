// The music module driving the SDL2_mixer stand-in with real files on SDL's dummy audio
// driver: MP3 plays, ends and is restarted by the poll; WAV loops; bad files stay quiet.
#include "music/background_music.h"
#include "music/sound_01.h"
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

// Waits for a condition that real playback reaches in well under a second; the limit
// only keeps a broken build from hanging.
template <typename Condition>
bool eventually(Condition condition)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

struct SdlMusicTest : ::testing::Test {
    static void SetUpTestSuite() { setenv("SDL_AUDIODRIVER", "dummy", 0); }

    Settings settings;
    LinuxMusicDevices devices;
    Sound_01 module{settings, devices.mci, devices.sound};

    std::string mode() { return module.MciStatus("status MP3Play mode"); }
};

} // namespace

TEST_F(SdlMusicTest, AnMp3PlaysEndsAndIsRestartedFromTheBeginningByThePoll)
{
    settings.BgmFile = kAudio + "/tone.mp3";
    module.Mp3Open();
    ASSERT_EQ(module.ApiResult, 0) << module.MciText;
    EXPECT_EQ(mode(), "playing");
    EXPECT_TRUE(module.Mp3IsPlaying());
    const int length = std::atoi(module.MciStatus("status MP3Play length").c_str());
    EXPECT_GT(length, 500);
    EXPECT_LT(length, 800);

    ASSERT_TRUE(eventually([&] { return mode() == "stopped"; }));
    EXPECT_EQ(module.MciStatus("status MP3Play position"), std::to_string(length));
    module.Mp3Poll();
    EXPECT_EQ(mode(), "playing");
    EXPECT_LT(std::atoi(module.MciStatus("status MP3Play position").c_str()), length / 2);

    module.Mp3Close();
    EXPECT_EQ(mode(), "Error:263");
}

TEST_F(SdlMusicTest, APositionFromStatusIsOneThatPlayFromAccepts)
{
    settings.BgmFile = kAudio + "/tone.mp3";
    module.Mp3Open();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(module.MciCommand("stop MP3Play", module.MciText), 0);
    const std::string position = module.MciStatus("status MP3Play position");
    EXPECT_GT(std::atoi(position.c_str()), 0);
    EXPECT_EQ(mode(), "stopped");
    EXPECT_EQ(module.MciPlay("MP3Play", position, ""), 0);
    EXPECT_EQ(mode(), "playing");
    EXPECT_NE(module.MciPlay("MP3Play", "99999", ""), 0);
    EXPECT_NE(module.MciPlay("MP3Play", "", "100"), 0);
    EXPECT_EQ(mode(), "playing");
}

TEST_F(SdlMusicTest, APathWithBlanksOpensThroughTheQuotedForm)
{
    settings.BgmFile = kAudio + "/name with blanks.mp3";
    module.Mp3Open();
    EXPECT_EQ(module.ApiResult, 0);
    EXPECT_EQ(mode(), "playing");
}

TEST_F(SdlMusicTest, AWavLoopsUntilStopped)
{
    settings.BgmFile = kAudio + "/tone.wav"; // 0.3 s
    module.WavPlay();
    EXPECT_TRUE(devices.sound.isPlaying());
    std::this_thread::sleep_for(std::chrono::milliseconds(900));
    EXPECT_TRUE(devices.sound.isPlaying());
    module.WavStop();
    EXPECT_FALSE(devices.sound.isPlaying());
}

TEST_F(SdlMusicTest, CorruptAndMissingFilesLeaveTheShowRunningSilently)
{
    for (const char* name : {"/corrupt.mp3", "/missing.mp3"}) {
        settings.BgmKind = 2;
        settings.BgmFile = kAudio + name;
        BackgroundMusic music{settings, devices.mci, devices.sound};
        music.start();
        EXPECT_TRUE(music.timer1Enabled());
        music.timer1Tick();
        music.timer1Tick();
        EXPECT_EQ(mode(), "Error:263") << name;
        music.stop();
    }
    for (const char* name : {"/corrupt.mp3", "/missing.wav"}) {
        settings.BgmFile = kAudio + name;
        module.WavPlay();
        EXPECT_FALSE(devices.sound.isPlaying()) << name;
        module.WavStop();
    }
    std::string reply;
    EXPECT_EQ(module.MciCommand("open " + kAudio + "/corrupt.mp3 type MPEGVideo Alias X", reply), 296);
    EXPECT_EQ(module.MciCommand("close MP3Play", reply), 263); // already closed
}

TEST_F(SdlMusicTest, TheCdAnswersAsASystemWithoutADriveSoPollingStops)
{
    settings.BgmKind = 1;
    BackgroundMusic music{settings, devices.mci, devices.sound};
    music.start();
    music.timer2Tick();
    EXPECT_FALSE(music.timer2Enabled());
    music.nextTrack();
    music.stop();
    EXPECT_EQ(module.MciStatus("status cdaudio current track"), "Error:263");
}

TEST_F(SdlMusicTest, CommandsTheStandInDoesNotSpeakFailWithATextNotACrash)
{
    std::string reply;
    EXPECT_EQ(module.MciCommand("dance MP3Play", reply), 261);
    EXPECT_EQ(module.MciCommand("open \"unterminated", reply), 259);
    EXPECT_EQ(module.MciCommand("   ", reply), 267);
    EXPECT_FALSE(reply.empty());
    EXPECT_EQ(module.MciCommand("status", reply), 259);
}
