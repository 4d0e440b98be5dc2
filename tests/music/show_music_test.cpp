// The show's music wiring: which player the file name starts, the two poll timers, the
// track keys and what the end of the show stops.
#include "music/background_music.h"
#include "fake_devices.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::music;
using namespace velmora::music::testing;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

struct ShowMusicTest : ::testing::Test {
    Settings settings;
    FakeMci mci;
    FakeSound sound;
    BackgroundMusic music{settings, mci, sound};

    void useFile(const std::string& path)
    {
        settings.BgmKind = 2;
        settings.BgmFile = path;
        mci.shortNames[path] = path;
    }
};

} // namespace

TEST(MusicFileKind, TakesTheLastThreeCharactersInAnyCase)
{
    EXPECT_EQ(musicFileKind("a.WaV"), MusicFileKind::Wav);
    EXPECT_EQ(musicFileKind("C:\\x\\song.Mp3"), MusicFileKind::Mp3);
    EXPECT_EQ(musicFileKind("mp3"), MusicFileKind::Mp3);
    EXPECT_EQ(musicFileKind("song.mp3 "), MusicFileKind::Other);
    EXPECT_EQ(musicFileKind("song.ogg"), MusicFileKind::Other);
    EXPECT_EQ(musicFileKind("p3"), MusicFileKind::Other);
}

TEST_F(ShowMusicTest, AnMp3StartsWithTheShowAndRestartsWithinOnePollAfterItEnds)
{
    useFile("C:\\MUSIC\\TUNE.MP3");
    settings.BgmRepeat = 3; // a CD setting: no effect on files
    music.start();
    EXPECT_TRUE(music.timer1Enabled());
    EXPECT_FALSE(music.timer2Enabled());
    EXPECT_FALSE(music.handlesTrackKeys());
    EXPECT_THAT(mci.takeSent(), ElementsAre("open C:\\MUSIC\\TUNE.MP3 type MPEGVideo Alias MP3Play", "play MP3Play"));

    music.timer1Tick();
    EXPECT_THAT(mci.takeSent(), ElementsAre("status MP3Play mode"));
    mci.mp3Mode = "stopped"; // the file has ended
    music.timer1Tick();
    EXPECT_THAT(mci.takeSent(), ElementsAre("status MP3Play mode", "stop MP3Play", "play MP3Play from 0"));
    EXPECT_EQ(mci.mp3Mode, "playing");

    music.stop();
    EXPECT_THAT(mci.takeSent(), ElementsAre("stop MP3Play", "close MP3Play"));
    EXPECT_FALSE(music.timer1Enabled());
}

TEST_F(ShowMusicTest, AnMp3ThatCannotOpenKeepsItsPollAndTheShowSilent)
{
    useFile("/music/broken.mp3");
    mci.mp3Openable = false;
    music.start();
    EXPECT_TRUE(music.timer1Enabled());
    for (int i = 0; i < 3; ++i)
        music.timer1Tick();
    music.stop();
    EXPECT_FALSE(mci.mp3Open);
}

TEST_F(ShowMusicTest, AWavLoopsByItselfAndStopsWithTheShow)
{
    useFile("C:\\Music\\Rain.wav");
    music.start();
    EXPECT_THAT(sound.played, ElementsAre("C:\\Music\\Rain.wav"));
    EXPECT_FALSE(music.timer1Enabled());
    EXPECT_FALSE(music.timer2Enabled());
    EXPECT_THAT(mci.sent, IsEmpty());
    music.stop();
    EXPECT_EQ(sound.stops, 1);
}

TEST_F(ShowMusicTest, WithoutAWaveDeviceAWavIsNotPlayed)
{
    useFile("rain.WAV");
    sound.devices = 0;
    music.start();
    EXPECT_THAT(sound.played, IsEmpty());
}

TEST_F(ShowMusicTest, OtherEndingsAndNoMusicStartNothing)
{
    for (const auto& [kind, file] : {std::pair{2, "song.ogg"}, std::pair{0, "song.mp3"}, std::pair{2, ""}}) {
        settings.BgmKind = std::int16_t(kind);
        settings.BgmFile = file;
        BackgroundMusic quiet{settings, mci, sound};
        quiet.start();
        EXPECT_FALSE(quiet.timer1Enabled());
        EXPECT_FALSE(quiet.timer2Enabled());
        quiet.stop();
    }
    EXPECT_THAT(mci.sent, IsEmpty());
    EXPECT_THAT(sound.played, IsEmpty());
    EXPECT_EQ(sound.stops, 0);
}

TEST_F(ShowMusicTest, TheCdPollsWhileThereIsADiscAndClosesWithTheShow)
{
    settings.BgmKind = 1;
    music.start();
    EXPECT_TRUE(music.timer2Enabled());
    EXPECT_TRUE(music.handlesTrackKeys());
    music.timer2Tick();
    EXPECT_EQ(mci.cdMode, "playing");
    music.nextTrack();
    EXPECT_EQ(mci.track, 2);
    music.previousTrack();
    EXPECT_EQ(mci.track, 1);
    mci.takeSent();

    music.stop();
    EXPECT_THAT(mci.sent, ElementsAre("stop cdaudio", "close cdaudio"));
    EXPECT_FALSE(music.timer2Enabled());
}

TEST_F(ShowMusicTest, NoDiscEndsCdPollingForGoodAndLeavesTheDeviceToTheEnd)
{
    settings.BgmKind = 1;
    mci.disc = false;
    music.start();
    music.timer2Tick();
    EXPECT_FALSE(music.timer2Enabled());
    EXPECT_FALSE(music.module().CdPolling);
    mci.takeSent();

    music.timer2Tick(); // a tick already queued when polling ended
    music.nextTrack();  // the keys still reach the module but nothing can play
    EXPECT_THAT(mci.takeSent(), ElementsAre("status cdaudio current track", "status cdaudio position track 1",
                                            "play cdaudio from Error:263"));
    music.stop();
    EXPECT_THAT(mci.sent, IsEmpty());
}

TEST_F(ShowMusicTest, TrackKeysBelongToTheCdOnly)
{
    useFile("tune.mp3");
    music.start();
    mci.takeSent();
    music.nextTrack();
    music.previousTrack();
    EXPECT_THAT(mci.sent, IsEmpty());
}
