// The settings window's behaviour: Form_Load's filling, the option groups, the push
// buttons and the save.
#include "settings_dialog/settings_form.h"

#include "settings_dialog/dialog_text.h"

#include <cassert>

namespace velmora::dialog {

namespace {

// Entries of the repeat box: the empty entry (no track), then tracks 1 to 30.
constexpr int RepeatTracks = 30;

std::string nameOf(const std::string& path, char separator)
{
    const auto cut = path.rfind(separator);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Img_Opt / Img_Ra by a setting's value; other values have no picture to look up.
Face faceFor(int value)
{
    switch (value) {
    case 0:
        return Face::Off;
    case 1:
        return Face::On;
    default:
        return Face::None;
    }
}

} // namespace

std::string repeatText(int value) { return value == 0 ? std::string() : std::to_string(value); }

SettingsForm::SettingsForm(Settings& settings, Catalogue& catalogue, DialogPlatform& platform, SettingsStore store)
    : settings_(settings), catalogue_(catalogue), platform_(platform), store_(std::move(store))
{
}

void SettingsForm::Form_Load()
{
    // Each two-choice group: the image at the value selected, the other one not. A value
    // other than 0 or 1 names no image, so neither shows a face.
    const auto showTwo = [](std::array<Face, 2>& images, std::int16_t value) {
        images = {Face::None, Face::None};
        if (value == 0 || value == 1) {
            images[std::size_t(value)] = Face::On;
            images[std::size_t(value ^ 1)] = Face::Off;
        }
    };
    showTwo(Img_SR, settings_.ImageOrder);
    showTwo(Img_Size, settings_.ImageSize);
    showTwo(Img_Kbn, settings_.FilterMode);
    for (auto& button : Img_Button)
        button.face = ButtonFace::Released;

    fillMusicArea();
    fillPictureArea();

    // The filter buttons wait for a thumbnail.
    Cmd_Fil_Enabled.fill(false);

    point_ = platform_.cursorPosition().value_or(ScreenPoint{});
    loaded = true;
    platform_.zoomOpen(point_);
}

void SettingsForm::fillMusicArea()
{
    Img_BGM.fill(Face::Off);
    Img_Button[4].enabled = false;
    BGM_Repeat.enabled = false;
    if (settings_.BgmKind >= 0 && settings_.BgmKind < 3)
        Img_BGM[std::size_t(settings_.BgmKind)] = Face::On;
    BGM_Repeat.enabled = settings_.BgmKind == 1;
    Img_Button[4].enabled = settings_.BgmKind == 2;
    BGM_Repeat.text = repeatText(settings_.BgmRepeat);
    BGM_Repeat.entries.clear();
    for (int track = 0; track <= RepeatTracks; ++track)
        BGM_Repeat.entries.push_back(repeatText(track));
    lbl_Fname = settings_.BgmFile;
}

void SettingsForm::fillPictureArea()
{
    List_1.clear();
    List_1_Selected.reset();
    lbl_Kei.clear();
    const char separator = store_.fs.separator();
    if (catalogue_.ImageCount != 0) {
        for (int i = 1; i <= catalogue_.ImageCount; ++i)
            List_1.push_back(nameOf(catalogue_.ImageList[std::size_t(i)], separator));
        lbl_Kei = std::to_string(List_1.size());
    }
    lbl_PreSize.clear();
    Folder_Path = settings_.ImageFolder;
    for (std::size_t i = 0; i < Img_Kind.size(); ++i)
        Img_Kind[i] = faceFor(settings_.ImageKinds[i]);
}

void SettingsForm::chooseTwo(std::array<Face, 2>& images, std::int16_t& setting, int index)
{
    assert(index == 0 || index == 1);
    images[std::size_t(index)] = Face::On;
    images[std::size_t(index ^ 1)] = Face::Off;
    setting = std::int16_t(index);
}

void SettingsForm::chooseMusic(int index)
{
    assert(index >= 0 && index < 3);
    Img_BGM.fill(Face::Off);
    Img_BGM[std::size_t(index)] = Face::On;
    BGM_Repeat.enabled = index == 1;
    Img_Button[4].enabled = index == 2;
    settings_.BgmKind = std::int16_t(index); // the repeat value and the file name stay
}

void SettingsForm::lbl_Button_MouseDown(int index)
{
    assert(index >= 0 && index < int(Img_Button.size()));
    if (!Img_Button[std::size_t(index)].enabled || ended)
        return;
    pressed_ = index;
    Img_Button[std::size_t(index)].face = ButtonFace::Pressed;
}

void SettingsForm::lbl_Button_MouseUp(int index)
{
    assert(index >= 0 && index < int(Img_Button.size()));
    if (pressed_ != index)
        return; // the press went to another control, or the button was disabled
    pressed_ = -1;
    Img_Button[std::size_t(index)].face = ButtonFace::Released;
    platform_.pumpMessages(); // the released face is drawn before the action
    switch (index) {
    case 2: // "設定"
        if (SaveSettings())
            unloadAndEnd();
        break;
    case 3: // "ｷｬﾝｾﾙ": nothing is written
        unloadAndEnd();
        break;
    default:
        break;
    }
}

void SettingsForm::cancelPress()
{
    if (pressed_ < 0)
        return;
    Img_Button[std::size_t(pressed_)].face = ButtonFace::Released;
    pressed_ = -1;
}

void SettingsForm::Form_QueryClose() { unloadAndEnd(); }

void SettingsForm::Form_Unload() { platform_.zoomClose(point_); }

void SettingsForm::unloadAndEnd()
{
    if (ended)
        return;
    ended = true;
    Form_Unload();
    platform_.endProgram();
}

bool SettingsForm::SaveSettings()
{
    const SaveResult result = velmora::SaveSettings(settings_, DialogValues{Folder_Path, BGM_Repeat.text},
                                                    store_.location, store_.fs, store_.codec);
    if (result.ok)
        return true;
    std::string message(text::SaveFailed);
    message += "\n\n" + result.file + "\n" + result.error;
    platform_.messageBox(message);
    return false;
}

} // namespace velmora::dialog
