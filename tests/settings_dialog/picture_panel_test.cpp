// The settings window's picture, music and filter-preview panels: the folder scan, the kind
// boxes, "ｸﾘｱ", the thumbnail, the music file and the 48 effect buttons.
#include "dialog_fixture.h"

#include "filters/engine.h"
#include "settings_dialog/dialog_text.h"

using namespace velmora;
using namespace velmora::dialog;
using namespace velmora::dialog::testing;

namespace {

const std::string kPics = "C:\\Pics";

struct PanelFixture : DialogFixture {
    PanelFixture() { fs.addFolder(kPics); }
    // A thumbnail of a w x h gradient picture, through a click on its list entry.
    void showPicture(const std::string& name, int w, int h)
    {
        platform.loader.pictures[kPics + "\\" + name].picture = pattern(w, h);
        form->List_1.push_back(name);
        form->List_1_Selected = int(form->List_1.size()) - 1;
        form->Folder_Path = kPics;
        form->List_1_Click();
    }
    // What Fil_Run makes of the thumbnail with (type, param), on an engine of the test's own.
    Picture filtered(int type, std::int32_t param)
    {
        Picture p = form->Pic_K;
        filters::FilterEngine engine;
        EXPECT_TRUE(filters::Fil_Run(engine, type, p.view(), param).ok()) << type;
        return p;
    }
};

} // namespace

TEST_F(PanelFixture, AChosenFolderIsListedPassByPassWithTheCountRunningUpAndKindBoxesRebuildItSorted)
{
    // The fake lists a folder in name order; the passes put plain files first, then archived,
    // then read-only ones (read-only and archived together included), each pass kind by kind.
    fs.addFile(kPics + "\\a.jpg", {}, AttrReadOnly | AttrArchive);
    fs.addFile(kPics + "\\b.bmp", {}, AttrArchive);
    fs.addFile(kPics + "\\c.gif", {}, 0);
    fs.addFile(kPics + "\\d.bmp", {}, 0);
    fs.addFile(kPics + "\\e.jpg", {}, AttrReadOnly);
    fs.addFile(kPics + "\\hidden.bmp", {}, AttrHidden);
    fs.addFile(kPics + "\\system.gif", {}, AttrSystem | AttrArchive);
    fs.addFile(kPics + "\\f.wmf", {}, 0x80 | AttrArchive); // any other bit is no reason to skip
    fs.addFile(kPics + "\\notes.txt", {}, 0);
    open();
    // Without a folder a kind box flips only its flag.
    form->Img_Kind_MouseDown(1);
    EXPECT_EQ(settings.ImageKinds[1], 0);
    EXPECT_EQ(form->Img_Kind[1], Face::Off);
    EXPECT_TRUE(form->List_1.empty());
    EXPECT_EQ(form->lbl_Kei, "");
    form->lbl_Kind_MouseDown(1);
    EXPECT_EQ(settings.ImageKinds[1], 1);

    std::vector<std::string> counts;
    platform.onPump = [&] { counts.push_back(form->lbl_Kei + ":" + std::to_string(form->List_1.size())); };
    platform.folderAnswer = kPics;

    click(0);
    EXPECT_EQ(form->List_1, (std::vector<std::string>{"d.bmp", "c.gif", "b.bmp", "f.wmf", "a.jpg", "e.jpg"}));
    EXPECT_EQ(form->FolderFiles.front(), kPics + "\\d.bmp");
    EXPECT_EQ(form->lbl_Kei, "6");
    // One yield before the button acts, then one per file with the count already shown.
    EXPECT_EQ(counts, (std::vector<std::string>{":0", "1:1", "2:2", "3:3", "4:4", "5:5", "6:6"}));
    EXPECT_TRUE(platform.messages.empty());
    // Neither the folder setting nor the show's catalogue changes until a kind box or a save.
    EXPECT_EQ(settings.ImageFolder, "");
    EXPECT_EQ(catalogue.ImageCount, 0);
    EXPECT_FALSE(form->scanning());

    // A kind box with a folder: the folder becomes the setting and the list is rebuilt sorted.
    form->lbl_Kind_MouseDown(1); // untick "*.gif"
    EXPECT_EQ(form->List_1, (std::vector<std::string>{"a.jpg", "b.bmp", "d.bmp", "e.jpg", "f.wmf"}));
    EXPECT_EQ(form->lbl_Kei, "5");
    EXPECT_EQ(settings.ImageFolder, kPics);
    EXPECT_EQ(catalogue.ImageCount, 5);
    form->Img_Kind_MouseDown(1);
    EXPECT_EQ(form->List_1, (std::vector<std::string>{"a.jpg", "b.bmp", "c.gif", "d.bmp", "e.jpg", "f.wmf"}));

    // The fifth kind has no box: its files are scanned after the four kinds while its flag is
    // on, and left out when the settings file switches it off.
    fs.addFile(kPics + "\\g.heic", {}, 0);
    fs.addFile(kPics + "\\h.PNG", {}, AttrArchive);
    click(0);
    EXPECT_EQ(form->List_1,
              (std::vector<std::string>{"d.bmp", "c.gif", "g.heic", "b.bmp", "f.wmf", "h.PNG", "a.jpg", "e.jpg"}));
    settings.ImageKinds[OtherPicturesKind] = 0;
    click(0);
    EXPECT_EQ(form->List_1, (std::vector<std::string>{"d.bmp", "c.gif", "b.bmp", "f.wmf", "a.jpg", "e.jpg"}));
}

