// The frames-per-second figure a display hack draws in a corner when given -fps: counted
// by the shell from the frames the show ran, drawn as white text on a black box.
#pragma once

#include "filters/picture.h"
#include "show/drawing.h"

#include <cstdint>
#include <string>

namespace velmora::shell {

class FpsBadge {
public:
    FpsBadge();

    // Takes the count of frames run so far at `now` (milliseconds); once a second works out
    // the figure and redraws the badge. True when the badge changed and is to be shown again.
    bool update(std::int64_t now, std::int64_t framesRun);

    // The longest the shell may sleep and still update the figure on time.
    static constexpr int UpdateIntervalMs = 1000;

    const Picture& picture() const { return picture_; }
    const std::string& text() const { return text_; }
    // Where the badge goes in a window of this size: the bottom-left corner.
    show::Rect placeIn(int width, int height) const;

private:
    void draw();

    Picture picture_;
    std::string text_;
    std::int64_t since_ = -1;
    std::int64_t framesSince_ = 0;
};

} // namespace velmora::shell
