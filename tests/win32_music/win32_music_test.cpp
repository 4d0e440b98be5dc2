// velmora's Win32 music devices under the real winmm: an MP3 through MCI's MPEG-video
// device, a WAV through PlaySound, short paths, and the CD with no drive.
#include "music/background_music.h"
#include "music/sound_01.h"
#include "platform/win32/music/win32_music.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <thread>

using namespace velmora;
using namespace velmora::music;
using namespace velmora::music::win32;

namespace {

// The sounds are made on the build machine; Wine shows its root as drive Z:.
std::string audioFile(const std::string& name)
{
    std::string path = std::string("Z:") + VELMORA_TEST_AUDIO_DIR + "/" + name;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

// Real playback reaches these states in well under a second; the limit only keeps a
// broken driver from hanging the suite.
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

struct Win32MusicTest : ::testing::Test {
    Settings settings;
    Win32MusicDevices devices;
    Sound_01 module{settings, devices.mci, devices.sound};

    std::string mode() { return module.MciStatus("status MP3Play mode"); }
};

} // namespace

TEST_F(Win32MusicTest, ShortPathsHaveNoBlanksAndAMissingFileHasNone)
{
    const std::string shortPath = devices.mci.shortPathName(audioFile("name with blanks.mp3"));
    EXPECT_FALSE(shortPath.empty());
    EXPECT_EQ(shortPath.find(' '), std::string::npos) << shortPath;
    EXPECT_EQ(devices.mci.shortPathName(audioFile("missing.mp3")), "");
}

TEST_F(Win32MusicTest, AnMp3PlaysThroughMciAndIsRestartedAfterItEnds)
{
    settings.BgmFile = audioFile("name with blanks.mp3");
    module.Mp3Open();
    ASSERT_EQ(module.ApiResult, 0) << "open failed: " << module.MciStatus("status MP3Play mode") << " / "
                                   << module.MciText;
    EXPECT_EQ(mode(), "playing");
    ASSERT_TRUE(eventually([&] { return mode() != "playing"; }));
    module.Mp3Poll();
    EXPECT_EQ(mode(), "playing");
    module.Mp3Close();
    EXPECT_TRUE(mode().starts_with("Error:")) << mode();
    EXPECT_FALSE(module.MciText.empty());
}

TEST_F(Win32MusicTest, CorruptAndMissingMp3sAndAClosedDeviceStayQuiet)
{
    for (const char* name : {"corrupt.mp3", "missing.mp3"}) {
        settings.BgmKind = 2;
        settings.BgmFile = audioFile(name);
        BackgroundMusic music{settings, devices.mci, devices.sound};
        music.start();
        music.timer1Tick();
        EXPECT_NE(mode(), "playing") << name;
        music.stop();
        music.stop();
    }
}

TEST_F(Win32MusicTest, AWavLoopsThroughPlaySoundWhenThereIsAWaveDevice)
{
    if (devices.sound.waveDeviceCount() == 0)
        GTEST_SKIP() << "no wave output device in this Wine prefix";
    EXPECT_TRUE(devices.sound.playLooping(audioFile("tone.wav")));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    devices.sound.stop();
    // Asynchronous: a missing file is found out later, and without the default sound
    // it stays silent. What can be checked here is that nothing goes wrong.
    devices.sound.playLooping(audioFile("missing.wav"));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    devices.sound.stop();
}

TEST_F(Win32MusicTest, WithoutACdDriveTheFirstPollEndsCdPolling)
{
    settings.BgmKind = 1;
    BackgroundMusic music{settings, devices.mci, devices.sound};
    music.start();
    music.timer2Tick();
    EXPECT_FALSE(music.timer2Enabled());
    music.stop();
}
