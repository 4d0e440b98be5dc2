// The Windows music devices: MCI command strings through winmm, WAV files through
// PlaySound, and short (8.3) paths from the file system.
#pragma once

#include "music/mci_device.h"

namespace velmora::music::win32 {

class Win32MciDevice final : public MciDevice {
public:
    std::uint32_t sendString(const std::string& command, std::span<char> reply) override;
    bool errorString(std::uint32_t code, std::span<char> text) override;
    std::string shortPathName(const std::string& longPath) override;
};

// PlaySound holds the whole file in memory while it plays: a WAV is taken up to this size.
inline constexpr std::uint64_t kLargestPlaySoundBytes = std::uint64_t(256) << 20;

class Win32SoundPlayer final : public SoundPlayer {
public:
    ~Win32SoundPlayer() override;
    std::uint64_t largestFile() const override { return kLargestPlaySoundBytes; }
    std::uint32_t waveDeviceCount() override;
    bool playLooping(const std::string& path) override;
    void stop() override;
};

// What the show hands to BackgroundMusic.
struct Win32MusicDevices {
    Win32MciDevice mci;
    Win32SoundPlayer sound;
};

} // namespace velmora::music::win32
