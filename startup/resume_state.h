// Where the show stopped, per folder and kind selection: the state file's contents, its text
// form, and how a remembered order meets the pictures a folder holds today.
#pragma once

#include "startup/random.h"
#include "startup/settings.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The place of one folder and kind selection.
struct ResumeEntry {
    std::string folder;
    ImageKindFlags kinds{};
    std::int16_t order = 0;          // the ImageOrder it was walked in: 0 sequential, 1 random
    std::vector<std::string> names;  // the pictures' file names, in the order of the round
    std::size_t next = 0;            // how many of them have been shown this round

    bool sameSelection(const ResumeEntry& other) const { return folder == other.folder && kinds == other.kinds; }
};

// The whole state file: the most recently used selection first.
struct ResumeState {
    std::vector<ResumeEntry> entries;

    const ResumeEntry* find(const std::string& folder, const ImageKindFlags& kinds) const;
    // Puts `entry` first, in place of the one of its selection, and keeps at most MaxEntries.
    void put(ResumeEntry entry);
    static constexpr std::size_t MaxEntries = 16;
};

// The file's text. A file that is not one we wrote, or is cut short or damaged anywhere, reads
// as nullopt: it is ignored and replaced by the next write.
std::string formatResumeState(const ResumeState& state);
std::optional<ResumeState> parseResumeState(std::string_view bytes);

// Far above 16 selections of 40000 names each; a larger file is not ours.
inline constexpr std::size_t ResumeFileLimit = 64 * 1024 * 1024;

// The round a show starts in: catalogue indexes (1..ImageCount) in the order of the whole round,
// and how many of them are already shown, so the show starts at order[next].
struct ResumedOrder {
    std::vector<int> order;
    std::size_t next = 0;
};

// Sequential: the sorted catalogue, from the first picture after the last one shown (by name,
// so a picture added or gone since changes nothing else). Random: the remembered round with the
// pictures gone left out and those added put in random places among the ones still to come; a
// fresh round once every picture of it has been shown. No entry: the round from the start, as
// MakeShowOrder makes it.
ResumedOrder resumeOrder(const Catalogue& catalogue, std::int16_t imageOrder, const ResumeEntry* stored,
                         Random& random);

// A fresh random round of 1..count, whose first picture is not `avoidFirst` when there is a choice,
// so a new round never starts with the picture the last one ended on.
std::vector<int> freshRound(int count, int avoidFirst, Random& random);

// The file name of a catalogue path: what follows its last separator ("/" or "\").
std::string_view pictureName(std::string_view path);

} // namespace velmora
