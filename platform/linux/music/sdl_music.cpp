// SDL2_mixer behind the MCI command strings and the PlaySound-style player.
// Times are milliseconds, MCI's default for the MPEG-video device.
#include "platform/linux/music/sdl_music.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace velmora::music::linux_audio {

namespace {

std::string lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

// Splits a command into words; a word in double quotes may hold blanks.
bool splitWords(const std::string& command, std::vector<std::string>& words)
{
    std::size_t i = 0;
    while (i < command.size()) {
        if (command[i] == ' ' || command[i] == '\t') {
            ++i;
        } else if (command[i] == '"') {
            const std::size_t end = command.find('"', i + 1);
            if (end == std::string::npos)
                return false;
            words.push_back(command.substr(i + 1, end - i - 1));
            i = end + 1;
        } else {
            const std::size_t end = std::min(command.find_first_of(" \t", i), command.size());
            words.push_back(command.substr(i, end - i));
            i = end;
        }
    }
    return true;
}

// A time in milliseconds as MCI writes it: digits only.
bool readMilliseconds(const std::string& text, double& seconds)
{
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    seconds = std::stod(text) / 1000.0;
    return true;
}

std::string milliseconds(double seconds) { return std::to_string(std::llround(std::max(0.0, seconds) * 1000.0)); }

bool fileExists(const std::string& path)
{
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(std::filesystem::u8path(path), error);
}

} // namespace