TEST_F(PanelFixture, CancelledDialogsChangeNothingAndAnUnreadableFolderIsReportedOnce)
{
    fs.addFile(kPics + "\\a.bmp");
    fs.addFile("C:\\m.mp3");
    fs.addFile(kBeside, "[Section]\r\n" + cp932("画像のﾌｫﾙﾀﾞ") + "=C:\\Pics\r\n" + cp932("BGM区分") + "=2\r\n" +
                         cp932("BGMﾌｧｲﾙ") + "=C:\\m.mp3\r\n");
    open();
    click(0); // the browser answers nothing: no scan, above all not of the drive's root
    click(4);
    ASSERT_EQ(platform.prompts.size(), 2u);
    EXPECT_EQ(form->Folder_Path, kPics);
    EXPECT_EQ(form->List_1, (std::vector<std::string>{"a.bmp"})); // as Form_Load listed the stored folder
    EXPECT_EQ(form->lbl_Kei, "1");
    EXPECT_EQ(form->lbl_Fname, "C:\\m.mp3");
    EXPECT_EQ(settings.BgmFile, "C:\\m.mp3");
    EXPECT_TRUE(platform.messages.empty());

    // A folder that cannot be read is said once and leaves an empty list under its name.
    platform.folderAnswer = "C:\\Gone";
    click(0);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_NE(platform.messages[0].find("C:\\Gone"), std::string::npos);
    EXPECT_TRUE(form->List_1.empty());
    EXPECT_EQ(form->lbl_Kei, "0");
    EXPECT_EQ(form->Folder_Path, "C:\\Gone");

    // The window closed (from the system menu, say) while a chooser is open or while a kind
    // box's click is served: the answer changes nothing, and no later press opens a chooser.
    fs.addFolder("C:\\Other");
    platform.folderAnswer = "C:\\Other";
    platform.fileAnswer = "C:\\n.mp3";
    platform.prompts.clear();
    for (const int button : {0, 4}) {
        open();
        platform.onChooser = [&] { form->Form_QueryClose(); };
        click(button);
        click(4 - button);
        EXPECT_TRUE(form->ended);
        EXPECT_EQ(form->Folder_Path, kPics) << button;
        EXPECT_EQ(form->lbl_Fname, "C:\\m.mp3") << button;
    }
    EXPECT_EQ(platform.prompts.size(), 2u);
    open();
    platform.onPump = [&] { form->Form_QueryClose(); };
    form->Img_Kind_MouseDown(0); // bitmaps off would empty the list
    EXPECT_EQ(form->List_1, (std::vector<std::string>{"a.bmp"}));
}

