// The show's music: which player starts with the show, the two poll timers, the CD track
// keys and the stop at the end, all over the Sound_01 module.
#pragma once

#include "music/mci_device.h"
#include "music/show_music.h"
#include "music/sound_01.h"
#include "startup/settings.h"

namespace velmora::music {

enum class MusicFileKind { Other, Wav, Mp3 };

// Chooses the player by the last three characters of the file name, in any letter case.
MusicFileKind musicFileKind(const std::string& path);

class BackgroundMusic final : public ShowMusic {
public:
    // The settings and devices must outlive this object.
    BackgroundMusic(const Settings& settings, MciDevice& mci, SoundPlayer& sound)
        : settings_(settings), sound01_(settings, mci, sound)
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
    const Settings& settings_;
    Sound_01 sound01_;
    bool timer1_ = false;
    bool timer2_ = false;
};

} // namespace velmora::music