SdlAudio::~SdlAudio()
{
    if (open_) {
        Mix_CloseAudio();
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

bool SdlAudio::open()
{
    if (tried_)
        return open_;
    tried_ = true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    Mix_Init(MIX_INIT_MP3); // MP3 may also be built in; a missing loader shows at load time
    if (Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 2048) != 0) {
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    open_ = true;
    return true;
}

SdlMciDevice::~SdlMciDevice()
{
    while (!media_.empty())
        close(media_.begin()->first);
}

std::uint32_t SdlMciDevice::sendString(const std::string& command, std::span<char> reply)
{
    std::string text;
    const std::uint32_t code = run(command, text);
    if (!reply.empty()) {
        const std::size_t n = code == 0 ? std::min(text.size(), reply.size() - 1) : 0;
        std::memcpy(reply.data(), text.data(), n);
        reply[n] = '\0';
    }
    return code;
}

bool SdlMciDevice::errorString(std::uint32_t code, std::span<char> text)
{
    const char* message = nullptr;
    switch (code) {
    case kUnrecognizedKeyword: message = "The command has a keyword this device does not know."; break;
    case kUnrecognizedCommand: message = "Unknown command."; break;
    case kHardware: message = "The audio output cannot be opened."; break;
    case kInvalidDeviceName: message = "The device is not open or not known."; break;
    case kCannotLoadDriver: message = "There is no such device on this system."; break;
    case kMissingCommandString: message = "No command was given."; break;
    case kFileNotFound: message = "The file cannot be found."; break;
    case kOutOfRange: message = "The position is out of range."; break;
    case kDuplicateAlias: message = "The alias is already in use."; break;
    case kInvalidFile: message = "The file cannot be played: it is damaged or of an unknown kind."; break;
    default: return false;
    }
    if (text.empty())
        return false;
    const std::size_t n = std::min(std::strlen(message), text.size() - 1);
    std::memcpy(text.data(), message, n);
    text[n] = '\0';
    return true;
}

std::string SdlMciDevice::shortPathName(const std::string& longPath)
{
    return fileExists(longPath) ? longPath : std::string();
}

std::uint32_t SdlMciDevice::run(const std::string& command, std::string& reply)
{
    std::vector<std::string> words;
    if (!splitWords(command, words))
        return kUnrecognizedKeyword;
    if (words.empty())
        return kMissingCommandString;
    const std::string verb = lower(words[0]);
    if (words.size() < 2)
        return verb == "open" || verb == "play" || verb == "stop" || verb == "close" || verb == "status" ||
                       verb == "set" || verb == "pause" || verb == "resume"
                   ? kUnrecognizedKeyword
                   : kUnrecognizedCommand;
    if (verb == "open")
        return open(words);

    const std::string alias = lower(words[1]);
    const auto it = media_.find(alias);
    if (it == media_.end())
        return verb == "play" || verb == "stop" || verb == "close" || verb == "status" || verb == "set" ||
                       verb == "pause" || verb == "resume"
                   ? kInvalidDeviceName
                   : kUnrecognizedCommand;
    Media& media = it->second;
    if (verb == "play")
        return play(media, alias, words);
    if (verb == "status")
        return status(media, alias, words, reply);
    if (words.size() != 2 && verb != "set")
        return kUnrecognizedKeyword;
    if (verb == "stop") {
        stop(media, alias);
        return 0;
    }
    if (verb == "close") {
        close(alias);
        return 0;
    }
    if (verb == "pause") {
        if (isCurrent(alias) && Mix_PlayingMusic())
            Mix_PauseMusic();
        return 0;
    }
    if (verb == "resume") {
        if (isCurrent(alias))
            Mix_ResumeMusic();
        return 0;
    }
    if (verb == "set") {
        // Only the time format this stand-in speaks.
        if (words.size() == 5 && lower(words[2]) == "time" && lower(words[3]) == "format" &&
            (lower(words[4]) == "milliseconds" || lower(words[4]) == "ms"))
            return 0;
        return kUnrecognizedKeyword;
    }
    return kUnrecognizedCommand;
}

// open <file> [type MPEGVideo] [alias <name>]
std::uint32_t SdlMciDevice::open(const std::vector<std::string>& words)
{
    const std::string element = words[1];
    // No MCI CD device here: answers as a system without a CD drive does.
    if (lower(element) == "cdaudio")
        return kCannotLoadDriver;
    std::string alias = lower(element);
    for (std::size_t i = 2; i < words.size(); i += 2) {
        if (i + 1 >= words.size())
            return kUnrecognizedKeyword;
        const std::string key = lower(words[i]);
        if (key == "type") {
            if (lower(words[i + 1]) != "mpegvideo")
                return kCannotLoadDriver;
        } else if (key == "alias") {
            alias = lower(words[i + 1]);
        } else {
            return kUnrecognizedKeyword;
        }
    }
    if (media_.count(alias))
        return kDuplicateAlias;
    if (!fileExists(element))
        return kFileNotFound;
    if (!audio_.open())
        return kHardware;
    Mix_Music* music = Mix_LoadMUS(element.c_str());
    if (!music)
        return kInvalidFile;
    media_[alias].music = music;
    return 0;
}

// play <alias> [from <ms>]: without from it continues where play stopped.
std::uint32_t SdlMciDevice::play(Media& media, const std::string& alias, const std::vector<std::string>& words)
{
    double from = -1;
    for (std::size_t i = 2; i < words.size(); i += 2) {
        if (lower(words[i]) != "from" || i + 1 >= words.size())
            return kUnrecognizedKeyword; // "to" is not offered by this stand-in
        if (!readMilliseconds(words[i + 1], from))
            return kOutOfRange;
    }
    const double length = lengthOf(media);
    if (from >= 0 && length > 0 && from > length)
        return kOutOfRange;
    if (from < 0) {
        if (isCurrent(alias) && Mix_PlayingMusic()) {
            if (Mix_PausedMusic())
                Mix_ResumeMusic();
            return 0;
        }
        from = media.resumeAt;
        if (length > 0 && from >= length)
            return 0; // at the end: nothing left to play, as MCI does
    }
    if (Mix_PlayMusic(media.music, 0) != 0)
        return kHardware;
    current_ = alias;
    if (from > 0)
        Mix_SetMusicPosition(from);
    return 0;
}

std::uint32_t SdlMciDevice::status(Media& media, const std::string& alias, const std::vector<std::string>& words,
                                   std::string& reply)
{
    if (words.size() != 3)
        return kUnrecognizedKeyword;
    const std::string item = lower(words[2]);
    const bool current = isCurrent(alias) && Mix_PlayingMusic();
    if (item == "mode") {
        reply = !current ? "stopped" : Mix_PausedMusic() ? "paused" : "playing";
    } else if (item == "position") {
        double at = media.resumeAt;
        if (current)
            at = Mix_GetMusicPosition(media.music);
        else if (isCurrent(alias))
            at = lengthOf(media); // played to its end
        reply = milliseconds(at);
    } else if (item == "length") {
        reply = milliseconds(lengthOf(media));
    } else if (item == "ready") {
        reply = "true";
    } else {
        return kUnrecognizedKeyword;
    }
    return 0;
}

void SdlMciDevice::stop(Media& media, const std::string& alias)
{
    if (!isCurrent(alias))
        return;
    if (Mix_PlayingMusic()) {
        const double at = Mix_GetMusicPosition(media.music);
        media.resumeAt = at >= 0 ? at : 0;
    } else {
        media.resumeAt = lengthOf(media);
    }
    Mix_HaltMusic();
    current_.clear();
}

void SdlMciDevice::close(const std::string& alias)
{
    const auto it = media_.find(alias);
    if (it == media_.end())
        return;
    if (isCurrent(alias)) {
        Mix_HaltMusic();
        current_.clear();
    }
    Mix_FreeMusic(it->second.music);
    media_.erase(it);
}

bool SdlMciDevice::isCurrent(const std::string& alias) const { return !current_.empty() && current_ == alias; }

double SdlMciDevice::lengthOf(const Media& media) const
{
    const double length = Mix_MusicDuration(media.music);
    return length > 0 ? length : 0;
}

std::uint32_t SdlSoundPlayer::waveDeviceCount() { return audio_.open() ? 1 : 0; }

bool SdlSoundPlayer::playLooping(const std::string& path)
{
    stop(); // a new sound replaces the one playing
    if (!fileExists(path) || !audio_.open())
        return false;
    // Streamed from the file as it plays (the mixer's music stream, not a chunk read whole),
    // so the size of the file costs neither memory nor time before the first sound.
    music_ = Mix_LoadMUSType_RW(SDL_RWFromFile(path.c_str(), "rb"), MUS_WAV, 1);
    if (!music_)
        return false;
    if (Mix_PlayMusic(music_, -1) != 0) {
        Mix_FreeMusic(music_);
        music_ = nullptr;
        return false;
    }
    return true;
}

void SdlSoundPlayer::stop()
{
    if (music_) {
        Mix_HaltMusic();
        Mix_FreeMusic(music_);
    }
    music_ = nullptr;
}

bool SdlSoundPlayer::isPlaying() const { return music_ != nullptr && Mix_PlayingMusic() != 0; }

} // namespace velmora::music::linux_audio
