// The settings window's model: what Form_Load shows and the push buttons' press rules. What
// the buttons and the close box write is checked on the real windows (settings_e2e.sh on
// Linux, dialog_e2e.sh under Wine: save and its release outside, cancel, close, save-fails);
// a save the file refuses is checked here, and under Wine for a read-only file.
#include "dialog_fixture.h"

using namespace velmora;
using namespace velmora::dialog;
using namespace velmora::dialog::testing;

TEST_F(DialogFixture, WithoutASettingsFileTheDefaultsAreSelected)
{
    // Whatever the settings held before the read, each key's default replaces it.
    settings = Settings{1, 0, 0, {0, 0, 0, 0}, "C:\\Old", 2, 5, "C:\\old.mp3"};
    catalogue.ImageList.resize(4);
    catalogue.ImageCount = 3;
    open();
    EXPECT_EQ(form->Img_SR, (std::array{Face::On, Face::Off}));        // "ｼｰｹﾝｼｬﾙ"
    EXPECT_EQ(form->Img_Size, (std::array{Face::Off, Face::On}));      // "ﾌﾙｽｸﾘｰﾝ"
    EXPECT_EQ(form->Img_Kbn, (std::array{Face::Off, Face::On}));       // "一画面でﾗﾝﾀﾞﾑﾌｨﾙﾀ"
    EXPECT_EQ(form->Img_BGM, (std::array{Face::On, Face::Off, Face::Off})); // "無し"
    EXPECT_EQ(form->Img_Kind, (std::array{Face::On, Face::On, Face::On, Face::On}));
    // No music: neither the repeat box nor the file button can be used.
    EXPECT_FALSE(form->BGM_Repeat.enabled);
    EXPECT_FALSE(form->Img_Button[4].enabled);
    EXPECT_EQ(form->BGM_Repeat.text, "");
    ASSERT_EQ(form->BGM_Repeat.entries.size(), 31u); // "", then "1" to "30"
    EXPECT_EQ(form->BGM_Repeat.entries[0], "");
    EXPECT_EQ(form->BGM_Repeat.entries[30], "30");
    EXPECT_EQ(form->lbl_Fname, "");
    EXPECT_TRUE(form->List_1.empty());
    EXPECT_EQ(form->lbl_Kei, "");
    EXPECT_EQ(form->Folder_Path, "");
    EXPECT_EQ(filterButtonsEnabled(), 0);
}

// Stored values no choice has, saved back by "設定" (a kind box shows them unticked); a
// button acts on its release only after its own press.
TEST_F(DialogFixture, StoredValuesOutsideTheChoicesShowNoFaceAndAreSavedBackByTheSaveButtonsOwnRelease)
{
    const std::string stored = "[Section]\r\n" + cp932("画像ﾁｪﾝｼﾞ") + "=2\r\n" + cp932("画像種類_1") + "= 2\r\n" +
                               cp932("BGM区分") + "= 1\r\n" + cp932("BGMﾘﾋﾟｰﾄ") + "= 12\r\n";
    fs.addFile(kBeside, stored);
    open();
    EXPECT_EQ(form->Img_SR, (std::array{Face::None, Face::None}));
    EXPECT_EQ(form->Img_Kind, (std::array{Face::On, Face::Off, Face::On, Face::On}));
    // A kind flag is on only at 1: the first click ticks the stray value, the next unticks.
    for (const std::int16_t flag : {1, 0, 1}) {
        form->Img_Kind_MouseDown(1);
        EXPECT_EQ(settings.ImageKinds[1], flag);
        EXPECT_EQ(form->Img_Kind[1], flag == 1 ? Face::On : Face::Off);
    }
    EXPECT_TRUE(form->BGM_Repeat.enabled); // audio CD
    EXPECT_EQ(form->BGM_Repeat.text, "12");

    // A release whose press went elsewhere does nothing, nor does one after the system took
    // the mouse away in the middle of the press.
    form->lbl_Button_MouseUp(2);
    form->lbl_Button_MouseDown(2);
    form->cancelPress();
    EXPECT_EQ(form->Img_Button[2].face, ButtonFace::Released);
    form->lbl_Button_MouseUp(2);
    EXPECT_EQ(file(), stored);
    // The file button is disabled without file music: it takes no press.
    form->lbl_Button_MouseDown(4);
    EXPECT_EQ(form->Img_Button[4].face, ButtonFace::Released);

    click(2);
    const std::string written = file();
    EXPECT_NE(written.find(cp932("画像ﾁｪﾝｼﾞ") + "= 2\r\n"), std::string::npos) << written;
    EXPECT_NE(written.find(cp932("画像種類_1") + "= 1\r\n"), std::string::npos) << written;
    EXPECT_NE(written.find(cp932("BGMﾘﾋﾟｰﾄ") + "= 12\r\n"), std::string::npos) << written;
}

