// velmora-fx from the outside: BMP files in, the engine's bytes out, and no output at all
// when the arguments, the input file or the filter fail.
#include "filter_test_support.h"
#include "tests/loaders/loader_test_support.h"

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

// A fixture of the loader suites and the picture the tool reads from it: opaque, as it reads
// every BMP.
Picture fixturePicture(const std::string& name)
{
    Picture p = loader_test::readPpm(loader_test::fixture(name + ".expected.ppm"));
    for (std::size_t i = 3; i < p.byteCount(); i += 4) p.data()[i] = 255;
    return p;
}

// Reads the tool's output: a 54-byte header and bottom-up 32-bit rows. A file of any other
// size gives an empty picture, which no expected one equals.
Picture readOutput(const std::string& path)
{
    const std::vector<std::uint8_t> f = loader_test::readBytes(path);
    if (f.size() < 54) return {};
    const auto le = [&](std::size_t at) { return int(f[at] | f[at + 1] << 8 | f[at + 2] << 16 | f[at + 3] << 24); };
    EXPECT_EQ(f[28], 32);
    EXPECT_EQ(le(30), 0); // uncompressed
    Picture p(le(18), le(22));
    if (f.size() != 54 + p.byteCount()) return {};
    for (int y = 0; y < p.height(); ++y)
        std::copy_n(&f[54 + std::size_t(p.height() - 1 - y) * std::size_t(p.width()) * 4], p.width() * 4, p.pixel(0, y));
    return p;
}

// The tool's exit status.
int runTool(const std::string& args, const std::string& errorFile)
{
    const int status = std::system((toolPath() + " " + args + " 2> " + errorFile).c_str());
#ifdef _WIN32
    return status;
#else
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

class FxTool : public testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::path("fx_tool_work") / testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    std::string file(const std::string& name) const { return (dir / name).generic_string(); }

    fs::path dir;
};

} // namespace

TEST_F(FxTool, FiltersBmpFilesLikeTheEngine)
{
    // 32 bits bottom-up and 24 bits top-down; the loader suites check every layout's pixels.
    for (const std::string name : {"bits32.bmp", "top-down.bmp"}) {
        const Picture picture = fixturePicture(name);
        for (auto [type, param] : std::vector<std::pair<int, int>>{{1, 2}, {4, 12}, {9, 0x787800}, {17, 20}}) {
            // Fresh names for every run: under Wine a finished run may still hold its files a moment.
            const std::string run = name + "-" + std::to_string(type);
            const std::string out = file("out-" + run + ".bmp");
            const std::string args = std::to_string(type) + " " + std::to_string(param) + " " + loader_test::fixture(name);
            ASSERT_EQ(runTool(args + " " + out + " --seed 77", file("err-" + run + ".txt")), 0);
            Picture want = picture;
            Random random(77);
            ASSERT_TRUE(filters::testing::runFilter(type, want, param, &random).ok());
            EXPECT_EQ(readOutput(out), want) << name << " type " << type;
        }
    }
    // PNG output when the name says so.
    ASSERT_EQ(runTool("2 0 " + loader_test::fixture("bits32.bmp") + " " + file("out.PNG"), file("err.txt")), 0);
    const std::vector<std::uint8_t> png = loader_test::readBytes(file("out.PNG"));
    EXPECT_EQ(std::string(png.begin(), png.begin() + std::min<std::size_t>(png.size(), 4)), "\x89PNG");
}

// Every failure says why on one line and writes nothing: bad arguments and refused OUTs end
// with 2 before IN is read, failed reads and filters with 1. OUT is written by replacing it,
// so anything but a new name or a regular file other than IN is refused. A FIFO as IN fails
// at once instead of waiting for a writer.
TEST_F(FxTool, FailuresSayWhyOnOneLineAndDestroyNothing)
{
    const std::string in = file("in.bmp");
    fs::copy_file(loader_test::fixture("bits24.bmp"), in);
    std::ofstream(file("broken.bmp"), std::ios::binary) << "BM this is not a picture";
    const std::vector<std::uint8_t> original = loader_test::readBytes(in);
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
    const auto files = std::distance(fs::directory_iterator(dir), fs::directory_iterator());
    int n = 0;
    for (const auto& [args, code] : runs) {
        const std::string errors = file("err-" + std::to_string(++n) + ".txt");
        const int status = runTool(args, errors);
        EXPECT_TRUE(code < 0 ? status != 0 : status == code) << args << " ended with " << status;
        // One line that names the tool.
        const std::vector<std::uint8_t> bytes = loader_test::readBytes(errors);
        const std::string reason(bytes.begin(), bytes.end());
        EXPECT_TRUE(reason.rfind("velmora-fx: ", 0) == 0 && reason.find('\n') == reason.size() - 1)
            << args << ": " << reason;
    }
    // Only the messages are new: no output, partial or whole, and nothing replaced.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), files + n);
    EXPECT_EQ(loader_test::readBytes(in), original);
    EXPECT_TRUE(fs::is_directory(file("folder.bmp")) && fs::is_empty(file("folder.bmp")));
#ifndef _WIN32
    EXPECT_TRUE(fs::is_symlink(file("link.bmp")) && fs::is_symlink(file("dirlink.bmp")));
    EXPECT_TRUE(fs::is_fifo(file("pipe.bmp")));
#endif
    // A regular OUT is still replaced.
    std::ofstream(file("old.bmp")) << "old";
    EXPECT_EQ(runTool("0 0 " + in + " " + file("old.bmp"), file("err-old.txt")), 0);
    EXPECT_EQ(readOutput(file("old.bmp")), fixturePicture("bits24.bmp"));
}
