// The music module against a scripted MCI device: reply and error-text rules, the exact
// command strings of each player, and the CD's repeat, track keys and end of polling.
#include "music/background_music.h"
#include "music/sound_01.h"
#include "fake_devices.h"

#include <gmock/gmock.h>
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
    Sound_01 module{settings, mci, sound};
};

const std::vector<std::string> kPollQueries = {
    "status cdaudio current track", "status cdaudio number of tracks", "status cdaudio position",
    "status cdaudio length", "status cdaudio mode"};

std::vector<std::string> pollThen(std::vector<std::string> tail)
{
    std::vector<std::string> all = kPollQueries;
    all.insert(all.end(), tail.begin(), tail.end());
    return all;
}

} // namespace

TEST_F(MusicTest, MciCommandRepliesWithTheDeviceTextOrTheFixedTexts)
{
    std::string reply = "old";
    EXPECT_EQ(module.MciCommand("", reply), -1);
    EXPECT_EQ(reply, "コマンド文字列が指定されていません");
    EXPECT_THAT(mci.sent, IsEmpty());

    EXPECT_EQ(module.MciCommand("status cdaudio number of tracks", reply), 0);
    EXPECT_EQ(reply, "5");

    mci.disc = false;
    EXPECT_EQ(module.MciCommand("status cdaudio mode", reply), 263);
    EXPECT_EQ(reply, "invalid device name");
    EXPECT_EQ(module.ApiResult, 263);

    mci.errorTexts.clear();
    EXPECT_EQ(module.MciCommand("status cdaudio mode", reply), 263);
    EXPECT_EQ(reply, "Error (文字列が取れません)");
}

TEST_F(MusicTest, MciStatusAnswersErrorAndTheCodeWhileMciTextKeepsTheErrorText)
{
    EXPECT_EQ(module.MciStatus("status cdaudio current track"), "1");
    mci.disc = false;
    EXPECT_EQ(module.MciStatus("status cdaudio current track"), "Error:263");
    EXPECT_EQ(module.MciText, "invalid device name");
    EXPECT_EQ(module.MciStatus(""), "Error:-1");
}

TEST_F(MusicTest, MciPlayBuildsTheFourShapesOfThePlayCommand)
{
    module.MciPlay("cdaudio", "", "");
    module.MciPlay("cdaudio", "02:00:00:00", "");
    module.MciPlay("cdaudio", "", "04:00:00:00");
    module.MciPlay("cdaudio", "02:00:00:00", "04:00:00:00");
    EXPECT_THAT(mci.sent, ElementsAre("play cdaudio", "play cdaudio from 02:00:00:00", "play cdaudio to 04:00:00:00",
                                      "play cdaudio from 02:00:00:00 to 04:00:00:00"));
}

TEST_F(MusicTest, Mp3OpenNamesTheShortPathAndPlaysOnlyWhenTheOpenSucceeded)
{
    settings.BgmFile = "C:\\Program Files\\Music\\Long tune name.mp3";
    mci.shortNames[settings.BgmFile] = "C:\\PROGRA~1\\Music\\LONGTU~1.MP3";
    module.Mp3Open();
    EXPECT_THAT(mci.takeSent(),
                ElementsAre("open C:\\PROGRA~1\\Music\\LONGTU~1.MP3 type MPEGVideo Alias MP3Play", "play MP3Play"));

    mci.mp3Openable = false;
    module.Mp3Open();
    EXPECT_THAT(mci.takeSent(), ElementsAre("open C:\\PROGRA~1\\Music\\LONGTU~1.MP3 type MPEGVideo Alias MP3Play"));
}

TEST_F(MusicTest, Mp3OpenQuotesAPathWithBlanksAndSendsNothingWithoutAFile)
{
    settings.BgmFile = "/home/me/My Music/tune.mp3";
    mci.shortNames[settings.BgmFile] = settings.BgmFile; // no short names here
    module.Mp3Open();
    EXPECT_THAT(mci.takeSent(),
                ElementsAre("open \"/home/me/My Music/tune.mp3\" type MPEGVideo Alias MP3Play", "play MP3Play"));

    settings.BgmFile = "C:\\gone.mp3"; // the lookup fails for a missing file
    module.Mp3Open();
    EXPECT_THAT(mci.sent, IsEmpty());
}

