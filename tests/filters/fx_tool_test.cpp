// velmora-fx from the outside: BMP files in, the engine's bytes out, and no output at all
// when the arguments, the input file or the filter fail.
#include "filters/engine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#endif

using namespace velmora;
namespace fs = std::filesystem;

namespace {

std::string toolPath()
{
    std::string path = VELMORA_FX_PATH;
#ifdef _WIN32
    // The build tree path is a Linux one; Wine maps / to drive Z:.
    for (char& c : path) c = c == '/' ? '\\' : c;
    if (!path.empty() && path[0] == '\\') path = "Z:" + path;
#endif
    return path;
}

void putLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) out.push_back(std::uint8_t(value >> (8 * i)));
}

// A BMP of `picture` with 24 or 32 bits per pixel, bottom-up or top-down.
void writeBmp(const std::string& path, const Picture& picture, int bits, bool topDown)
{
    const int w = picture.width(), h = picture.height();
    const int rowBytes = (w * bits / 8 + 3) / 4 * 4;
    std::vector<std::uint8_t> f{'B', 'M'};
    putLe(f, std::uint32_t(54 + rowBytes * h), 4);
    putLe(f, 0, 4);
    putLe(f, 54, 4);
    putLe(f, 40, 4);
    putLe(f, std::uint32_t(w), 4);
    putLe(f, std::uint32_t(topDown ? -h : h), 4);
    putLe(f, 1, 2);
    putLe(f, std::uint32_t(bits), 2);
    for (int i = 0; i < 6; ++i) putLe(f, 0, 4);
    for (int row = 0; row < h; ++row) {
        const int y = topDown ? row : h - 1 - row;
        std::size_t written = 0;
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* p = picture.pixel(x, y);
            for (int c = 0; c < bits / 8; ++c, ++written) f.push_back(p[c]);
        }
        for (; written < std::size_t(rowBytes); ++written) f.push_back(0);
    }
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(f.data()), std::streamsize(f.size()));
}

// Reads the tool's output: a 54-byte header and bottom-up 32-bit rows.
Picture readOutput(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> f((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_GE(f.size(), 54u);
    if (f.size() < 54) return {};
    const auto le = [&](std::size_t at) { return int(f[at] | f[at + 1] << 8 | f[at + 2] << 16 | f[at + 3] << 24); };
    EXPECT_EQ(f[28], 32);
    EXPECT_EQ(le(30), 0); // uncompressed
    Picture p(le(18), le(22));
    EXPECT_EQ(f.size(), 54 + p.byteCount());
    if (f.size() != 54 + p.byteCount()) return {};
    for (int y = 0; y < p.height(); ++y)
        std::copy_n(&f[54 + std::size_t(p.height() - 1 - y) * std::size_t(p.width()) * 4], p.width() * 4, p.pixel(0, y));
    return p;
}

int runTool(const std::string& args, const std::string& errorFile)
{
    return std::system((toolPath() + " " + args + " 2> " + errorFile).c_str());
}

// The tool's exit status from std::system's result.
int exitCode(int status)
{
#ifdef _WIN32
    return status;
#else
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

// A failure says why on exactly one line that names the tool.
void expectOneLineReason(const std::string& errorFile, const std::string& what)
{
    std::ifstream in(errorFile);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 1u) << what;
    EXPECT_EQ(lines[0].rfind("velmora-fx: ", 0), 0u) << lines[0];
}

class FxTool : public testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::path("fx_tool_work") / testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir);
        fs::create_directories(dir);
        picture = Picture(9, 7);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 9; ++x) picture.setPixel(x, y, std::uint8_t(x * 29), std::uint8_t(y * 37), std::uint8_t(x * y * 5), 255);
    }
    std::string file(const std::string& name) const { return (dir / name).generic_string(); }

    fs::path dir;
    Picture picture;
};

} // namespace

