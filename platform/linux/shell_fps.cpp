// The -fps badge: a frame count per second and a 5 x 7 pixel font for its few characters.
#include "platform/linux/shell_fps.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace velmora::shell {

namespace {

constexpr int GlyphW = 5;
constexpr int GlyphH = 7;
constexpr int Scale = 2;   // readable on a large screen, still small in a preview
constexpr int Margin = 4;  // black around the text, in badge pixels
constexpr int MaxChars = 12; // "FPS: 999.9" and room to spare: the badge keeps one size

struct Glyph {
    char c;
    std::array<std::uint8_t, GlyphH> rows; // bit 4 is the leftmost pixel
};

constexpr Glyph Glyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}}, {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
};

const Glyph* glyphFor(char c)
{
    for (const Glyph& g : Glyphs)
        if (g.c == c)
            return &g;
    return nullptr; // a blank
}

} // namespace

FpsBadge::FpsBadge()
    : picture_((MaxChars * (GlyphW + 1) + 2 * Margin) * Scale, (GlyphH + 2 * Margin) * Scale), text_("FPS: ...")
{
    draw();
}

bool FpsBadge::update(std::int64_t now, std::int64_t framesRun)
{
    if (since_ < 0) {
        since_ = now;
        framesSince_ = framesRun;
        return true; // the badge shows from the first frame on
    }
    if (now - since_ < UpdateIntervalMs)
        return false;
    const double fps = double(framesRun - framesSince_) * 1000.0 / double(now - since_);
    char text[32];
    std::snprintf(text, sizeof text, "FPS: %.1f", std::min(fps, 999.9));
    text_ = text;
    since_ = now;
    framesSince_ = framesRun;
    draw();
    return true;
}

show::Rect FpsBadge::placeIn(int width, int height) const
{
    const int w = std::min(picture_.width(), width);
    const int h = std::min(picture_.height(), height);
    return {0, height - h, w, h};
}

void FpsBadge::draw()
{
    picture_.resize(picture_.width(), picture_.height()); // all black
    int x0 = Margin;
    for (const char c : text_.substr(0, MaxChars)) {
        if (const Glyph* g = glyphFor(c)) {
            for (int row = 0; row < GlyphH; ++row) {
                for (int col = 0; col < GlyphW; ++col) {
                    if ((g->rows[std::size_t(row)] >> (GlyphW - 1 - col) & 1) == 0)
                        continue;
                    for (int dy = 0; dy < Scale; ++dy) {
                        for (int dx = 0; dx < Scale; ++dx) {
                            std::uint8_t* p = picture_.pixel((x0 + col) * Scale + dx, (Margin + row) * Scale + dy);
                            p[0] = p[1] = p[2] = 255;
                        }
                    }
                }
            }
        }
        x0 += GlyphW + 1;
    }
}

} // namespace velmora::shell
