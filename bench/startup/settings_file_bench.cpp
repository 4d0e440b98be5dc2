// A settings file of a few lines, and one with megabytes of comments (up to the 16 MB limit),
// read and saved on the real file system: UTF-8 against UTF-16, which is converted as a whole
// on every read and on the save.
#include "platform/linux/startup_linux.h"
#include "startup/file_encoding.h"
#include "startup/settings_file.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace velmora;

namespace {

struct SettingsFolder {
    std::string path;
    std::string file;
    SettingsFolder(std::size_t megabytes, Utf16Form form)
    {
        std::string pattern = "/tmp/velmora-bench-XXXXXX";
        path = ::mkdtemp(pattern.data());
        file = path + "/v.ini";
        std::string text;
        while (text.size() < (megabytes << 20))
            text += "; " + std::string(78, 'x') + "\r\n";
        text += "[Section]\r\n画像のｻｲｽﾞ=0\r\n"; // UTF-8 keys: the form the UTF-16 file holds
        std::ofstream(file, std::ios::binary) << encodeFileText(text, form);
    }
    ~SettingsFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

void run(benchmark::State& state, Utf16Form form)
{
    const SettingsFolder folder(std::size_t(state.range(0)), form);
    posix::PosixFileSystem fs;
    posix::IconvCodec codec;
    const SettingsLocation location = posix::settingsLocation(folder.file);
    for (auto _ : state) {
        Settings settings;
        Catalogue catalogue;
        (void)LoadSettings(location, fs, codec, settings, catalogue);
        const auto saved = SaveSettings(settings, {"", "0"}, location, fs, codec);
        if (!saved.ok())
            state.SkipWithError("the save failed");
    }
}

void BM_LoadAndSaveUtf8(benchmark::State& state) { run(state, Utf16Form::None); }
void BM_LoadAndSaveUtf16(benchmark::State& state) { run(state, Utf16Form::LittleEndian); }

} // namespace

BENCHMARK(BM_LoadAndSaveUtf8)->Arg(0)->Arg(1)->Arg(5)->Arg(15)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAndSaveUtf16)->Arg(0)->Arg(1)->Arg(5)->Arg(7)->Unit(benchmark::kMillisecond);