TEST_F(PanelFixture, AnEventDuringTheScanThatReplacesTheListStopsTheScan)
{
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp"})
        fs.addFile(kPics + "\\" + name);
    open();
    platform.folderAnswer = kPics;
    platform.onPump = [&] {
        if (form->List_1.size() == 2)
            form->ClearSelection(); // "ｸﾘｱ" pressed while the count runs up
    };
    click(0);
    EXPECT_TRUE(form->List_1.empty());
    EXPECT_EQ(form->lbl_Kei, "");
    EXPECT_FALSE(form->scanning());

    // "ｷｬﾝｾﾙ" in the middle ends the dialog and the scan with it.
    open();
    bool pressed = false;
    platform.onPump = [&] {
        if (form->List_1.size() == 1 && !pressed) {
            pressed = true;
            click(3);
        }
    };
    click(0);
    EXPECT_TRUE(form->ended);
    EXPECT_EQ(form->List_1.size(), 1u);
}

// The thumbnail's pixels, and buttons 7, 8 and 32 on it, are compared with velmora-fx on the
// real windows (the panels case of settings_e2e.sh and of dialog_e2e.sh).
TEST_F(PanelFixture, TheThumbnailFitsAHundredSquareOrSaysWhyNotEachButtonFiltersItAndClearEmptiesIt)
{
    fs.addFile(kBeside, "[Section]\r\n" + cp932("画像のﾌｫﾙﾀﾞ") + "=C:\\Pics\r\n");
    fs.addFile(kPics + "\\a.bmp");
    open();
    struct Case {
        int w, h, tw, th;
    };
    for (const Case c : {Case{640, 480, 100, 75}, Case{480, 640, 75, 100}, Case{300, 300, 100, 100},
                         Case{1, 500, 1, 100}, Case{500, 1, 100, 1}, Case{1, 1, 100, 100}}) {
        showPicture("p.bmp", c.w, c.h);
        EXPECT_EQ(form->lbl_PreSize, std::to_string(c.w) + " * " + std::to_string(c.h));
        ASSERT_EQ(form->Display.width(), c.tw) << c.w << "x" << c.h;
        ASSERT_EQ(form->Display.height(), c.th) << c.w << "x" << c.h;
    }
    EXPECT_EQ(platform.loader.requests.back().fitWidth, 100);
    EXPECT_EQ(filterButtonsEnabled(), 48);

    // A JPEG turned by its orientation and delivered reduced: its size as shown.
    platform.loader.pictures[kPics + "\\turned.jpg"].ownSize = {3000, 4000};
    showPicture("turned.jpg", 150, 200);
    EXPECT_EQ(form->lbl_PreSize, "3000 * 4000");
    EXPECT_EQ(form->Display.width(), 75);

    // One that does not load clears the thumbnail and says so briefly in Japanese (the label
    // is 100 pixels wide), the decoder's own words on hover; the next good one clears those.
    form->List_1.push_back("broken.jpg");
    form->List_1_Selected = int(form->List_1.size()) - 1;
    form->List_1_Click();
    EXPECT_EQ(form->lbl_PreSize, text::PictureNotLoaded);
    EXPECT_EQ(form->lbl_PreSize_Tip, "broken.jpg: picture data is broken");
    EXPECT_TRUE(form->Display.empty());
    EXPECT_EQ(filterButtonsEnabled(), 0);
    form->Cmd_Fil_Click(1); // none can arrive; one that did would find nothing to filter
    EXPECT_TRUE(form->Display.empty());
    EXPECT_EQ(platform.busy, 0); // every hourglass put back

    // Each button runs its row on the unfiltered thumbnail.
    showPicture("p.bmp", 640, 480);
    EXPECT_EQ(form->lbl_PreSize_Tip, "");
    const Picture thumbnail = form->Pic_K;
    // 32 to 35: type 16 with 2 to 5; 36: type 1 with 2. Each differs from its neighbour.
    const std::array<std::pair<int, int>, 5> rows{{{16, 2}, {16, 3}, {16, 4}, {16, 5}, {1, 2}}};
    for (int button = 32; button <= 36; ++button) {
        form->Cmd_Fil_Click(button);
        const auto [type, param] = rows[std::size_t(button - 32)];
        EXPECT_TRUE(form->Display == filtered(type, param)) << button;
        if (button > 32) {
            const auto [before, beforeParam] = rows[std::size_t(button - 33)];
            EXPECT_FALSE(form->Display == filtered(before, beforeParam)) << button;
        }
    }
    EXPECT_TRUE(form->Pic_K == thumbnail);

    // The shared engine in the middle of another run refuses a filter: the thumbnail shows
    // unfiltered, and the dialog goes on.
    ASSERT_FALSE(form->Display == form->Pic_K);
    filters::FilterEngine& shared = filters::sharedFilterEngine();
    shared.Fil_Busy = true;
    form->Cmd_Fil_Click(2);
    shared.Fil_Busy = false;
    EXPECT_TRUE(form->Display == form->Pic_K);
    form->Cmd_Fil_Click(2);
    EXPECT_TRUE(form->Display == filtered(2, 0));

    // "ｸﾘｱ" empties the selection and disables the buttons; a save then stores no folder.
    ASSERT_EQ(form->lbl_Kei, "1");
    click(1);
    EXPECT_TRUE(form->List_1.empty());
    EXPECT_EQ(form->Folder_Path, "");
    EXPECT_EQ(form->lbl_Kei, "");
    EXPECT_TRUE(form->Display.empty());
    EXPECT_EQ(form->lbl_PreSize, "640 * 480"); // stays, as do the kinds
    EXPECT_EQ(filterButtonsEnabled(), 0);
    click(2);
    EXPECT_NE(file().find(cp932("画像のﾌｫﾙﾀﾞ") + "=\r\n"), std::string::npos) << file();
}

