// The show's music wiring: start with the show, poll, change tracks, stop with the show.
#include "music/background_music.h"

#include <filesystem>
#include <system_error>

namespace velmora::music {

MusicFileKind musicFileKind(const std::string& path)
{
    if (path.size() < 3)
        return MusicFileKind::Other;
    std::string ext = path.substr(path.size() - 3);
    for (char& c : ext)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    if (ext == "WAV")
        return MusicFileKind::Wav;
    if (ext == "MP3")
        return MusicFileKind::Mp3;
    return MusicFileKind::Other;
}

void BackgroundMusic::say(const std::string& text) const
{
    if (log_)
        log_(text);
}

Result<void> BackgroundMusic::playable(MusicFileKind kind) const
{
    std::error_code error;
    const std::filesystem::path path(std::u8string(settings_.BgmFile.begin(), settings_.BgmFile.end()));
    const std::uintmax_t bytes = std::filesystem::file_size(path, error);
    if (error)
        return {}; // missing or unreadable: the player finds out and stays silent
    const std::uint64_t largest = kind == MusicFileKind::Wav ? sound_.largestFile() : kLargestMp3Bytes;
    if (bytes > largest)
        return Reason{"music file is too large (" + std::to_string(bytes >> 20) + " MB, at most " +
                      std::to_string(largest >> 20) + " MB for its kind): the show goes on without music"};
    return {};
}

void BackgroundMusic::start()
{
    if (settings_.BgmKind == 1) {
        sound01_.CdOpen();
        timer2_ = true;
    } else if (settings_.BgmKind == 2) {
        const MusicFileKind kind = musicFileKind(settings_.BgmFile);
        if (kind != MusicFileKind::Other) {
            if (const Result<void> checked = playable(kind); !checked.ok()) {
                say(checked.reason().text);
                return;
            }
        }
        switch (kind) {
        case MusicFileKind::Wav:
            sound01_.WavPlay();
            if (sound01_.ApiResult == 0)
                say("music file cannot be played: the show goes on without music");
            break;
        case MusicFileKind::Mp3:
            // The restart poll runs even when the open failed; its commands then fail quietly.
            sound01_.Mp3Open();
            if (sound01_.ApiResult != 0)
                say("music file cannot be started: the show goes on without music");
            timer1_ = true;
            break;
        case MusicFileKind::Other:
            break;
        }
    }
}

void BackgroundMusic::timer1Tick()
{
    if (timer1_)
        sound01_.Mp3Poll();
}

void BackgroundMusic::timer2Tick()
{
    if (!timer2_)
        return;
    sound01_.CdPoll();
    // The first failed poll (no disc, no drive) ends CD polling for the rest of the show.
    timer2_ = sound01_.CdPolling;
}

void BackgroundMusic::previousTrack()
{
    if (handlesTrackKeys())
        sound01_.CdPrevTrack();
}

void BackgroundMusic::nextTrack()
{
    if (handlesTrackKeys())
        sound01_.CdNextTrack();
}

void BackgroundMusic::stop()
{
    // A poll that failed left the CD device open; it is closed only while polling runs.
    if (timer2_) {
        timer2_ = false;
        sound01_.CdClose();
    }
    if (settings_.BgmKind == 2) {
        switch (musicFileKind(settings_.BgmFile)) {
        case MusicFileKind::Wav:
            sound01_.WavStop();
            break;
        case MusicFileKind::Mp3:
            sound01_.Mp3Close();
            break;
        case MusicFileKind::Other:
            break;
        }
    }
    timer1_ = false; // no restart of a closed MP3 while the show winds down
}

} // namespace velmora::music
