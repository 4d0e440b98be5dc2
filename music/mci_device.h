// What the music needs of the platform: an MCI-style device driven by command strings,
// a PlaySound-style player for looping WAV files, and the short form of a file's path.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace velmora::music {

// Texts are UTF-8 on this side; a platform converts them for its system calls.
class MciDevice {
public:
    virtual ~MciDevice() = default;
    // Sends one command string. The reply text goes into `reply` (NUL-terminated when it
    // fits; an empty span asks for no reply). Returns 0 or an MCI error code.
    virtual std::uint32_t sendString(const std::string& command, std::span<char> reply) = 0;
    // The text of an error code into `text`, NUL-terminated; false when there is none.
    virtual bool errorString(std::uint32_t code, std::span<char> text) = 0;
    // The short (8.3) form of an existing file's path, or "" when it cannot be had.
    // Platforms without short names return the path as it is when the file exists.
    virtual std::string shortPathName(const std::string& longPath) = 0;
};

// A RIFF file counts its bytes in 32 bits: no WAV is longer.
inline constexpr std::uint64_t kLargestWavBytes = (std::uint64_t(1) << 32) + 8;

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // The largest WAV this player takes: a streaming player any, one that reads the whole
    // file into memory first far less.
    virtual std::uint64_t largestFile() const { return kLargestWavBytes; }
    virtual std::uint32_t waveDeviceCount() = 0;
    // Plays the file in the background, looping until stop(); false when it cannot start.
    virtual bool playLooping(const std::string& path) = 0;
    virtual void stop() = 0;
};

} // namespace velmora::music
