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

namespace fs = std::filesystem;

// OUT may be a new name or an existing regular file, and never IN itself: anything else
// (a directory, a FIFO, a device, a symbolic link, whatever it points to) would be destroyed
// by the rename that writes it.
velmora::Result<void> checkOutput(const std::string& in, const std::string& out)
{
    if (velmora::fx::outputKindOf(out) == velmora::fx::OutputKind::None) {
        return velmora::Reason{"OUT must end in .bmp or .png"};
    }
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(velmora::fx::utf8Path(out), ec);
    if (status.type() == fs::file_type::not_found) {
        return {};
    }
    if (ec) {
        return velmora::Reason{"cannot inspect " + out};
    }
    if (status.type() == fs::file_type::symlink) {
        return velmora::Reason{out + " is a symbolic link; name the file itself"};
    }
    if (status.type() != fs::file_type::regular) {
        return velmora::Reason{out + " exists and is not a regular file"};
    }
    if (fs::equivalent(velmora::fx::utf8Path(in), velmora::fx::utf8Path(out), ec) && !ec) {
        return velmora::Reason{"IN and OUT are the same file"};
    }
    return {};
}

// Writes to a name beside OUT and renames it on success, so OUT is never half written and
// no output exists after a failure.
velmora::Result<void> writeAtomically(const std::string& out, const velmora::Picture& picture)
{
    const fs::path target = velmora::fx::utf8Path(out);
    const std::string temporary = out + ".velmora-fx-partial";
    const fs::path partial = velmora::fx::utf8Path(temporary);
    std::error_code ec;
    // A partial file left by a run that was killed goes; anything else of that name stays.
    const fs::file_type left = fs::symlink_status(partial, ec).type();
    if (left == fs::file_type::regular) {
        fs::remove(partial, ec);
    } else if (left != fs::file_type::not_found) {
        return velmora::Reason{temporary + " exists and is not a regular file"};
    }
    velmora::Result<void> written = velmora::fx::writePicture(temporary, picture, velmora::fx::outputKindOf(out));
    if (written.ok()) {
        fs::rename(partial, target, ec);
        if (ec && fs::symlink_status(target).type() == fs::file_type::regular) {
            // Some systems refuse to rename over an existing file; only a regular file is removed.
            fs::remove(target, ec);
            fs::rename(partial, target, ec);
        }
        if (ec) {
            written = velmora::Reason{"cannot write " + out};
        }
    }
    if (!written.ok()) {
        fs::remove(partial, ec);
    }
    return written;
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

    if (const Result<void> writable = checkOutput(in, out); !writable.ok()) {
        return fail(writable.reason().text, 2);
    }
    Result<LoadedPicture> loaded = fx::readPicture(in);
    if (!loaded.ok()) {
        return fail(loaded.reason().text);
    }
    const Result<void> filtered = filters::Fil_Run(engine, type, loaded->picture.view(), param);
    if (!filtered.ok()) {
        return fail("filter " + std::to_string(type) + " failed: " + filtered.reason().text);
    }
    if (const Result<void> written = writeAtomically(out, loaded->picture); !written.ok()) {
        return fail(written.reason().text);
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
