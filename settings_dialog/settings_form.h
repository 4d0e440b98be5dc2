// Velmora_P, the settings window, without a window system: the faces, captions, enabled
// flags and texts of its controls, and its events. A shell draws this state and forwards
// the mouse; the form edits the settings at once and writes them only on "設定".
#pragma once

#include "filters/picture.h"
#include "show/picture_loader.h"
#include "startup/file_system.h"
#include "startup/settings.h"
#include "startup/settings_file.h"
#include "startup/text_codec.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::dialog {

// The picture an option image or check box shows. None: a stored value outside the
// group's choices left the image without a face.
enum class Face : std::uint8_t { None, Off, On };
// Img_O_button(0) is the pressed face, (1) the released one.
enum class ButtonFace : std::uint8_t { Pressed, Released };

struct ScreenPoint {
    int x = 0;
    int y = 0;
};

// What the form needs of the window system.
class DialogPlatform {
public:
    virtual ~DialogPlatform() = default;
    // Processes pending window messages (the form yields before a button acts and once per
    // file of a folder scan). Any event may arrive in it.
    virtual void pumpMessages() = 0;
    // The hourglass pointer while a picture loads.
    virtual void busyPointer(bool busy) = 0;
    // The platform's picture decoders.
    virtual PictureLoader& pictureLoader() = 0;
    // The mouse position on the screen; nullopt when the system cannot say.
    virtual std::optional<ScreenPoint> cursorPosition() = 0;
    // The caption animations between the point and the window's rectangle.
    virtual void zoomOpen(ScreenPoint from) = 0;
    virtual void zoomClose(ScreenPoint to) = 0;
    // A message box with an OK button, owned by the dialog.
    virtual void messageBox(std::string_view text) = 0;
    // The system's folder browser and open-file dialog; nullopt when cancelled.
    virtual std::optional<std::string> browseForFolder(std::string_view prompt) = 0;
    virtual std::optional<std::string> openFile(std::string_view filterName, std::string_view patterns,
                                                std::string_view title) = 0;
    // Removes the window and ends the dialog's run; the process then ends.
    virtual void endProgram() = 0;
};

// Where SaveSettings writes and through what.
struct SettingsStore {
    SettingsLocation location;
    FileSystem& fs;
    TextCodec& codec;
};

struct PushButton {
    ButtonFace face = ButtonFace::Released;
    bool enabled = true;
};

struct RepeatBox {
    std::string text;
    std::vector<std::string> entries;
    bool enabled = false;
};

class SettingsForm {
public:
    SettingsForm(Settings& settings, Catalogue& catalogue, DialogPlatform& platform, SettingsStore store);

    // --- events, named as the window's controls ---
    void Form_Load();
    void Form_Unload();
    // Option groups: the image or its caption, any mouse button.
    void Img_SR_MouseDown(int index) { chooseTwo(Img_SR, settings_.ImageOrder, index); }
    void lbl_Rdm_Seq_MouseDown(int index) { chooseTwo(Img_SR, settings_.ImageOrder, index); }
    void Img_Size_MouseDown(int index) { chooseTwo(Img_Size, settings_.ImageSize, index); }
    void lbl_Size_MouseDown(int index) { chooseTwo(Img_Size, settings_.ImageSize, index); }
    void Img_Kbn_MouseDown(int index) { chooseTwo(Img_Kbn, settings_.FilterMode, index); }
    void lbl_Kbn_MouseDown(int index) { chooseTwo(Img_Kbn, settings_.FilterMode, index); }
    void Img_BGM_MouseDown(int index) { chooseMusic(index); }
    void lbl_BGM_MouseDown(int index) { chooseMusic(index); }
    // Picture-kind check boxes 0..3: the flag flips and, with a folder, the list is rebuilt
    // from the sorted catalogue.
    void Img_Kind_MouseDown(int index) { toggleKind(index); }
    void lbl_Kind_MouseDown(int index) { toggleKind(index); }
    // The entry List_1_Selected: its size, its thumbnail, the filter buttons.
    void List_1_Click();
    // Filter button 1..48: row `index` of the show's effect table on the unfiltered thumbnail.
    void Cmd_Fil_Click(int index);
    // Push buttons 0..4. The release acts wherever the pointer then is.
    void lbl_Button_MouseDown(int index);
    void lbl_Button_MouseUp(int index);
    // The system took the mouse away before the release: the face comes back up, no action.
    void cancelPress();
    // The close box: unloads without saving.
    void Form_QueryClose();