TEST_F(FxTool, FiltersBmpFilesOfEveryLayoutLikeTheEngine)
{
    for (auto [bits, topDown] : std::vector<std::pair<int, bool>>{{24, false}, {24, true}, {32, false}, {32, true}}) {
        const std::string in = file("in" + std::to_string(bits) + (topDown ? "t.bmp" : "b.bmp"));
        writeBmp(in, picture, bits, topDown);
        for (auto [type, param] : std::vector<std::pair<int, int>>{{1, 2}, {4, 12}, {9, 0x787800}, {17, 20}}) {
            // Fresh names for every run: under Wine a finished run may still hold its files a moment.
            const std::string run = std::to_string(bits) + (topDown ? "t-" : "b-") + std::to_string(type);
            const std::string out = file("out-" + run + ".bmp");
            ASSERT_EQ(runTool(std::to_string(type) + " " + std::to_string(param) + " " + in + " " + out + " --seed 77",
                              file("err-" + run + ".txt")), 0);
            Picture want = picture;
            filters::FilterEngine engine;
            Random random(77);
            engine.random = &random;
            ASSERT_TRUE(filters::Fil_Run(engine, type, want.view(), param).ok());
            EXPECT_EQ(readOutput(out), want) << bits << (topDown ? " top-down" : " bottom-up") << " type " << type;
        }
    }
    // PNG output when the name says so.
    ASSERT_EQ(runTool("2 0 " + file("in32t.bmp") + " " + file("out.PNG"), file("err.txt")), 0);
    std::ifstream png(file("out.PNG"), std::ios::binary);
    char magic[4] = {};
    png.read(magic, 4);
    EXPECT_EQ(std::string(magic + 1, 3), "PNG");
}

// Every failure says why on one line and writes nothing: bad arguments and refused OUTs end
// with 2 before IN is read, failed reads and filters with 1. OUT is written by replacing it,
// so anything but a new name or a regular file other than IN is refused. A FIFO as IN fails
// at once instead of waiting for a writer.
TEST_F(FxTool, FailuresSayWhyOnOneLineAndDestroyNothing)
{
    const std::string in = file("in.bmp");
    writeBmp(in, picture, 24, false);
    std::ofstream(file("broken.bmp"), std::ios::binary) << "BM this is not a picture";
    const auto bytesOf = [](const std::string& path) {
        std::ifstream f(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    };
    const std::string original = bytesOf(in);
    fs::create_directory(file("folder.bmp"));
    const std::string out = file("out.bmp");
    std::vector<std::pair<std::string, int>> runs = {
        {"15 0 " + in + " " + out, 1}, // the filter fails
        {"15 x " + in + " " + out, 2},
        {"32 1 " + in + " " + out, 2}, // no such type
        {"2 0 " + in, 2},
        {"2 0 " + in + " " + out + " --seed", 2},
        {"2 0 " + file("missing.bmp") + " " + out, 1},
        {"2 0 " + file("broken.bmp") + " " + out, 1},
        {"2 0 " + in + " " + file("no/such/dir/out.bmp"), -1}, // any failure
        {"2 0 " + in + " " + file("folder.bmp"), 2},
        {"2 0 " + in + " " + in, 2},
        {"2 0 " + in + " " + file("out.jpg"), 2},
        {"2 0 " + in + " " + file("out"), 2}};
#ifndef _WIN32
    fs::create_hard_link(in, file("same.bmp"));
    fs::create_symlink("in.bmp", file("link.bmp"));
    fs::create_symlink("folder.bmp", file("dirlink.bmp"));
    ASSERT_EQ(mkfifo(file("pipe.bmp").c_str(), 0600), 0);
    for (const char* name : {"same.bmp", "link.bmp", "dirlink.bmp", "pipe.bmp"}) runs.emplace_back("2 0 " + in + " " + file(name), 2);
    runs.emplace_back("2 0 " + file("pipe.bmp") + " " + out, 1);
#endif
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++files;
    int n = 0;
    for (const auto& [args, code] : runs) {
        const std::string errors = file("err-" + std::to_string(++n) + ".txt");
        const int status = exitCode(runTool(args, errors));
        if (code < 0) {
            EXPECT_NE(status, 0) << args;
        } else {
            EXPECT_EQ(status, code) << args;
        }
        expectOneLineReason(errors, args);
    }
    // Only the messages are new: no output, partial or whole, and nothing replaced.
    int after = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++after;
    EXPECT_EQ(after, files + n);
    EXPECT_EQ(bytesOf(in), original);
    EXPECT_TRUE(fs::is_directory(file("folder.bmp")) && fs::is_empty(file("folder.bmp")));
#ifndef _WIN32
    EXPECT_TRUE(fs::is_symlink(file("link.bmp")) && fs::is_symlink(file("dirlink.bmp")));
    EXPECT_TRUE(fs::is_fifo(file("pipe.bmp")));
#endif
    // A regular OUT is still replaced.
    std::ofstream(file("old.bmp")) << "old";
    EXPECT_EQ(exitCode(runTool("0 0 " + in + " " + file("old.bmp"), file("err-old.txt"))), 0);
    EXPECT_EQ(readOutput(file("old.bmp")), picture);
}