// A save the file refuses tells why in Japanese and keeps the window open with nothing written;
// a value that cannot be stored is named. Missing places are shown as such and saved back.
TEST_F(DialogFixture, RefusedSavesSayWhyAndKeepTheWindowWhileMissingPlacesAreShownAndKept)
{
    const std::string stored = "[Section]\r\n" + cp932("画像のﾌｫﾙﾀﾞ") + "=E:\\Pics\r\n" + cp932("BGM区分") +
                               "=2\r\n" + cp932("BGMﾌｧｲﾙ") + "=E:\\song.mp3\r\n";
    fs.addFile(kBeside, stored, AttrReadOnly);
    open();
    EXPECT_EQ(form->Folder_Path, "E:\\Pics");
    EXPECT_EQ(form->folderCaption(), "E:\\Pics (見つかりません)");
    EXPECT_EQ(form->lbl_Fname, "E:\\song.mp3 (見つかりません)");
    EXPECT_EQ(form->Img_BGM, (std::array{Face::Off, Face::Off, Face::On}));

    click(2);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_NE(platform.messages[0].find("読み取り専用"), std::string::npos) << platform.messages[0];
    EXPECT_FALSE(form->ended);
    EXPECT_EQ(file(), stored);

    fs.addFile(kBeside, stored); // writable now; the folder's name is one code page 932 lacks
    form->Folder_Path = "E:\\Café";
    click(2);
    ASSERT_EQ(platform.messages.size(), 2u);
    EXPECT_NE(platform.messages[1].find("「画像のﾌｫﾙﾀﾞ」を保存できません"), std::string::npos) << platform.messages[1];
    EXPECT_FALSE(form->ended);
    EXPECT_EQ(file(), stored);

    form->Folder_Path = "E:\\Pics";
    click(2);
    EXPECT_TRUE(form->ended);
    EXPECT_NE(file().find(cp932("画像のﾌｫﾙﾀﾞ") + "=E:\\Pics\r\n"), std::string::npos);
    EXPECT_NE(file().find(cp932("BGMﾌｧｲﾙ") + "=E:\\song.mp3\r\n"), std::string::npos);
    EXPECT_EQ(platform.messages.size(), 2u);
}

// The repeat box serves only the audio CD and the file button only file music, whether the
// choice comes from the file or from a click.
TEST_F(DialogFixture, EachMusicChoiceEnablesOnlyItsOwnControlAtLoadAndOnAClick)
{
    const auto expectChoice = [&](int kind, const std::string& how) {
        std::array<Face, 3> faces{Face::Off, Face::Off, Face::Off};
        faces[std::size_t(kind)] = Face::On;
        EXPECT_EQ(form->Img_BGM, faces) << how;
        EXPECT_EQ(form->BGM_Repeat.enabled, kind == 1) << how;
        EXPECT_EQ(form->Img_Button[4].enabled, kind == 2) << how;
    };
    fs.addFile("C:\\song.mp3");
    for (int stored = 0; stored < 3; ++stored) {
        fs.addFile(kBeside, "[Section]\r\n" + cp932("BGM区分") + "= " + std::to_string(stored) + "\r\n" +
                                cp932("BGMﾌｧｲﾙ") + "=C:\\song.mp3\r\n");
        open();
        expectChoice(stored, "stored " + std::to_string(stored));
        for (const int clicked : {2, 0, 1, 2}) {
            form->Img_BGM_MouseDown(clicked);
            expectChoice(clicked, "clicked " + std::to_string(clicked));
            EXPECT_EQ(settings.BgmKind, clicked);
        }
    }
}
