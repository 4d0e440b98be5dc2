// A test program that saves the settings file named on its command line as the settings
// dialog's "設定" does, with the order setting switched, through the platform's own file
// system; with --load first, it only loads the file, as every start does. The killed-save test
// stops it mid-save for real.
#include "startup/catalogue.h"
#include "startup/settings_file.h"

#ifdef _WIN32
#include "platform/win32/startup_win32.h"
using PlatformFileSystem = velmora::win32::Win32FileSystem;
using PlatformCodec = velmora::win32::Cp932Codec;
#else
#include "platform/linux/startup_linux.h"
using PlatformFileSystem = velmora::posix::PosixFileSystem;
using PlatformCodec = velmora::posix::IconvCodec;
#endif

#include <cstdio>
#include <string_view>

int main(int argc, char** argv)
{
    const bool loadOnly = argc == 3 && std::string_view(argv[1]) == "--load";
    if (argc != 2 && !loadOnly) {
        std::fprintf(stderr, "usage: settings_saver [--load] FILE\n");
        return 2;
    }
    PlatformFileSystem fs;
    PlatformCodec codec;
    const velmora::SettingsLocation location{{}, {}, argv[argc - 1]};
    velmora::Settings settings;
    velmora::Catalogue catalogue;
    (void)velmora::LoadSettings(location, fs, codec, settings, catalogue);
    if (loadOnly)
        return 0;
    settings.ImageOrder = settings.ImageOrder == 0 ? 1 : 0;
    const auto result = velmora::SaveSettings(
        settings, {settings.ImageFolder, std::to_string(settings.BgmRepeat)}, location, fs, codec);
    if (!result.ok())
        std::fprintf(stderr, "not saved: problem %d\n", int(result.reason().problem));
    return result.ok() ? 0 : 1;
}