TEST_F(PanelFixture, TheMusicFileAndALongFolderPathAreSavedTheFolderShortWhereCodePage932CannotHoldIt)
{
    const std::string folder = "C:\\" + std::string(280, 'x') + "\\사진";
    fs.addFolder(folder);
    fs.addFile(folder + "\\a.jpg");
    fs.shortNames[folder] = "C:\\XXXXXX~1\\1A2B~1";
    open();
    form->lbl_BGM_MouseDown(1); // audio CD
    form->BGM_Repeat.text = "12";
    form->Img_BGM_MouseDown(2); // file: the repeat text stays
    platform.fileAnswer = "C:\\Music\\曲.mp3";
    click(4);
    EXPECT_EQ(form->lbl_Fname, "C:\\Music\\曲.mp3");
    platform.folderAnswer = folder;
    click(0);
    EXPECT_EQ(form->List_1, (std::vector<std::string>{"a.jpg"}));
    EXPECT_EQ(form->FolderFiles, (std::vector<std::string>{folder + "\\a.jpg"}));
    click(2);
    EXPECT_NE(file().find(cp932("画像のﾌｫﾙﾀﾞ") + "=C:\\XXXXXX~1\\1A2B~1\r\n"), std::string::npos) << file();
    EXPECT_NE(file().find(cp932("BGMﾘﾋﾟｰﾄ") + "= 12\r\n"), std::string::npos) << file();
    EXPECT_NE(file().find(cp932("BGMﾌｧｲﾙ") + "=" + cp932("C:\\Music\\曲.mp3") + "\r\n"), std::string::npos) << file();
}
