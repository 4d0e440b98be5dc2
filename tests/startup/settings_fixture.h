// Settings on an in-memory file system with the platform's code page 932: a program folder
// and a per-user one, both writable until a test says otherwise.
#pragma once

#include "fake_file_system.h"
#include "startup/settings_file.h"

#ifdef _WIN32
#include "platform/win32/startup_win32.h"
#else
#include "platform/linux/startup_linux.h"
#endif

#include <gtest/gtest.h>

namespace velmora::testing {

#ifdef _WIN32
using PlatformCodec = win32::Cp932Codec;
#else
using PlatformCodec = posix::IconvCodec;
#endif

inline const std::string kProgram = "C:\\Program";
inline const std::string kAppDataParent = "C:\\AppData";
inline const std::string kAppData = kAppDataParent + "\\Velmora";
inline const std::string kBeside = kProgram + "\\ヴェルモラ.ini";
inline const std::string kPerUser = kAppData + "\\ヴェルモラ.ini";

struct SettingsFixture : ::testing::Test {
    FakeFileSystem fs;
    PlatformCodec codec;
    SettingsLocation location{kProgram, kAppData, {}};
    Settings settings;
    Catalogue catalogue;

    SettingsFixture()
    {
        fs.addFolder(kProgram);
        fs.addFolder(kAppDataParent);
    }
    std::string cp932(const char* utf8) { return codec.toCp932(utf8).value(); }
};

} // namespace velmora::testing
