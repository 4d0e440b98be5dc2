// The pictures of one show, position after position. One sequence serves every monitor's show
// of a process: position 1 is the first picture of this start, and each monitor takes its own
// positions (with one monitor 1, 2, 3...), so all of them draw from the same order. A position
// looked up twice gives the same picture.
#pragma once

#include "startup/resume_keeper.h"
#include "startup/settings.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace velmora {

class ShowSequence {
public:
    // The catalogue's ShowOrder, walked over and over from its first picture; nothing remembered.
    ShowSequence() = default;
    // Going on where the last show of the settings' folder and kinds stopped, as `keeper`
    // remembers it, and remembering each picture shown there. Random rounds are drawn anew
    // once every picture of one has been shown. Both must outlive the sequence.
    ShowSequence(const Settings& settings, Random& random, ResumeKeeper& keeper);

    // Fixes the order from the catalogue: the first call does (each monitor's show calls it once
    // its catalogue is known); later calls change nothing.
    void begin(const Catalogue& catalogue);
    bool begun() const { return begun_; }

    // The catalogue index (1..ImageCount) of the picture at `position` (from 1); 0 before begin,
    // with no pictures, or for a position below 1.
    int pictureAt(std::int64_t position);
    // The picture at `position` is on the screen: what a later start goes on from.
    void shown(std::int64_t position);

private:
    const std::vector<int>& round(std::int64_t number);

    Settings settings_;
    Random* random_ = nullptr;
    ResumeKeeper* keeper_ = nullptr;
    bool begun_ = false;
    std::vector<std::string> names_;              // by catalogue index
    std::size_t start_ = 0;                       // shown of the first round before this start
    std::map<std::int64_t, std::vector<int>> rounds_; // round 0: the one this start began in
    std::int64_t lastShown_ = 0;
};

} // namespace velmora
