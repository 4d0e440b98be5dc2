// The background music module: MP3 through the MCI MPEG-video device under the alias
// MP3Play, WAV through the sound player, and the audio CD through the MCI device cdaudio.
// Every request is an MCI command string; failures are kept here and never shown.
#pragma once

#include "music/mci_device.h"
#include "startup/settings.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace velmora::music {

// The two texts MciCommand answers with when it has no reply of the device to give.
inline constexpr const char* kNoCommandText = "コマンド文字列が指定されていません";
inline constexpr const char* kNoErrorText = "Error (文字列が取れません)";

class Sound_01 {
public:
    Sound_01(const Settings& settings, MciDevice& mci, SoundPlayer& sound)
        : settings_(settings), mci_(mci), sound_(sound)
    {
    }

    // MCI helpers.
    std::int32_t MciCommand(const std::string& command, std::string& reply);
    std::string MciStatus(const std::string& command);
    std::int32_t MciPlay(const std::string& device, const std::string& from, const std::string& to);

    // MP3 through MCI.
    void Mp3Open();
    void Mp3Poll();
    bool Mp3IsPlaying();
    void Mp3Close();

    // WAV through the sound player.
    void WavPlay();
    void WavStop();

    // Audio CD through MCI.
    void CdOpen();
    void CdPoll();
    void CdPrevTrack();
    void CdNextTrack();
    void CdClose();

    // Module state, readable by the show and by tests.
    std::array<char, 512> MciReply{};
    std::array<char, 256> MciErrText{};
    std::string MciText;
    std::array<char, 255> CdMode{};
    std::array<char, 30> Mp3Mode{};
    bool CdPolling = false;
    std::int32_t ApiResult = 0; // code of the last platform call; nothing branches on it

private:
    // A command whose reply is not wanted: its code goes to ApiResult only.
    std::int32_t sendDirect(const std::string& command);
    // Sends a status query into one of the fixed reply buffers and returns the reply text.
    template <std::size_t N>
    std::string queryInto(const std::string& command, std::array<char, N>& buffer);
    void playFromTrack(int track);

    const Settings& settings_;
    MciDevice& mci_;
    SoundPlayer& sound_;
};

// A status reply read as a number the way the track keys read it: leading numeric text,
// rounded half to even; text without a number reads as 0. Empty when it does not fit
// in 16 bits.
std::optional<std::int16_t> readTrackNumber(const std::string& text);

// The text of a fixed reply buffer: its content up to the first NUL.
std::string replyText(const char* buffer, std::size_t size);

} // namespace velmora::music
