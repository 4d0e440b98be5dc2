// The background music module: command strings, reply rules and the three players.
#include "music/sound_01.h"
#include "startup/rounding.h"

#include <cmath>
#include <cstring>

namespace velmora::music {

namespace {

std::string upperAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return text;
}

bool contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

} // namespace

std::string replyText(const char* buffer, std::size_t size)
{
    const void* nul = std::memchr(buffer, '\0', size);
    return std::string(buffer, nul ? static_cast<const char*>(nul) - buffer : size);
}

std::optional<std::int16_t> readTrackNumber(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    double value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 1e6) // far past 16 bits already: no need to read on
            return std::nullopt;
    }
    if (i < text.size() && text[i] == '.') {
        double scale = 0.1;
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, scale /= 10)
            value += (text[i] - '0') * scale;
    }
    return roundToInt16(negative ? -value : value);
}

std::int32_t Sound_01::sendDirect(const std::string& command)
{
    ApiResult = std::int32_t(mci_.sendString(command, {}));
    return ApiResult;
}

template <std::size_t N>
std::string Sound_01::queryInto(const std::string& command, std::array<char, N>& buffer)
{
    // Cleared first, so a failed query never leaves an old mode behind to be read again.
    buffer.fill('\0');
    ApiResult = std::int32_t(mci_.sendString(command, buffer));
    return ApiResult == 0 ? replyText(buffer.data(), buffer.size()) : std::string();
}

std::int32_t Sound_01::MciCommand(const std::string& command, std::string& reply)
{
    if (command.empty()) {
        reply = kNoCommandText;
        return -1;
    }
    MciReply.fill('\0');
    const std::uint32_t code = mci_.sendString(command, MciReply);
    ApiResult = std::int32_t(code);
    if (code == 0) {
        reply = replyText(MciReply.data(), MciReply.size());
        return 0;
    }
    MciErrText.fill('\0');
    if (mci_.errorString(code, MciErrText))
        reply = replyText(MciErrText.data(), MciErrText.size());
    else
        reply = kNoErrorText;
    return std::int32_t(code);
}

std::string Sound_01::MciStatus(const std::string& command)
{
    const std::int32_t code = MciCommand(command, MciText);
    return code == 0 ? MciText : "Error:" + std::to_string(code);
}

std::int32_t Sound_01::MciPlay(const std::string& device, const std::string& from, const std::string& to)
{
    std::string command = "play " + device;
    if (!from.empty())
        command += " from " + from;
    if (!to.empty())
        command += " to " + to;
    return MciCommand(command, MciText);
}

void Sound_01::Mp3Open()
{
    std::string path = mci_.shortPathName(settings_.BgmFile);
    if (path.empty()) {
        // No file to name (missing, or no short form): an open without a file name could
        // only fail, so nothing is sent and the show stays silent.
        ApiResult = -1;
        return;
    }
    // A path with blanks (short names switched off, or a platform without them) would
    // be split into keywords; MCI takes it whole between double quotes.
    if (path.find(' ') != std::string::npos)
        path = '"' + path + '"';
    if (sendDirect("open " + path + " type MPEGVideo Alias MP3Play") == 0)
        sendDirect("play MP3Play");
}

bool Sound_01::Mp3IsPlaying()
{
    return queryInto("status MP3Play mode", Mp3Mode).substr(0, 7) == "playing";
}

void Sound_01::Mp3Poll()
{
    if (!Mp3IsPlaying()) {
        sendDirect("stop MP3Play");
        sendDirect("play MP3Play from 0");
    }
}

void Sound_01::Mp3Close()
{
    sendDirect("stop MP3Play");
    sendDirect("close MP3Play");
}

void Sound_01::WavPlay()
{
    if (sound_.waveDeviceCount() > 0)
        ApiResult = sound_.playLooping(settings_.BgmFile) ? 1 : 0;
}

void Sound_01::WavStop() { sound_.stop(); }

void Sound_01::CdOpen()
{
    sendDirect("open cdaudio");
    sendDirect("set cdaudio time format tmsf");
}

void Sound_01::CdPoll()
{
    CdPolling = true;
    const std::string cur = upperAscii(MciStatus("status cdaudio current track"));
    if (contains(cur, "ERR")) {
        CdPolling = false;
        return;
    }
    if (contains(upperAscii(MciStatus("status cdaudio number of tracks")), "ERR")) {
        CdPolling = false;
        return;
    }
    MciStatus("status cdaudio position");
    MciStatus("status cdaudio length");
    const std::string mode = queryInto("status cdaudio mode", CdMode).substr(0, 7);

    const int repeat = settings_.BgmRepeat;
    if (repeat != 0) {
        const std::optional<std::int16_t> track = readTrackNumber(cur);
        if (mode == "stopped" || !track || *track != repeat)
            playFromTrack(repeat);
    } else if (mode == "stopped") {
        MciPlay("cdaudio", "", "");
    }
}

// Plays from the start of a track to the end of the disc. A track the disc lacks gives
// an error text as position, and the play command then fails: nothing changes.
void Sound_01::playFromTrack(int track)
{
    const std::string pos = MciStatus("status cdaudio position track " + std::to_string(track));
    MciPlay("cdaudio", pos, "");
}

void Sound_01::CdPrevTrack()
{
    if (const auto t = readTrackNumber(MciStatus("status cdaudio current track")))
        playFromTrack(*t - 1);
}

void Sound_01::CdNextTrack()
{
    if (const auto t = readTrackNumber(MciStatus("status cdaudio current track")))
        playFromTrack(*t + 1);
}

void Sound_01::CdClose()
{
    sendDirect("stop cdaudio");
    sendDirect("close cdaudio");
}

} // namespace velmora::music
