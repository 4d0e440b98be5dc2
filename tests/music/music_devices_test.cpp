// The music module on the platform's real devices with real files: the SDL2_mixer stand-in on
// SDL's dummy audio driver on Linux, winmm under Wine on Windows. An MP3 plays, ends and is
// restarted by the poll; a WAV plays; bad files, a closed device and no CD drive stay quiet.
#include "music/background_music.h"
#ifdef _WIN32
#include "platform/win32/music/win32_music.h"
#else
#include "platform/linux/music/sdl_music.h"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

using namespace velmora;
using namespace velmora::music;

namespace {

#ifdef _WIN32
using PlatformDevices = win32::Win32MusicDevices;
// The sounds are made on the build machine; Wine shows its root as drive Z:.
std::string audioFile(const std::string& name)
{
    std::string path = std::string("Z:") + VELMORA_TEST_AUDIO_DIR + "/" + name;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}
#else
using PlatformDevices = linux_audio::LinuxMusicDevices;
std::string audioFile(const std::string& name) { return std::string(VELMORA_TEST_AUDIO_DIR) + "/" + name; }
#endif

// Playback reaches these states in well under a second; the limit only stops a hang.
template <typename Condition>
bool eventually(Condition condition)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition() && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return condition();
}

struct MusicDevicesTest : ::testing::Test {
#ifndef _WIN32
    static void SetUpTestSuite() { setenv("SDL_AUDIODRIVER", "dummy", 0); }
#endif

    Settings settings;
    PlatformDevices devices;
    BackgroundMusic music{settings, devices.mci, devices.sound};
    Sound_01& module = music.module();

    std::string status(const std::string& item) { return module.MciStatus("status MP3Play " + item); }
};

} // namespace

TEST_F(MusicDevicesTest, AnMp3PlaysEndsAndIsRestartedFromTheBeginningByThePoll)
{
    settings.BgmKind = 2;
    settings.BgmFile = audioFile("name with blanks.mp3"); // quoted where there are no short names
#ifdef _WIN32
    const std::string shortPath = devices.mci.shortPathName(settings.BgmFile); // none: no open, the start fails
    EXPECT_EQ(shortPath.find(' '), std::string::npos) << shortPath;
    EXPECT_EQ(devices.mci.shortPathName(audioFile("missing.mp3")), "");
#endif
    music.start();
    ASSERT_EQ(module.ApiResult, 0) << status("mode") << ": " << module.MciText;
    EXPECT_EQ(status("mode"), "playing");
    EXPECT_TRUE(music.timer1Enabled() && !music.timer2Enabled() && !music.handlesTrackKeys());
#ifndef _WIN32
    const int length = std::atoi(status("length").c_str());
    EXPECT_NEAR(length, 630, 100);
#endif

    ASSERT_TRUE(eventually([&] { return status("mode") != "playing"; }));
#ifndef _WIN32
    EXPECT_EQ(status("position"), std::to_string(length));
#endif
    music.timer1Tick();
    EXPECT_EQ(status("mode"), "playing");
#ifndef _WIN32
    EXPECT_LT(std::atoi(status("position").c_str()), length / 2);
#endif

    music.stop();
    EXPECT_TRUE(status("mode").starts_with("Error:")) << status("mode");
    EXPECT_FALSE(music.timer1Enabled()); // no poll reopens what the end closed
}

TEST_F(MusicDevicesTest, AWavLoopsUntilStopped)
{
#ifdef _WIN32
    if (devices.sound.waveDeviceCount() == 0)
        GTEST_SKIP() << "no wave output device in this Wine prefix";
    EXPECT_TRUE(devices.sound.playLooping(audioFile("tone.wav"))); // PlaySound tells no more
    devices.sound.stop();
#else
    settings.BgmKind = 2;
    settings.BgmFile = audioFile("tone.wav"); // 0.3 s
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
#endif
}

TEST_F(MusicDevicesTest, CorruptAndMissingFilesAClosedDeviceAndNoCdDriveLeaveTheShowRunningSilently)
{
    settings.BgmKind = 2;
    for (const char* name : {"corrupt.mp3", "missing.mp3", "corrupt.wav", "missing.wav"}) {
        settings.BgmFile = audioFile(name);
        music.start();
        music.timer1Tick();
        EXPECT_NE(status("mode"), "playing") << name;
#ifndef _WIN32
        EXPECT_EQ(status("mode"), "Error:263") << name;
        EXPECT_FALSE(devices.sound.isPlaying()) << name;
#endif
        music.stop();
        music.stop(); // an already closed device
    }
#ifndef _WIN32
    std::string reply;
    EXPECT_EQ(module.MciCommand("open " + audioFile("corrupt.mp3") + " type MPEGVideo Alias X", reply),
              linux_audio::kInvalidFile);
    EXPECT_EQ(module.MciCommand("open \"unterminated", reply), linux_audio::kUnrecognizedKeyword);
#endif

    // No CD drive here: the first poll ends CD polling.
    settings.BgmKind = 1;
    music.start();
    music.timer2Tick();
    EXPECT_FALSE(music.timer2Enabled());
    music.stop();
}
