// The music module and the show's wiring against a scripted MCI device: reply and
// error-text rules, which files start what, and the CD's exact commands: repeat, keys, end.
// An MP3's open (short path, or quoted with blanks), restart and close run against the real
// devices in music_devices_test.
#include "music/background_music.h"
#include "fake_devices.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::music;
using namespace velmora::music::testing;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

struct MusicTest : ::testing::Test {
    Settings settings;
    FakeMci mci;
    FakeSound sound;
    BackgroundMusic music{settings, mci, sound};
    Sound_01& module = music.module();

    void useCd(int repeat)
    {
        settings.BgmKind = 1;
        settings.BgmRepeat = std::int16_t(repeat);
        music.start();
        mci.takeSent();
    }
    // What the device was told to do since the last look; the status queries only lead there.
    std::vector<std::string> actions()
    {
        std::vector<std::string> done;
        for (std::string& command : mci.takeSent())
            if (!command.starts_with("status ")) done.push_back(std::move(command));
        return done;
    }
};

} // namespace

TEST_F(MusicTest, RepliesAreTheDeviceTextTheErrorTextOrTheFixedTexts)
{
    std::string reply;
    EXPECT_EQ(module.MciCommand("", reply), -1);
    EXPECT_EQ(reply, "コマンド文字列が指定されていません");
    EXPECT_THAT(mci.sent, IsEmpty());

    mci.disc = false;
    EXPECT_EQ(module.MciStatus("status cdaudio current track"), "Error:263");
    EXPECT_EQ(module.MciText, "invalid device name");
    mci.errorTexts.clear();
    EXPECT_EQ(module.MciCommand("status cdaudio mode", reply), 263);
    EXPECT_EQ(reply, "Error (文字列が取れません)");
}

TEST_F(MusicTest, AWavLoopsByItselfOnlyWhenThereIsAWaveDeviceAndOtherEndingsStartNothing)
{
    for (const auto& [kind, file] : {std::pair{2, "C:\\Music\\Rain.wAv"}, {2, "song.ogg"}, {2, "song.mp3 "}, {2, "p3"},
                                     {0, "song.mp3"}}) {
        settings.BgmKind = std::int16_t(kind);
        settings.BgmFile = file;
        music.start();
        EXPECT_FALSE(music.timer1Enabled() || music.timer2Enabled()) << file;
        music.stop();
    }
    EXPECT_THAT(sound.played, ElementsAre("C:\\Music\\Rain.wAv"));
    EXPECT_EQ(sound.stops, 1);

    sound.devices = 0;
    settings.BgmKind = 2;
    settings.BgmFile = "Rain.wav";
    music.start();
    EXPECT_EQ(sound.played.size(), 1u);
    EXPECT_THAT(mci.sent, IsEmpty());
}

// A file larger than its kind may be never reaches a player: the log says why, and the show
// goes on silent. Sparse files: no disk is spent on them.
TEST(MusicLimits, AFileTooLargeForItsKindIsRefusedAndLogged)
{
    const auto folder = std::filesystem::temp_directory_path();
    for (const auto& [name, bytes] : {std::pair{"velmora-huge.mp3", kLargestMp3Bytes + 1},
                                      {"velmora-huge.wav", kLargestWavBytes + 1}}) {
        const std::filesystem::path path = folder / name;
        { std::ofstream{path}; }
        std::filesystem::resize_file(path, bytes);
        Settings settings;
        settings.BgmKind = 2;
        settings.BgmFile = path.string();
        FakeMci mci;
        FakeSound sound;
        std::vector<std::string> log;
        BackgroundMusic music(settings, mci, sound, [&](const std::string& text) { log.push_back(text); });
        music.start();
        EXPECT_THAT(mci.sent, IsEmpty()) << name;
        EXPECT_THAT(sound.played, IsEmpty()) << name;
        EXPECT_FALSE(music.timer1Enabled()) << name;
        ASSERT_EQ(log.size(), 1u) << name;
        EXPECT_NE(log[0].find("too large"), std::string::npos) << log[0];
        music.stop();
        std::filesystem::remove(path);
    }
}

// A disc starts where it is and is left alone while playing; without one the first poll
// ends polling for good, and the end then leaves the device alone.
TEST_F(MusicTest, TheCdStartsWhereItIsAndIsLeftAloneWhilePlayingOrWithoutADisc)
{
    settings.BgmKind = 1;
    music.start();
    EXPECT_THAT(mci.takeSent(), ElementsAre("open cdaudio", "set cdaudio time format tmsf"));
    EXPECT_TRUE(music.timer2Enabled() && music.handlesTrackKeys());
    music.timer2Tick();
    EXPECT_THAT(actions(), ElementsAre("play cdaudio"));
    music.timer2Tick();
    EXPECT_THAT(actions(), IsEmpty());
    music.stop();
    EXPECT_THAT(mci.takeSent(), ElementsAre("stop cdaudio", "close cdaudio"));

    mci.disc = false;
    useCd(0);
    music.timer2Tick();
    EXPECT_FALSE(music.timer2Enabled());
    EXPECT_THAT(mci.takeSent(), ElementsAre("status cdaudio current track"));
    music.timer2Tick(); // a tick already queued when polling ended
    music.stop();
    EXPECT_THAT(mci.sent, IsEmpty());
}

TEST_F(MusicTest, RepeatThreeJumpsBackWhenTrackFourBeginsOrPlayStops)
{
    useCd(3);
    const auto jump = ElementsAre("play cdaudio from 03:00:00:00");
    music.timer2Tick(); // first poll: stopped on track 1
    EXPECT_THAT(actions(), jump);
    music.timer2Tick(); // on track 3: nothing to do
    EXPECT_THAT(actions(), IsEmpty());
    mci.track = 4;
    music.timer2Tick();
    EXPECT_THAT(actions(), jump);
    mci.cdMode = "stopped";
    music.timer2Tick();
    EXPECT_THAT(actions(), jump);
}

TEST_F(MusicTest, TrackKeysMoveOneTrackAndChangeNothingPastEitherEnd)
{
    useCd(0);
    mci.track = 2;
    music.nextTrack();
    EXPECT_THAT(actions(), ElementsAre("play cdaudio from 03:00:00:00"));
    music.previousTrack();
    EXPECT_EQ(mci.track, 2);
    mci.track = 1;
    music.previousTrack();
    EXPECT_THAT(mci.takeSent().back(), "play cdaudio from Error:282");
    mci.track = 5;
    music.nextTrack();
    EXPECT_EQ(mci.track, 5);
}

TEST(TrackNumbers, ReadLeadingNumbersRoundHalvesToEvenAndRejectWhatOverflows)
{
    EXPECT_EQ(readTrackNumber(" 12 tracks"), 12);
    EXPECT_EQ(readTrackNumber("Error:263"), 0);
    EXPECT_EQ(readTrackNumber("2.5"), 2);
    EXPECT_EQ(readTrackNumber("3.5"), 4);
    EXPECT_EQ(readTrackNumber("32768"), std::nullopt);
    EXPECT_EQ(readTrackNumber("99999999999999999999"), std::nullopt);
}
