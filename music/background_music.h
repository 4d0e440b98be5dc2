// The show's music: which player starts with the show, the two poll timers, the CD track
// keys and the stop at the end, all over the Sound_01 module.
#pragma once

#include "music/mci_device.h"
#include "music/show_music.h"
#include "music/sound_01.h"
#include "startup/result.h"
#include "startup/settings.h"

#include <cstdint>
#include <functional>
#include <string>

namespace velmora::music {

enum class MusicFileKind { Other, Wav, Mp3 };

// Chooses the player by the last three characters of the file name, in any letter case.
MusicFileKind musicFileKind(const std::string& path);

// An MP3 longer than this (some nine hours at 128 kbit/s) is not music for a show, and its
// decoder may read all of it before playing.
inline constexpr std::uint64_t kLargestMp3Bytes = std::uint64_t(512) << 20;

// Where the music says why the show has none; called on whatever thread the music runs on.
using MusicLog = std::function<void(const std::string&)>;

class BackgroundMusic final : public ShowMusic {
public:
    // The settings and devices must outlive this object.
    BackgroundMusic(const Settings& settings, MciDevice& mci, SoundPlayer& sound, MusicLog log = {})
        : settings_(settings), sound_(sound), sound01_(settings, mci, sound), log_(std::move(log))
    {
    }

    void start() override;
    bool timer1Enabled() const override { return timer1_; }
    void timer1Tick() override;
    bool timer2Enabled() const override { return timer2_; }
    void timer2Tick() override;
    bool handlesTrackKeys() const override { return settings_.BgmKind == 1; }
    void previousTrack() override;
    void nextTrack() override;
    void stop() override;

    Sound_01& module() { return sound01_; }

private:
    // Ok when the music file may be handed to its player, else why not.
    Result<void> playable(MusicFileKind kind) const;
    void say(const std::string& text) const;

    const Settings& settings_;
    SoundPlayer& sound_;
    Sound_01 sound01_;
    MusicLog log_;
    bool timer1_ = false;
    bool timer2_ = false;
};

} // namespace velmora::music

namespace velmora::music {

// The music with its own copy of the settings and the devices it plays on, so that all of it
// can be made, used and left on one thread of its own.
template <class Devices>
struct MusicOnDevices {
    MusicOnDevices(const Settings& chosen, MusicLog log) : settings(chosen), music(settings, devices.mci, devices.sound, std::move(log)) {}
    Settings settings;
    Devices devices;
    BackgroundMusic music;
};

} // namespace velmora::music
