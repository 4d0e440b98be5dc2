// The Linux stand-in for the MCI MPEG-video device and the sound player, on SDL2_mixer:
// it takes the same command strings and gives the same replies, so the music module's
// logic runs unchanged. Linux has no MCI CD device: every cdaudio request fails. WAV files
// stream through the mixer's one music stream, which an MP3 would otherwise use: a show plays
// one or the other.
#pragma once

#include "music/mci_device.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct _Mix_Music;

namespace velmora::music::linux_audio {

// Error codes, numbered as MCI numbers the same faults.
enum : std::uint32_t {
    kUnrecognizedKeyword = 259,
    kUnrecognizedCommand = 261,
    kHardware = 262,
    kInvalidDeviceName = 263,
    kCannotLoadDriver = 266,
    kMissingCommandString = 267,
    kFileNotFound = 275,
    kOutOfRange = 282,
    kDuplicateAlias = 289,
    kInvalidFile = 296,
};

// Opens SDL's audio and the mixer once, on first use; without a device it stays closed.
class SdlAudio {
public:
    SdlAudio() = default;
    SdlAudio(const SdlAudio&) = delete;
    SdlAudio& operator=(const SdlAudio&) = delete;
    ~SdlAudio();

    bool open();

private:
    bool tried_ = false;
    bool open_ = false;
};

class SdlMciDevice final : public MciDevice {
public:
    explicit SdlMciDevice(SdlAudio& audio) : audio_(audio) {}
    SdlMciDevice(const SdlMciDevice&) = delete;
    SdlMciDevice& operator=(const SdlMciDevice&) = delete;
    ~SdlMciDevice() override;

    std::uint32_t sendString(const std::string& command, std::span<char> reply) override;
    bool errorString(std::uint32_t code, std::span<char> text) override;
    // No short names on Linux: an existing file's path is its own short form.
    std::string shortPathName(const std::string& longPath) override;

private:
    struct Media {
        _Mix_Music* music = nullptr;
        double resumeAt = 0; // seconds: where a plain play continues
    };

    std::uint32_t run(const std::string& command, std::string& reply);
    std::uint32_t open(const std::vector<std::string>& words);
    std::uint32_t play(Media& media, const std::string& alias, const std::vector<std::string>& words);
    std::uint32_t status(Media& media, const std::string& alias, const std::vector<std::string>& words,
                         std::string& reply);
    void stop(Media& media, const std::string& alias);
    void close(const std::string& alias);
    bool isCurrent(const std::string& alias) const;
    double lengthOf(const Media& media) const;

    SdlAudio& audio_;
    std::map<std::string, Media> media_; // by alias, lower case
    std::string current_;               // the alias last handed to the mixer
};

class SdlSoundPlayer final : public SoundPlayer {
public:
    explicit SdlSoundPlayer(SdlAudio& audio) : audio_(audio) {}
    SdlSoundPlayer(const SdlSoundPlayer&) = delete;
    SdlSoundPlayer& operator=(const SdlSoundPlayer&) = delete;
    ~SdlSoundPlayer() override { stop(); }

    std::uint32_t waveDeviceCount() override;
    bool playLooping(const std::string& path) override;
    void stop() override;
    bool isPlaying() const;

private:
    SdlAudio& audio_;
    _Mix_Music* music_ = nullptr;
};

// What the Linux show hands to BackgroundMusic; the mixer outlives both players.
struct LinuxMusicDevices {
    SdlAudio audio;
    SdlMciDevice mci{audio};
    SdlSoundPlayer sound{audio};
};

} // namespace velmora::music::linux_audio
