// velmora's Win32 music devices under the real winmm: an MP3 through MCI's MPEG-video
// device by its short path, a WAV through PlaySound, bad files, and the CD with no drive.
#include "music/background_music.h"
#include "platform/win32/music/win32_music.h"

#include <gtest/gtest.h>

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

struct Win32MusicTest : ::testing::Test {
    Settings settings;
    Win32MusicDevices devices;
    BackgroundMusic music{settings, devices.mci, devices.sound};
    Sound_01& module = music.module();

    std::string mode() { return module.MciStatus("status MP3Play mode"); }
};

} // namespace

TEST_F(Win32MusicTest, AnMp3PlaysByItsShortPathAndIsRestartedAfterItEnds)
{
    settings.BgmKind = 2;
    settings.BgmFile = audioFile("name with blanks.mp3");
    const std::string shortPath = devices.mci.shortPathName(settings.BgmFile);
    EXPECT_FALSE(shortPath.empty());
    EXPECT_EQ(shortPath.find(' '), std::string::npos) << shortPath;
    EXPECT_EQ(devices.mci.shortPathName(audioFile("missing.mp3")), "");

    music.start();
    ASSERT_EQ(module.ApiResult, 0) << module.MciStatus("status MP3Play mode") << ": " << module.MciText;
    EXPECT_EQ(mode(), "playing");
    // The tone lasts 0.63 s; the limit only stops a hang.
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (mode() == "playing" && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_NE(mode(), "playing");
    music.timer1Tick();
    EXPECT_EQ(mode(), "playing");
    music.stop();
    EXPECT_TRUE(mode().starts_with("Error:")) << mode();
}

TEST_F(Win32MusicTest, AWavPlaysWhereThereIsAWaveDeviceAndBadFilesAClosedDeviceAndNoCdDriveStayQuiet)
{
    if (devices.sound.waveDeviceCount() != 0) {
        EXPECT_TRUE(devices.sound.playLooping(audioFile("tone.wav")));
        devices.sound.stop();
    }
    settings.BgmKind = 2;
    for (const char* name : {"corrupt.mp3", "missing.mp3", "corrupt.wav", "missing.wav"}) {
        settings.BgmFile = audioFile(name);
        music.start();
        music.timer1Tick();
        EXPECT_NE(mode(), "playing") << name;
        music.stop();
        music.stop();
    }
    settings.BgmKind = 1;
    music.start();
    music.timer2Tick();
    EXPECT_FALSE(music.timer2Enabled());
    music.stop();
}
