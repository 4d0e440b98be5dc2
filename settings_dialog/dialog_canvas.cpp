// The settings window's canvas from the layout, the skin and the form's state.
#include "settings_dialog/dialog_canvas.h"

#include "settings_dialog/dialog_text.h"
#include "settings_dialog/settings_form.h"
#include "show/drawing.h"

namespace velmora::dialog {

namespace L = layout;

namespace {

show::ColourRef colourRef(Rgb c) { return show::ColourRef(c.r) | show::ColourRef(c.g) << 8 | show::ColourRef(c.b) << 16; }

void fill(Picture& canvas, const L::Rect& r, Rgb c) { show::fillBox(canvas, r.x, r.y, r.x + r.w, r.y + r.h, colourRef(c)); }

void drawSkin(Picture& canvas, const DialogSkin& skin, SkinPicture picture, const L::Rect& at)
{
    const Picture& face = skin[picture];
    show::blockCopy(canvas, at.x, at.y, face.width(), face.height(), face, 0, 0);
}

// The stripe copied column by column from the box's corner, the last row and column
// reaching past its edge (cut off by the box).
void TileBackground(Picture& canvas, const DialogSkin& skin, const L::Rect& box)
{
    const Picture& stripe = skin[Stripe];
    if (stripe.empty())
        return;
    const show::Rect clip{box.x, box.y, box.w, box.h};
    int x = 0;
    int y = 0;
    for (;;) {
        show::stretchCopy(canvas, box.x + x, box.y + y, stripe.width(), stripe.height(), stripe, 0, 0, stripe.width(),
                          stripe.height(), clip);
        if (y <= box.h) {
            y += stripe.height();
        } else if (x > box.w) {
            break;
        } else {
            x += stripe.width();
            y = 0;
        }
    }
}

// A light inner edge inside a slate frame: the panel sits a little above the window.
void drawPanel(Picture& canvas, const DialogSkin& skin, const L::Rect& box)
{
    TileBackground(canvas, skin, box);
    fill(canvas, {box.x, box.y, box.w, 1}, colour::PanelEdge);
    fill(canvas, {box.x, box.y + box.h - 1, box.w, 1}, colour::PanelEdge);
    fill(canvas, {box.x, box.y, 1, box.h}, colour::PanelEdge);
    fill(canvas, {box.x + box.w - 1, box.y, 1, box.h}, colour::PanelEdge);
    fill(canvas, {box.x + 1, box.y + 1, box.w - 2, 1}, colour::PanelLight);
    fill(canvas, {box.x + 1, box.y + 1, 1, box.h - 2}, colour::PanelLight);
}

// A text field's well: a light fill in a one-pixel frame.
void drawField(Picture& canvas, const L::Rect& at)
{
    fill(canvas, at, colour::PanelEdge);
    fill(canvas, {at.x + 1, at.y + 1, at.w - 2, at.h - 2}, colour::FieldFill);
}

// Where a field's text goes: inside its frame, a little in from the sides.
L::Rect fieldText(const L::Rect& at) { return {at.x + 3, at.y + 1, at.w - 6, at.h - 2}; }

CanvasText textIn(std::string text, const L::Rect& box, std::optional<L::Rect> clip = std::nullopt)
{
    CanvasText placed;
    placed.text = std::move(text);
    placed.box = box;
    placed.clip = clip;
    return placed;
}

template <typename Choices, typename Faces>
void drawChoices(Picture& canvas, const DialogSkin& skin, const Choices& choices, const Faces& faces, SkinPicture off,
                 SkinPicture on)
{
    for (std::size_t i = 0; i < choices.size(); ++i)
        if (faces[i] != Face::None)
            drawSkin(canvas, skin, faces[i] == Face::On ? on : off, choices[i].face);
}

template <typename Choices, typename Captions>
void addCaptions(std::vector<CanvasText>& texts, const Choices& choices, const Captions& captions)
{
    for (std::size_t i = 0; i < choices.size(); ++i)
        texts.push_back(textIn(std::string(captions[i]), choices[i].label));
}

} // namespace

void paintCanvas(Picture& canvas, const SettingsForm& form, const DialogSkin& skin)
{
    canvas.resize(L::CanvasWidth, L::CanvasHeight);
    TileBackground(canvas, skin, {0, 0, L::CanvasWidth, L::CanvasHeight});
    for (const auto& panel : L::Panel)
        drawPanel(canvas, skin, panel);
    for (const auto& header : L::Headers)
        drawSkin(canvas, skin, header.at.w > L::ButtonW ? Header109 : Header95, header.at);

    drawChoices(canvas, skin, L::RdmSeq, form.Img_SR, OptionOff, OptionOn);
    drawChoices(canvas, skin, L::Size, form.Img_Size, OptionOff, OptionOn);
    drawChoices(canvas, skin, L::Kbn, form.Img_Kbn, OptionOff, OptionOn);
    drawChoices(canvas, skin, L::Bgm, form.Img_BGM, OptionOff, OptionOn);
    drawChoices(canvas, skin, L::Kind, form.Img_Kind, CheckOff, CheckOn);
    for (std::size_t i = 0; i < L::Button.size(); ++i)
        drawSkin(canvas, skin, form.Img_Button[i].face == ButtonFace::Pressed ? ButtonPressed : ButtonReleased,
                 L::Button[i]);

    // The preview box: the thumbnail at its corner in its own size, or the empty box.
    if (form.Display.empty())
        drawField(canvas, L::Display);
    else
        show::blockCopy(canvas, L::Display.x, L::Display.y, form.Display.width(), form.Display.height(), form.Display,
                        0, 0);
    drawField(canvas, L::FolderPath);
    drawField(canvas, L::Fname);
}

std::vector<CanvasText> canvasTexts(const SettingsForm& form)
{
    std::vector<CanvasText> texts;
    for (const auto& header : L::Headers) {
        CanvasText caption = textIn(std::string(header.caption), {header.at.x + 10, header.at.y, header.at.w - 12, header.at.h});
        caption.colour = colour::HeaderInk;
        caption.centreVertically = true;
        texts.push_back(caption);
    }
    addCaptions(texts, L::RdmSeq, text::RdmSeq);
    addCaptions(texts, L::Size, text::Size);
    addCaptions(texts, L::Kbn, text::Kbn);
    addCaptions(texts, L::Bgm, text::Bgm);
    addCaptions(texts, L::Kind, text::Kind);

    for (std::size_t i = 0; i < L::Button.size(); ++i) {
        const PushButton& button = form.Img_Button[i];
        const int sink = button.face == ButtonFace::Pressed ? 1 : 0; // the caption goes down with the face
        CanvasText caption = textIn(std::string(text::Button[i]), L::Button[i].offset(sink, sink));
        caption.colour = button.enabled ? colour::Ink : colour::Muted;
        caption.align = TextAlign::Centre;
        caption.centreVertically = true;
        texts.push_back(caption);
    }

    CanvasText count = textIn(form.lbl_Kei, L::Kei);
    count.align = TextAlign::Right;
    texts.push_back(count);
    texts.push_back(textIn(std::string(text::CountSuffix), L::KeiSuffix));
    // The size label never reaches past its 100 pixels, whatever it says.
    texts.push_back(textIn(form.lbl_PreSize, L::PreSize, L::PreSize));

    CanvasText folder = textIn(form.folderCaption(), fieldText(L::FolderPath), fieldText(L::FolderPath));
    folder.centreVertically = true;
    folder.ellipsis = true; // a long path keeps its start and its end
    texts.push_back(folder);
    CanvasText repeat = textIn(std::string(text::RepeatLabel), L::RepeatLabel);
    repeat.colour = form.BGM_Repeat.enabled ? colour::Ink : colour::Muted;
    texts.push_back(repeat);
    CanvasText music = textIn(form.lbl_Fname, fieldText(L::Fname), fieldText(L::Fname));
    music.wrap = true;
    music.ellipsis = true;
    texts.push_back(music);

    std::erase_if(texts, [](const CanvasText& t) { return t.text.empty(); });
    return texts;
}

std::vector<L::Rect> nativeControlAreas()
{
    std::vector<L::Rect> areas{L::List1, L::Repeat};
    for (int i = 1; i <= L::FilterButtons; ++i)
        areas.push_back(L::FilterButton(i));
    return areas;
}

} // namespace velmora::dialog
