// Scripted stand-ins for the MCI device and the sound player: they log every request and
// answer like a CD drive whose disc the test sets up. The MPEG-video device is tested on the
// real ones (music_devices_test).
#pragma once

#include "music/mci_device.h"

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace velmora::music::testing {

class FakeMci final : public MciDevice {
public:
    bool disc = true; // without one every cdaudio request fails with 263
    int tracks = 5, track = 1;
    std::string cdMode = "stopped";
    std::map<std::uint32_t, std::string> errorTexts{{263, "invalid device name"}};
    std::vector<std::string> sent;

    std::uint32_t sendString(const std::string& command, std::span<char> reply) override
    {
        sent.push_back(command);
        std::string text;
        const std::uint32_t code = command.find("cdaudio") != std::string::npos && disc ? answerCd(command, text) : 263;
        copyOut(text, reply);
        return code;
    }
    bool errorString(std::uint32_t code, std::span<char> text) override
    {
        const auto it = errorTexts.find(code);
        return it != errorTexts.end() && copyOut(it->second, text);
    }
    std::string shortPathName(const std::string& longPath) override { return longPath; }
    std::vector<std::string> takeSent() { return std::exchange(sent, {}); }

private:
    static bool copyOut(const std::string& text, std::span<char> out)
    {
        if (out.empty())
            return false;
        out[text.copy(out.data(), out.size() - 1)] = '\0';
        return true;
    }

    // Positions are tmsf texts "TT:00:00:00"; a track the disc lacks is out of range (282).
    std::uint32_t answerCd(const std::string& command, std::string& text)
    {
        int t = 0, m = 0, s = 0, f = 0;
        if (command == "status cdaudio current track")
            text = std::to_string(track);
        else if (command == "status cdaudio number of tracks")
            text = std::to_string(tracks);
        else if (command == "status cdaudio mode")
            text = cdMode;
        else if (std::sscanf(command.c_str(), "status cdaudio position track %d", &t) == 1) {
            if (t < 1 || t > tracks)
                return 282;
            text = (t < 10 ? "0" : "") + std::to_string(t) + ":00:00:00";
        } else if (command.starts_with("play cdaudio from ")) {
            if (std::sscanf(command.c_str(), "play cdaudio from %d:%d:%d:%d", &t, &m, &s, &f) != 4 || t < 1 ||
                t > tracks)
                return 282;
            track = t;
            cdMode = "playing";
        } else if (command == "play cdaudio")
            cdMode = "playing";
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
