// The catalogue of a 30,000-picture folder: scan, sort and show order, on the real file
// system and on the sort and shuffle alone.
#include "platform/linux/startup_linux.h"
#include "startup/catalogue.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <string>
#include <unistd.h>

using namespace velmora;

namespace {

constexpr int kFiles = 30000;
constexpr const char* kExtensions[] = {".jpg", ".BMP", ".gif", ".wmf"};

std::string fileName(int i)
{
    // Mixed case and a shuffled numbering, so the scan order is far from sorted.
    const int n = static_cast<int>((static_cast<unsigned>(i) * 2654435761u) % 1000003u);
    return std::string(i % 3 == 0 ? "IMG_" : "photo ") + std::to_string(n) + kExtensions[i % 4];
}

struct Folder {
    std::string path;
    Folder()
    {
        std::string pattern = "/tmp/velmora-bench-XXXXXX";
        path = ::mkdtemp(pattern.data());
        for (int i = 0; i < kFiles; ++i)
            ::close(::open((path + "/" + fileName(i)).c_str(), O_CREAT | O_WRONLY, 0644));
    }
    ~Folder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

void BM_CatalogueOf30000Files(benchmark::State& state)
{
    static Folder folder;
    posix::PosixFileSystem fs;
    Random random(1);
    Catalogue catalogue;
    for (auto _ : state) {
        BuildImageList(folder.path, {1, 1, 1, 1}, fs, catalogue);
        MakeShowOrder(1, random, catalogue);
        benchmark::DoNotOptimize(catalogue.ShowOrder.data());
    }
    if (catalogue.ImageCount != kFiles)
        state.SkipWithError("not every file was listed");
}
BENCHMARK(BM_CatalogueOf30000Files)->Unit(benchmark::kMillisecond);

void BM_SortAndShowOrderOf30000Paths(benchmark::State& state)
{
    Catalogue unsorted;
    for (int i = 0; i < kFiles; ++i)
        unsorted.ImageList.push_back("/home/user/Pictures/" + fileName(i));
    unsorted.ImageCount = kFiles;
    Random random(1);
    for (auto _ : state) {
        state.PauseTiming();
        Catalogue catalogue = unsorted;
        state.ResumeTiming();
        SortImageList(catalogue);
        MakeShowOrder(1, random, catalogue);
        benchmark::DoNotOptimize(catalogue.ShowOrder.data());
    }
}
BENCHMARK(BM_SortAndShowOrderOf30000Paths)->Unit(benchmark::kMillisecond);

} // namespace
