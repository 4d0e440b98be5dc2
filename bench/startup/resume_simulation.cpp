// Thirty short shows of one 200-picture folder in random order, one after another as thirty
// processes would run them (each with its own reading and writing of the state file): which
// picture is shown when, and how soon the first picture comes back, with the place remembered
// and without (every start drawing a new order, as with the 続きから setting at 0).
//   resume_simulation [starts] [pictures]
#include "platform/linux/startup_linux.h"
#include "startup/catalogue.h"
#include "startup/resume_keeper.h"
#include "startup/show_sequence.h"

#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

using namespace velmora;

namespace {

struct Outcome {
    std::vector<int> shown;     // catalogue indexes, in the order shown over all starts
    std::vector<int> perStart;  // how many each start showed
};

// A start shows 5 to 40 pictures: a few minutes to ten of screen saver, at about 16 s a picture.
Outcome simulate(int starts, int pictures, bool remember, const std::string& stateFile)
{
    Catalogue catalogue;
    catalogue.ImageCount = pictures;
    for (int i = 1; i <= pictures; ++i)
        catalogue.ImageList.push_back("/pictures/" + std::to_string(1000 + i) + ".jpg");
    Settings settings;
    settings.ImageFolder = "/pictures";
    settings.ImageOrder = 1;
    Random lengths(2026);
    Outcome outcome;
    for (int s = 0; s < starts; ++s) {
        Random random(std::uint64_t(1000 + s)); // each start its own seed, as the clock would give

        MakeShowOrder(1, random, catalogue);
        auto keeper = std::make_unique<ResumeKeeper>(std::make_shared<posix::PosixFileSystem>(), stateFile);
        ShowSequence sequence = remember ? ShowSequence(settings, random, *keeper) : ShowSequence();
        sequence.begin(catalogue);
        const int count = 5 + int(lengths.below(36));
        for (int p = 1; p <= count; ++p) {
            outcome.shown.push_back(sequence.pictureAt(p));
            sequence.shown(p);
        }
        outcome.perStart.push_back(count);
    }
    return outcome;
}

void report(const char* title, const Outcome& o, int pictures)
{
    std::set<int> seen;
    std::size_t firstRepeat = 0;
    for (std::size_t i = 0; i < o.shown.size() && firstRepeat == 0; ++i)
        if (!seen.insert(o.shown[i]).second)
            firstRepeat = i + 1;
    const std::set<int> all(o.shown.begin(), o.shown.end());
    int rounds = 0;
    bool eachRoundWhole = true;
    for (std::size_t r = 0; (r + 1) * std::size_t(pictures) <= o.shown.size(); ++r, ++rounds)
        eachRoundWhole = eachRoundWhole && std::set<int>(o.shown.begin() + std::ptrdiff_t(r * std::size_t(pictures)),
                                                         o.shown.begin() + std::ptrdiff_t((r + 1) * std::size_t(pictures)))
                                                   .size() == std::size_t(pictures);
    std::printf("%s\n  pictures shown: %zu in %zu starts\n", title, o.shown.size(), o.perStart.size());
    std::printf("  first repeat: show %zu (%zu different pictures before it)\n", firstRepeat,
                firstRepeat == 0 ? seen.size() : firstRepeat - 1);
    std::printf("  different pictures over all starts: %zu of %d\n", all.size(), pictures);
    std::printf("  whole rounds: %d, each showing every picture exactly once: %s\n", rounds, eachRoundWhole ? "yes" : "no");
}

} // namespace

int main(int argc, char** argv)
{
    const int starts = argc > 1 ? std::atoi(argv[1]) : 30;
    const int pictures = argc > 2 ? std::atoi(argv[2]) : 200;
    if (starts < 1 || pictures < 1)
        return 2;
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "velmora-resume-simulation";
    std::filesystem::remove_all(dir);
    const std::string stateFile = (dir / "state").string();

    const Outcome remembered = simulate(starts, pictures, true, stateFile);
    std::printf("%d starts of a %d-picture folder, random order\n", starts, pictures);
    std::printf("pictures per start:");
    for (const int n : remembered.perStart)
        std::printf(" %d", n);
    std::printf("\n");
    report("remembering the place:", remembered, pictures);
    report("every start anew:", simulate(starts, pictures, false, stateFile), pictures);
    std::filesystem::remove_all(dir);
    return 0;
}
