// velmora-fx: applies one filter type of the engine to a whole picture file.
//   velmora-fx TYPE PARAM IN OUT [--seed N]
#include "filters/engine.h"
#include "filters/filter_table.h"
#include "platform/fx/picture_files.h"
#include "startup/random.h"
#include "startup/text_units.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

constexpr const char* usage = "usage: velmora-fx TYPE PARAM IN OUT [--seed N]";

template <typename Int>
bool parseWhole(const std::string& text, Int& value)
{
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc() && stop == end;
}

int fail(const std::string& message, int code = 1)
{
    std::fprintf(stderr, "velmora-fx: %s\n", message.c_str());
    return code;
}

// Writes to a name beside OUT and renames it on success, so OUT is never half written and
// no output exists after a failure.
std::string writeAtomically(const std::string& out, const velmora::Picture& picture)
{
    namespace fs = std::filesystem;
    const std::string temporary = out + ".velmora-fx-partial";
    std::string error = velmora::fx::writePicture(temporary, picture, velmora::fx::isPngName(out));
    std::error_code ec;
    if (error.empty()) {
        fs::rename(velmora::fx::utf8Path(temporary), velmora::fx::utf8Path(out), ec);
        if (ec) {
            // Some systems refuse to rename over an existing file.
            fs::remove(velmora::fx::utf8Path(out), ec);
            fs::rename(velmora::fx::utf8Path(temporary), velmora::fx::utf8Path(out), ec);
        }
        if (ec) {
            error = "cannot write " + out;
        }
    }
    if (!error.empty()) {
        fs::remove(velmora::fx::utf8Path(temporary), ec);
    }
    return error;
}

} // namespace

int run(int argc, char** argv)
{
    using namespace velmora;
    if (argc != 5 && argc != 7) {
        return fail(usage, 2);
    }
    int type = 0;
    std::int32_t param = 0;
    // Type 0 runs no effect: the tool then converts any picture the loader reads.
    if (!parseWhole(argv[1], type) || (type != 0 && filters::findFilterType(type) == nullptr)) {
        return fail("TYPE must be 0 (no effect) or a filter type 1.." + std::to_string(filters::FilterTypeCount), 2);
    }
    if (!parseWhole(argv[2], param)) {
        return fail("PARAM must be a whole number that fits in 32 bits", 2);
    }
    const std::string in = argv[3];
    const std::string out = argv[4];
    Random seeded;
    filters::FilterEngine engine;
    if (argc == 7) {
        std::uint64_t seed = 0;
        if (std::string(argv[5]) != "--seed" || !parseWhole(argv[6], seed)) {
            return fail(usage, 2);
        }
        seeded.seed(seed);
        engine.random = &seeded;
    }

    LoadResult loaded = fx::readPicture(in);
    if (!loaded.ok) {
        return fail(loaded.error);
    }
    const filters::FilterResult result = filters::Fil_Run(engine, type, loaded.picture.view(), param);
    if (!result.ok()) {
        return fail("filter " + std::to_string(type) + " failed: " + result.reason);
    }
    const std::string error = writeAtomically(out, loaded.picture);
    if (!error.empty()) {
        return fail(error);
    }
    return 0;
}

namespace {

int guardedRun(int argc, char** argv)
{
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        return fail(e.what()); // out of memory for a huge picture, for one
    }
}

} // namespace

#ifdef _WIN32
// Windows hands the ANSI code page to main(); the wide arguments carry every file name,
// so they are taken and passed on as UTF-8 like everywhere else.
int wmain(int argc, wchar_t** wideArgv)
{
    std::vector<std::string> arguments;
    std::vector<char*> argv;
    for (int i = 0; i < argc; ++i) {
        const std::wstring_view wide(wideArgv[i]);
        arguments.push_back(velmora::utf16ToUtf8(std::u16string(wide.begin(), wide.end())));
    }
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    return guardedRun(argc, argv.data());
}
#else
int main(int argc, char** argv) { return guardedRun(argc, argv); }
#endif
