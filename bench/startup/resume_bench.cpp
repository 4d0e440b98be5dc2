// The remembered place of a 30,000-picture folder: the state file's text both ways (done on the
// writer's thread once per picture) and the merge with the catalogue at start.
#include "startup/catalogue.h"
#include "startup/resume_state.h"

#include <benchmark/benchmark.h>

#include <string>

using namespace velmora;

namespace {

constexpr int kPictures = 30000;

Catalogue catalogueOf(int count)
{
    Catalogue catalogue;
    catalogue.ImageCount = count;
    for (int i = 1; i <= count; ++i)
        catalogue.ImageList.push_back("/home/me/Pictures/IMG_" + std::to_string(100000 + i) + ".jpg");
    return catalogue;
}

ResumeEntry entryOf(const Catalogue& catalogue, Random& random)
{
    const ResumedOrder order = resumeOrder(catalogue, 1, nullptr, random);
    ResumeEntry entry{"/home/me/Pictures", {1, 1, 1, 1}, 1, {}, std::size_t(kPictures / 3)};
    for (const int index : order.order)
        entry.names.emplace_back(pictureName(catalogue.ImageList[std::size_t(index)]));
    return entry;
}

void BM_StateFileTextOf30000Names(benchmark::State& state)
{
    Random random(1);
    const Catalogue catalogue = catalogueOf(kPictures);
    ResumeState resume;
    resume.put(entryOf(catalogue, random));
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string text = formatResumeState(resume);
        bytes = text.size();
        benchmark::DoNotOptimize(parseResumeState(text));
    }
    state.counters["file_bytes"] = double(bytes);
}
BENCHMARK(BM_StateFileTextOf30000Names)->Unit(benchmark::kMillisecond);

// A third of the round shown, 100 pictures gone and 100 added since.
void BM_ResumeOrderOf30000Pictures(benchmark::State& state)
{
    Random random(1);
    Catalogue catalogue = catalogueOf(kPictures);
    const ResumeEntry entry = entryOf(catalogue, random);
    catalogue.ImageList.erase(catalogue.ImageList.begin() + 1, catalogue.ImageList.begin() + 101);
    for (int i = 0; i < 100; ++i)
        catalogue.ImageList.push_back("/home/me/Pictures/new_" + std::to_string(1000 + i) + ".jpg");
    for (auto _ : state)
        benchmark::DoNotOptimize(resumeOrder(catalogue, 1, &entry, random));
}
BENCHMARK(BM_ResumeOrderOf30000Pictures)->Unit(benchmark::kMillisecond);

} // namespace
