// winmm behind the music module. The wide-character calls are used so that a path in
// any script reaches the file system intact, whatever the system's ANSI code page is;
// the command strings themselves are the module's, unchanged.
#include "platform/win32/music/win32_music.h"
#include "platform/win32/short_path.h"
#include "platform/win32/win_text.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstring>
#include <string>
#include <vector>

namespace velmora::music::win32 {

using velmora::win32::narrow;
using velmora::win32::widen;

namespace {

// Copies UTF-8 text into a NUL-terminated buffer, cutting only between characters.
void copyOut(const std::string& text, std::span<char> out)
{
    if (out.empty())
        return;
    std::size_t n = std::min(text.size(), out.size() - 1);
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    std::memcpy(out.data(), text.data(), n);
    out[n] = '\0';
}

} // namespace

std::uint32_t Win32MciDevice::sendString(const std::string& command, std::span<char> reply)
{
    const std::wstring wide = widen(command);
    if (reply.empty())
        return mciSendStringW(wide.c_str(), nullptr, 0, nullptr);
    std::vector<wchar_t> buffer(reply.size(), L'\0');
    const MCIERROR code = mciSendStringW(wide.c_str(), buffer.data(), UINT(buffer.size()), nullptr);
    buffer.back() = L'\0';
    copyOut(narrow(buffer.data()), reply);
    return code;
}

bool Win32MciDevice::errorString(std::uint32_t code, std::span<char> text)
{
    if (text.empty())
        return false;
    std::vector<wchar_t> buffer(text.size(), L'\0');
    if (!mciGetErrorStringW(code, buffer.data(), UINT(buffer.size())))
        return false;
    buffer.back() = L'\0';
    copyOut(narrow(buffer.data()), text);
    return true;
}

std::string Win32MciDevice::shortPathName(const std::string& longPath)
{
    return velmora::win32::shortPathName(longPath).value_or(std::string());
}

Win32SoundPlayer::~Win32SoundPlayer() { stop(); }

std::uint32_t Win32SoundPlayer::waveDeviceCount() { return waveOutGetNumDevs(); }

bool Win32SoundPlayer::playLooping(const std::string& path)
{
    const std::wstring wide = widen(path);
    if (wide.empty())
        return false;
    // SND_NODEFAULT: a missing or broken file must stay silent, not loop the system beep.
    return PlaySoundW(wide.c_str(), nullptr, SND_ASYNC | SND_LOOP | SND_FILENAME | SND_NODEFAULT) != FALSE;
}

void Win32SoundPlayer::stop() { PlaySoundW(nullptr, nullptr, 0); }

} // namespace velmora::music::win32