TEST_F(MusicTest, Mp3PollRestartsFromTheBeginningOnlyWhenPlayHasEnded)
{
    mci.mp3Open = true;
    mci.mp3Mode = "playing";
    module.Mp3Poll();
    EXPECT_THAT(mci.takeSent(), ElementsAre("status MP3Play mode"));

    mci.mp3Mode = "stopped";
    module.Mp3Poll();
    EXPECT_THAT(mci.takeSent(), ElementsAre("status MP3Play mode", "stop MP3Play", "play MP3Play from 0"));
    EXPECT_EQ(mci.mp3Mode, "playing");

    // A closed or never opened device answers with an error: the restart is tried, quietly.
    mci.mp3Open = false;
    mci.mp3Mode = "playing";
    EXPECT_FALSE(module.Mp3IsPlaying());
}

TEST_F(MusicTest, CdOpenAndCloseSendTheirCommands)
{
    module.CdOpen();
    module.CdClose();
    EXPECT_THAT(mci.sent,
                ElementsAre("open cdaudio", "set cdaudio time format tmsf", "stop cdaudio", "close cdaudio"));
}

TEST_F(MusicTest, CdPollStartsAStoppedDiscWhereItIsAndLeavesAPlayingOneAlone)
{
    module.CdPoll();
    EXPECT_THAT(mci.takeSent(), ::testing::ElementsAreArray(pollThen({"play cdaudio"})));
    EXPECT_TRUE(module.CdPolling);

    module.CdPoll();
    EXPECT_THAT(mci.takeSent(), ::testing::ElementsAreArray(kPollQueries));
    EXPECT_EQ(mci.cdMode, "playing");
}

TEST_F(MusicTest, CdPollWithRepeatJumpsBackToTheTrackWhenPlayMovesOnOrStops)
{
    settings.BgmRepeat = 3;
    const auto jump = pollThen({"status cdaudio position track 3", "play cdaudio from 03:00:00:00"});

    module.CdPoll(); // first poll: the disc is stopped on track 1
    EXPECT_THAT(mci.takeSent(), ::testing::ElementsAreArray(jump));
    EXPECT_EQ(mci.track, 3);

    module.CdPoll(); // playing track 3: nothing to do
    EXPECT_THAT(mci.takeSent(), ::testing::ElementsAreArray(kPollQueries));

    mci.track = 4; // track 4 begins
    module.CdPoll();
    EXPECT_THAT(mci.takeSent(), ::testing::ElementsAreArray(jump));
    EXPECT_EQ(mci.track, 3);

    mci.cdMode = "stopped"; // the end of the disc, or someone pressed stop
    module.CdPoll();
    EXPECT_THAT(mci.takeSent(), ::testing::ElementsAreArray(jump));
    EXPECT_EQ(mci.cdMode, "playing");
}

TEST_F(MusicTest, TrackKeysMoveOneTrackAndChangeNothingPastEitherEnd)
{
    mci.cdMode = "playing";
    mci.track = 2;
    module.CdNextTrack();
    EXPECT_THAT(mci.takeSent(), ElementsAre("status cdaudio current track", "status cdaudio position track 3",
                                            "play cdaudio from 03:00:00:00"));
    EXPECT_EQ(mci.track, 3);

    mci.track = 1;
    module.CdPrevTrack();
    EXPECT_THAT(mci.takeSent(), ElementsAre("status cdaudio current track", "status cdaudio position track 0",
                                            "play cdaudio from Error:282"));
    EXPECT_EQ(mci.track, 1);

    mci.track = 5;
    module.CdNextTrack();
    EXPECT_EQ(mci.track, 5);
    EXPECT_EQ(mci.cdMode, "playing");
}

TEST(TrackNumbers, ReadLeadingNumbersRoundHalvesToEvenAndRejectWhatOverflows)
{
    EXPECT_EQ(readTrackNumber("7"), 7);
    EXPECT_EQ(readTrackNumber(" 12 tracks"), 12);
    EXPECT_EQ(readTrackNumber("Error:263"), 0);
    EXPECT_EQ(readTrackNumber(""), 0);
    EXPECT_EQ(readTrackNumber("2.5"), 2);
    EXPECT_EQ(readTrackNumber("3.5"), 4);
    EXPECT_EQ(readTrackNumber("-1"), -1);
    EXPECT_EQ(readTrackNumber("32768"), std::nullopt);
    EXPECT_EQ(readTrackNumber("99999999999999999999"), std::nullopt);
}
