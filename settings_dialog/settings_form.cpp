// The settings window's behaviour: Form_Load's filling, the option groups, the push
// buttons, the picture and music panels, the filter preview and the save.
#include "settings_dialog/settings_form.h"

#include "filters/engine.h"
#include "settings_dialog/dialog_text.h"
#include "show/drawing.h"
#include "show/effect_table.h"
#include "startup/catalogue.h"
#include "startup/number_text.h"

#include <algorithm>
#include <cassert>
#include <new>

namespace velmora::dialog {

namespace {

// Entries of the repeat box: the empty entry (no track), then tracks 1 to 30.
constexpr int RepeatTracks = 30;

std::string nameOf(const std::string& path, char separator)
{
    const auto cut = path.rfind(separator);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// A kind flag is on only at 1: any other stored value shows unticked, so a click can tick it.
Face tickFor(int value) { return value == 1 ? Face::On : Face::Off; }

// The three attribute passes of a folder scan, in order: plain files, then archived, then
// read-only ones.
constexpr std::array<int, 3> ScanPasses{0, int(AttrArchive), int(AttrReadOnly)};

// The pass that takes a file the catalogue accepts: a read-only file (archived or not) in
// the read-only pass, so no file the catalogue lists is missing from the scan.
int scanPassOf(std::uint32_t attributes)
{
    if ((attributes & AttrReadOnly) != 0)
        return int(AttrReadOnly);
    return (attributes & AttrArchive) != 0 ? int(AttrArchive) : 0;
}

} // namespace

PictureSize thumbnailSize(int w, int h)
{
    assert(w > 0 && h > 0);
    PictureSize size{100, 100};
    if (w > h)
        size.height = int(roundHalfEven(double(h) * 100 / w));
    else
        size.width = int(roundHalfEven(double(w) * 100 / h));
    // A sliver of a picture still gets a visible (and filterable) line.
    size.width = std::max(size.width, 1);
    size.height = std::max(size.height, 1);
    return size;
}

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
    showMusicChoice(settings_.BgmKind);
    BGM_Repeat.text = repeatText(settings_.BgmRepeat);
    BGM_Repeat.entries.clear();
    for (int track = 0; track <= RepeatTracks; ++track)
        BGM_Repeat.entries.push_back(repeatText(track));
    // A stored file that is not there now stays chosen, marked, until another is chosen.
    lbl_Fname = settings_.BgmFile;
    if (musicFileMissing(settings_, store_.fs))
        lbl_Fname += text::Missing;
}

void SettingsForm::fillPictureArea()
{
    lbl_Kei.clear();
    showCatalogue();
    lbl_PreSize.clear();
    Folder_Path = settings_.ImageFolder;
    Folder_Missing = folderMissing(settings_, store_.fs);
    for (std::size_t i = 0; i < Img_Kind.size(); ++i)
        Img_Kind[i] = tickFor(settings_.ImageKinds[i]);
}

// List_1 from the catalogue's names, the count when there are any.
void SettingsForm::showCatalogue()
{
    ++listGeneration_;
    List_1.clear();
    List_1_Selected.reset();
    const char separator = store_.fs.separator();
    if (catalogue_.ImageCount != 0) {
        for (int i = 1; i <= catalogue_.ImageCount; ++i)
            List_1.push_back(nameOf(catalogue_.ImageList[std::size_t(i)], separator));
        lbl_Kei = std::to_string(List_1.size());
    }
}

void SettingsForm::toggleKind(int index)
{
    assert(index >= 0 && index < int(Img_Kind.size()));
    auto& kind = settings_.ImageKinds[std::size_t(index)];
    kind = std::int16_t(kind == 1 ? 0 : 1);
    Img_Kind[std::size_t(index)] = tickFor(kind);
    platform_.pumpMessages();
    if (ended)
        return; // the window went away while it was served

    settings_.ImageFolder = Folder_Path;
    if (settings_.ImageFolder.empty() || !FolderExists(store_.fs, settings_.ImageFolder))
        return;
    lbl_Kei.clear();
    BuildImageList(settings_.ImageFolder, settings_.ImageKinds, store_.fs, catalogue_);
    showCatalogue();
}

void SettingsForm::ChooseFolder()
{
    // A cancelled browser keeps the folder and its list (no scan of the drive's root).
    const std::optional<std::string> chosen = platform_.browseForFolder(text::FolderPrompt);
    if (!chosen || ended)
        return;
    Folder_Path = *chosen;
    Folder_Missing = false;
    scanFolder(Folder_Path);
}

// The files a search found for one pattern, read once and reused by the later passes.
struct SettingsForm::Listing {
    std::string pattern;
    std::vector<FoundFile> found;
};

void SettingsForm::scanFolder(const std::string& folder)
{
    const unsigned generation = ++listGeneration_;
    List_1.clear();
    List_1_Selected.reset();
    FolderFiles.clear();
    lbl_Kei = std::to_string(0);
    scanning_ = true;
    struct ScanEnd {
        bool& flag;
        ~ScanEnd() { flag = false; }
    } scanEnd{scanning_};

    // A folder that cannot be read would fail every search of every pass: said once.
    if (!FolderExists(store_.fs, folder)) {
        std::string message(text::FolderUnreadable);
        message += "\n\n" + folder;
        platform_.messageBox(message);
        return;
    }
    std::vector<Listing> listings;
    const char separator = store_.fs.separator();
    for (const int pass : ScanPasses) {
        for (std::size_t i = 0; i < PicturePatterns.size(); ++i) {
            if (settings_.ImageKinds[PatternKind[i]] != 1)
                continue;
            if (!CollectFiles(folder + separator + std::string(PicturePatterns[i]), pass, listings, generation))
                return;
        }
    }
    lbl_Kei = std::to_string(List_1.size());
}

// Adds the pattern's files of this pass to FolderFiles and List_1, the count running up
// and the window served after each. False when the scan must stop.
bool SettingsForm::CollectFiles(const std::string& pattern, int attribute, std::vector<Listing>& listings,
                                unsigned generation)
{
    const char separator = store_.fs.separator();
    try {
        auto listing = std::find_if(listings.begin(), listings.end(),
                                    [&](const Listing& l) { return l.pattern == pattern; });
        if (listing == listings.end()) {
            listings.push_back({pattern, store_.fs.findFiles(pattern)});
            listing = listings.end() - 1;
        }
        const std::string prefix = DirPart(pattern, separator) + separator;
        for (std::size_t i = 0; i < listing->found.size(); ++i) {
            const FoundFile& found = listing->found[i];
            if (!IsCatalogueFile(found) || scanPassOf(found.attributes) != attribute)
                continue;
            FolderFiles.push_back(prefix + found.name);
            List_1.push_back(found.name);
            lbl_Kei = std::to_string(List_1.size());
            platform_.pumpMessages();
            if (!scanGoesOn(generation))
                return false;
        }
    } catch (const std::bad_alloc&) {
        // Lasting: the next file would fail the same way. The files found so far stay.
        lbl_Kei = std::to_string(List_1.size());
        platform_.messageBox(text::ScanOutOfMemory);
        return false;
    }
    return true;
}

void SettingsForm::ClearSelection()
{
    ++listGeneration_;
    List_1.clear();
    List_1_Selected.reset();
    Folder_Path.clear();
    Folder_Missing = false;
    lbl_Kei.clear();
    clearThumbnail(); // the kind flags and the size label stay
}

void SettingsForm::clearThumbnail()
{
    Display = Picture();
    Pic_K = Picture();
    Pic_D = Picture();
    Cmd_Fil_Enabled.fill(false);
}

void SettingsForm::List_1_Click()
{
    if (!List_1_Selected || *List_1_Selected < 0 || std::size_t(*List_1_Selected) >= List_1.size())
        return;
    const std::string path = Folder_Path + store_.fs.separator() + List_1[std::size_t(*List_1_Selected)];
    platform_.busyPointer(true);
    // The decoder may deliver the picture reduced, as long as it covers the thumbnail.
    LoadRequest request;
    request.fitWidth = 100;
    request.fitHeight = 100;
    Result<LoadedPicture> decoded = platform_.pictureLoader().load(path, request);
    if (!decoded.ok() || decoded->picture.empty()) {
        // Nothing of the previous picture stays under the new name. The label is 100 pixels
        // wide: it says only that the picture did not load; the decoder's own words go to
        // the tooltip.
        clearThumbnail();
        lbl_PreSize = text::PictureNotLoaded;
        lbl_PreSize_Tip = List_1[std::size_t(*List_1_Selected)] + ": " +
                          (decoded.ok() ? std::string("the picture holds no image") : decoded.reason().text);
        platform_.busyPointer(false);
        return;
    }
    lbl_PreSize_Tip.clear();
    const Picture& picture = decoded->picture;
    PictureSize own = decoded->ownSize;
    if (own.width <= 0 || own.height <= 0)
        own = {picture.width(), picture.height()};
    lbl_PreSize = std::to_string(own.width) + " * " + std::to_string(own.height);

    const PictureSize thumb = thumbnailSize(own.width, own.height);
    Pic_K.resize(thumb.width, thumb.height);
    show::stretchCopy(Pic_K, 0, 0, thumb.width, thumb.height, picture, 0, 0, picture.width(), picture.height());
    Display = Pic_K;
    Cmd_Fil_Enabled.fill(true);
    Cmd_Fil_Enabled[0] = false;
    platform_.busyPointer(false);
}

void SettingsForm::Cmd_Fil_Click(int index)
{
    if (Pic_K.empty())
        return; // no thumbnail: the buttons are disabled
    Pic_D = Pic_K; // every click starts from the unfiltered thumbnail
    if (const show::Effect* effect = show::effectRow(index); effect != nullptr) {
        // A busy or failing filter leaves the copy as it was: the thumbnail shows unfiltered.
        (void)filters::Fil_Run(filters::sharedFilterEngine(), effect->type, Pic_D.view(), effect->param);
    }
    Display = Pic_D;
}

void SettingsForm::ChooseMusicFile()
{
    const std::optional<std::string> chosen =
        platform_.openFile(text::MusicFilterName, text::MusicPatterns, text::MusicTitle);
    if (!chosen || ended)
        return; // a cancelled dialog changes nothing
    settings_.BgmFile = *chosen;
    lbl_Fname = *chosen;
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
    showMusicChoice(index);
    settings_.BgmKind = std::int16_t(index); // the repeat value and the file name stay
}

// The music choice's face, and the one control it uses: the repeat box for the audio CD, the
// file button for file music. A stored kind outside the three selects no face.
void SettingsForm::showMusicChoice(int kind)
{
    Img_BGM.fill(Face::Off);
    if (kind >= 0 && kind < int(Img_BGM.size()))
        Img_BGM[std::size_t(kind)] = Face::On;
    BGM_Repeat.enabled = kind == 1;
    Img_Button[4].enabled = kind == 2;
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
    case 0: // "ﾌｫﾙﾀﾞで指定..."
        ChooseFolder();
        break;
    case 1: // "ｸﾘｱ"
        ClearSelection();
        break;
    case 4: // "ﾌｧｲﾙ名"
        ChooseMusicFile();
        break;
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

std::string saveMessage(const Result<SavedSettings, SaveFailure>& result)
{
    if (result.ok())
        return result->perUserInstead ? std::string(text::SavedPerUser) + "\n\n" + result->file : std::string();
    const SaveFailure& failure = result.reason();
    std::string why;
    switch (failure.problem) {
    case SaveProblem::TooLarge:
        why = text::TooLarge;
        break;
    case SaveProblem::Unreadable:
        why = text::Unreadable;
        break;
    case SaveProblem::ReadOnly:
        why = text::ReadOnly;
        break;
    case SaveProblem::OtherOwner:
        why = text::OtherOwner;
        break;
    case SaveProblem::FolderClosed:
        why = text::FolderClosed;
        break;
    case SaveProblem::WriteFailed:
        why = text::WriteFailed;
        break;
    case SaveProblem::NotInCodePage932:
        why = text::NotInCodePage932;
        break;
    case SaveProblem::NotText:
        why = text::NotText;
        break;
    case SaveProblem::TooLong:
        why = text::TooLong;
        break;
    case SaveProblem::LineBreak:
        why = text::LineBreak;
        break;
    case SaveProblem::EdgeBlankOrQuote:
        why = text::EdgeBlankOrQuote;
        break;
    }
    if (failure.value != StoredText::None) {
        const std::string_view name = failure.value == StoredText::Folder ? text::FolderValue : text::MusicValue;
        why = "「" + std::string(name) + "」" + std::string(text::ValueNotSaved) + why + "\n" +
              std::string(text::FileUnchanged);
    }
    return std::string(text::SaveFailed) + "\n\n" + failure.file + "\n\n" + why;
}

bool SettingsForm::SaveSettings()
{
    const Result<SavedSettings, SaveFailure> result = velmora::SaveSettings(
        settings_, DialogValues{Folder_Path, BGM_Repeat.text}, store_.location, store_.fs, store_.codec);
    if (const std::string message = saveMessage(result); !message.empty())
        platform_.messageBox(message);
    return result.ok();
}

std::string SettingsForm::folderCaption() const
{
    return Folder_Missing ? Folder_Path + std::string(text::Missing) : Folder_Path;
}

} // namespace velmora::dialog
