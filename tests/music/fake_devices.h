// Scripted stand-ins for the MCI device and the sound player: they log every request and
// answer like a small MPEG-video device and a CD drive whose disc the test sets up.
#pragma once

#include "music/mci_device.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace velmora::music::testing {

inline constexpr std::uint32_t kInvalidDeviceName = 263;
inline constexpr std::uint32_t kOutOfRange = 282;
inline constexpr std::uint32_t kFileNotFound = 275;

class FakeMci final : public MciDevice {
public:
    // The disc: no disc answers every cdaudio request with an error.
    bool disc = true;
    int tracks = 5;
    int track = 1;
    std::string cdMode = "stopped";

    // The MP3 device.
    bool mp3Openable = true;
    bool mp3Open = false;
    std::string mp3Mode = "stopped";

    std::map<std::string, std::string> shortNames; // long path -> short path
    std::map<std::uint32_t, std::string> errorTexts{{kInvalidDeviceName, "invalid device name"}};
    std::vector<std::string> sent;

    std::uint32_t sendString(const std::string& command, std::span<char> reply) override
    {
        sent.push_back(command);
        std::string text;
        const std::uint32_t code = answer(command, text);
        if (!reply.empty()) {
            const std::size_t n = std::min(text.size(), reply.size() - 1);
            std::memcpy(reply.data(), text.data(), n);
            reply[n] = '\0';
        }
        return code;
    }

    bool errorString(std::uint32_t code, std::span<char> text) override
    {
        const auto it = errorTexts.find(code);
        if (it == errorTexts.end() || text.empty())
            return false;
        const std::size_t n = std::min(it->second.size(), text.size() - 1);
        std::memcpy(text.data(), it->second.data(), n);
        text[n] = '\0';
        return true;
    }

    std::string shortPathName(const std::string& longPath) override
    {
        const auto it = shortNames.find(longPath);
        return it == shortNames.end() ? std::string() : it->second;
    }

    // Lets a test see only what came after some point.
    std::vector<std::string> takeSent() { return std::exchange(sent, {}); }

private:
    static std::string trackPosition(int t)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%02d:00:00:00", t);
        return text;
    }

    std::uint32_t answer(const std::string& command, std::string& text)
    {
        if (command.find("cdaudio") != std::string::npos)
            return answerCd(command, text);
        if (command.starts_with("open ") && command.ends_with(" type MPEGVideo Alias MP3Play")) {
            if (!mp3Openable)
                return kFileNotFound;
            mp3Open = true;
            return 0;
        }
        if (!mp3Open)
            return kInvalidDeviceName;
        if (command == "status MP3Play mode")
            text = mp3Mode;
        else if (command == "play MP3Play" || command == "play MP3Play from 0")
            mp3Mode = "playing";
        else if (command == "stop MP3Play")
            mp3Mode = "stopped";
        else if (command == "close MP3Play")
            mp3Open = false;
        return 0;
    }

    std::uint32_t answerCd(const std::string& command, std::string& text)
    {
        if (!disc)
            return kInvalidDeviceName;
        const std::string positionOfTrack = "status cdaudio position track ";
        if (command == "status cdaudio current track")
            text = std::to_string(track);
        else if (command == "status cdaudio number of tracks")
            text = std::to_string(tracks);
        else if (command == "status cdaudio position")
            text = trackPosition(track);
        else if (command == "status cdaudio length")
            text = "42:10";
        else if (command == "status cdaudio mode")
            text = cdMode;
        else if (command.starts_with(positionOfTrack)) {
            const int t = std::atoi(command.c_str() + positionOfTrack.size());
            if (t < 1 || t > tracks)
                return kOutOfRange;
            text = trackPosition(t);
        } else if (command == "play cdaudio")
            cdMode = "playing";
        else if (command.starts_with("play cdaudio from ")) {
            int t = 0, m = 0, s = 0, f = 0;
            if (std::sscanf(command.c_str(), "play cdaudio from %d:%d:%d:%d", &t, &m, &s, &f) != 4 || t < 1 ||
                t > tracks)
                return kOutOfRange;
            track = t;
            cdMode = "playing";
        } else if (command == "stop cdaudio")
            cdMode = "stopped";
        return 0;
    }
};

class FakeSound final : public SoundPlayer {
public:
    std::uint32_t devices = 1;
    std::vector<std::string> played;
    int stops = 0;

    std::uint32_t waveDeviceCount() override { return devices; }
    bool playLooping(const std::string& path) override
    {
        played.push_back(path);
        return true;
    }
    void stop() override { ++stops; }
};

} // namespace velmora::music::testing