    // Push button 0: the folder browser, then the folder's files in scan order.
    void ChooseFolder();
    // Push button 1 "ｸﾘｱ".
    void ClearSelection();
    // Push button 4: the music-file dialog.
    void ChooseMusicFile();

    // Writes every setting, or none. False when the file was not written; the user has then
    // been told why and the dialog stays open. A save to the per-user file instead is told too.
    bool SaveSettings();

    // --- what the window shows ---
    std::array<Face, 2> Img_SR{};
    std::array<Face, 2> Img_Size{};
    std::array<Face, 2> Img_Kbn{};
    std::array<Face, 3> Img_BGM{};
    std::array<Face, 4> Img_Kind{};
    std::array<PushButton, 5> Img_Button{};
    std::vector<std::string> List_1;      // file names, no folder
    std::optional<int> List_1_Selected;   // index into List_1
    std::string lbl_Kei;                  // the list's count, or empty
    std::string lbl_PreSize;              // "640 * 480" of the clicked picture, or a short failure
    std::string lbl_PreSize_Tip;          // the failure in full (file and reason), shown on hover
    std::string Folder_Path;              // becomes ImageFolder on save
    bool Folder_Missing = false;          // the stored folder is not there now (kept all the same)
    std::string lbl_Fname;                // the music file
    RepeatBox BGM_Repeat;
    std::array<bool, 49> Cmd_Fil_Enabled{}; // 1..48; index 0 unused
    Picture Display;                      // the preview box; empty shows nothing
    Picture Pic_K;                        // the unfiltered thumbnail
    Picture Pic_D;                        // the filter's working copy of Pic_K
    std::vector<std::string> FolderFiles; // full paths found by the last folder scan
    bool loaded = false;
    bool ended = false;
    // True while ChooseFolder reads a folder (its list is then still growing).
    bool scanning() const { return scanning_; }

    // The folder label's text: Folder_Path, marked when the folder is missing.
    std::string folderCaption() const;

    ScreenPoint Point() const { return point_; }
    const Settings& settings() const { return settings_; }

private:
    void chooseTwo(std::array<Face, 2>& images, std::int16_t& setting, int index);
    void chooseMusic(int index);
    void showMusicChoice(int kind);
    void toggleKind(int index);
    void scanFolder(const std::string& folder);
    struct Listing;
    bool CollectFiles(const std::string& pattern, int attribute, std::vector<Listing>& listings,
                      unsigned generation);
    bool scanGoesOn(unsigned generation) const { return generation == listGeneration_ && !ended; }
    void showCatalogue();
    void clearThumbnail();
    void fillMusicArea();
    void fillPictureArea();
    void unloadAndEnd();

    Settings& settings_;
    Catalogue& catalogue_;
    DialogPlatform& platform_;
    SettingsStore store_;
    ScreenPoint point_;
    int pressed_ = -1; // the push button under a held mouse button
    // Counts every replacement of List_1, so a scan that a nested event (a new scan, a kind
    // box, "ｸﾘｱ") overtook stops instead of writing into the new list.
    unsigned listGeneration_ = 0;
    bool scanning_ = false;
};

// The thumbnail's size for a picture of w x h: the longer side 100, the other in proportion,
// rounded; at least one pixel.
PictureSize thumbnailSize(int w, int h);

// What the user is told after a save: empty for an ordinary one.
std::string saveMessage(const Result<SavedSettings, SaveFailure>& result);

// The repeat box's "##" format: 0 is the empty text, other values their digits.
std::string repeatText(int value);

} // namespace velmora::dialog
