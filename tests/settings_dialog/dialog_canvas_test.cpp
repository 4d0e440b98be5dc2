// The settings window's canvas as the core draws it, on a skin of plain colours. That both
// views show exactly this canvas, and keep the size label's text inside it, is checked on the
// real windows (settings_e2e.sh keep and panels, dialog_e2e.sh save and panels).
#include "dialog_fixture.h"

#include "settings_dialog/dialog_canvas.h"

using namespace velmora;
using namespace velmora::dialog;
using namespace velmora::dialog::testing;

namespace {

namespace L = layout;

std::uint32_t rgb(int r, int g, int b) { return std::uint32_t(r << 16 | g << 8 | b); }
std::uint32_t rgb(Rgb c) { return rgb(c.r, c.g, c.b); }

// Each face one colour; the stripe one shade per row, so where its tiling starts shows.
DialogSkin plainSkin()
{
    DialogSkin skin;
    const auto solid = [](int w, int h, int shade) {
        Picture p(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                p.setPixel(x, y, std::uint8_t(shade), 0, std::uint8_t(shade));
        return p;
    };
    for (int i = 0; i < Stripe; ++i) {
        const bool option = i == OptionOff || i == OptionOn;
        const bool check = i == CheckOff || i == CheckOn;
        const int w = option ? L::OptionFace : check ? L::CheckFace : i == Header109 ? 109 : L::ButtonW;
        const int h = option ? L::OptionFace : check ? L::CheckFace : L::ButtonH;
        skin[std::size_t(i)] = solid(w, h, 10 + i);
    }
    skin[Stripe] = Picture(L::StripeW, L::StripeH);
    for (int y = 0; y < L::StripeH; ++y)
        for (int x = 0; x < L::StripeW; ++x)
            skin[Stripe].setPixel(x, y, 0, std::uint8_t(100 + y), 0);
    return skin;
}

std::uint32_t at(const Picture& canvas, int x, int y) { return canvas.pixelValue(x, y) & 0xFFFFFF; }
std::uint32_t faceColour(SkinPicture face) { return rgb(10 + face, 0, 10 + face); }
std::uint32_t stripeRow(int row) { return rgb(0, 100 + row % L::StripeH, 0); }

} // namespace

TEST_F(DialogFixture, TheCanvasShowsTheFormsFacesAndTheBackgroundWhereAStoredValueHasNone)
{
    fs.addFile(kBeside, "[Section]\r\n" + cp932("画像ﾁｪﾝｼﾞ") + "= 2\r\n" + cp932("画像種類_1") + "= 2\r\n");
    open();
    form->lbl_Button_MouseDown(2);
    Picture canvas;
    paintCanvas(canvas, *form, plainSkin());
    ASSERT_EQ(canvas.width(), L::CanvasWidth);
    ASSERT_EQ(canvas.height(), L::CanvasHeight);

    // No face for an order of 2: the panel's stripe, which starts again at the panel's corner.
    for (const auto& choice : L::RdmSeq)
        EXPECT_EQ(at(canvas, choice.face.x + 6, choice.face.y + 6), stripeRow(choice.face.y + 6 - L::Panel[0].y));
    EXPECT_EQ(at(canvas, 5, 5), stripeRow(5));
    EXPECT_EQ(at(canvas, L::Size[1].face.x, L::Size[1].face.y), faceColour(OptionOn));
    EXPECT_EQ(at(canvas, L::Size[0].face.x + 12, L::Size[0].face.y + 12), faceColour(OptionOff));
    EXPECT_EQ(at(canvas, L::Kind[1].face.x + 6, L::Kind[1].face.y + 6), faceColour(CheckOff));
    EXPECT_EQ(at(canvas, L::Kind[0].face.x + 6, L::Kind[0].face.y + 6), faceColour(CheckOn));
    EXPECT_EQ(at(canvas, L::Button[2].x + 50, L::Button[2].y + 10), faceColour(ButtonPressed));
    EXPECT_EQ(at(canvas, L::Button[3].x + 50, L::Button[3].y + 10), faceColour(ButtonReleased));
    EXPECT_EQ(at(canvas, L::Headers[4].at.x + 100, L::Headers[4].at.y), faceColour(Header109));
    // The panel's frame and light inner edge; the empty preview box and the fields.
    const L::Rect& panel = L::Panel[2];
    EXPECT_EQ(at(canvas, panel.x + 20, panel.y), rgb(colour::PanelEdge));
    EXPECT_EQ(at(canvas, panel.x + panel.w - 1, panel.y + 20), rgb(colour::PanelEdge));
    EXPECT_EQ(at(canvas, panel.x + 20, panel.y + 1), rgb(colour::PanelLight));
    for (const L::Rect& field : {L::Display, L::FolderPath, L::Fname}) {
        EXPECT_EQ(at(canvas, field.x, field.y), rgb(colour::PanelEdge));
        EXPECT_EQ(at(canvas, field.x + field.w - 1, field.y + field.h - 1), rgb(colour::PanelEdge));
        EXPECT_EQ(at(canvas, field.x + 1, field.y + 1), rgb(colour::FieldFill));
    }
}
