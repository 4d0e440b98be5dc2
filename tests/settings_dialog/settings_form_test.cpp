// The settings window's model: what Form_Load shows, the option groups, and what the push
// buttons and the close box do to the settings file.
#include "dialog_fixture.h"

using namespace velmora;
using namespace velmora::dialog;
using namespace velmora::dialog::testing;

TEST_F(DialogFixture, WithoutASettingsFileTheDefaultsAreSelected)
{
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
    ASSERT_EQ(form->BGM_Repeat.entries.size(), 31u); // filled once: "", "1".."30"
    EXPECT_EQ(form->BGM_Repeat.entries[0], "");
    EXPECT_EQ(form->BGM_Repeat.entries[30], "30");
    EXPECT_TRUE(form->List_1.empty());
    EXPECT_EQ(form->lbl_Kei, "");
    EXPECT_EQ(filterButtonsEnabled(), 0);
    // The window opens from the mouse position.
    EXPECT_EQ(platform.calls, (std::vector<std::string>{"zoomOpen 300,200"}));
}

TEST_F(DialogFixture, StoredValuesOutsideTheChoicesShowNoFaceAndAreSavedBackUntouched)
{
    fs.addFolder("C:\\Pics");
    fs.addFile("C:\\Pics\\b.jpg");
    fs.addFile("C:\\Pics\\a.bmp");
    fs.addFile(kIni, "[Section]\r\n" + cp932("画像ﾁｪﾝｼﾞ") + "=2\r\n" + cp932("画像種類_1") + "= 2\r\n" +
                         cp932("画像のﾌｫﾙﾀﾞ") + "=C:\\Pics\r\n" + cp932("BGM区分") + "= 1\r\n" +
                         cp932("BGMﾘﾋﾟｰﾄ") + "= 12\r\n");
    open();
    EXPECT_EQ(form->Img_SR, (std::array{Face::None, Face::None}));
    EXPECT_EQ(form->Img_Kind, (std::array{Face::On, Face::None, Face::On, Face::On}));
    EXPECT_EQ(form->List_1, (std::vector<std::string>{"a.bmp", "b.jpg"}));
    EXPECT_EQ(form->lbl_Kei, "2");
    EXPECT_EQ(form->Folder_Path, "C:\\Pics");
    EXPECT_TRUE(form->BGM_Repeat.enabled); // audio CD
    EXPECT_EQ(form->BGM_Repeat.text, "12");

    click(2);
    const std::string written = file();
    EXPECT_NE(written.find(cp932("画像ﾁｪﾝｼﾞ") + "= 2\r\n"), std::string::npos) << written;
    EXPECT_NE(written.find(cp932("画像種類_1") + "= 2\r\n"), std::string::npos) << written;
    EXPECT_NE(written.find(cp932("BGMﾘﾋﾟｰﾄ") + "= 12\r\n"), std::string::npos) << written;
}

TEST_F(DialogFixture, SetWritesEveryKeyInOrderAsNumberTextAndKeepsOtherLines)
{
    fs.addFile(kIni, "[Other]\r\nkeep=me\r\n");
    open();
    // Captions and faces act alike, on any group.
    form->lbl_Rdm_Seq_MouseDown(1);
    form->Img_Size_MouseDown(0);
    form->lbl_Kbn_MouseDown(0);
    form->lbl_BGM_MouseDown(2);
    EXPECT_EQ(form->Img_Size, (std::array{Face::On, Face::Off}));
    EXPECT_TRUE(form->Img_Button[4].enabled);
    EXPECT_FALSE(form->BGM_Repeat.enabled);
    form->BGM_Repeat.text = "7"; // numeric text becomes the repeat value on save
    form->Folder_Path = "";

    platform.calls.clear();
    click(2);
    const auto line = [&](const char* key, const char* value) { return cp932(key) + "=" + value + "\r\n"; };
    EXPECT_EQ(file(), "[Other]\r\nkeep=me\r\n[Section]\r\n" + line("画像ﾁｪﾝｼﾞ", " 1") + line("画像のｻｲｽﾞ", " 0") +
                          line("ﾌｨﾙﾀ区分", " 0") + line("画像のﾌｫﾙﾀﾞ", "") + line("画像種類_0", " 1") +
                          line("画像種類_1", " 1") + line("画像種類_2", " 1") + line("画像種類_3", " 1") +
                          line("BGM区分", " 2") + line("BGMﾘﾋﾟｰﾄ", " 7") + line("BGMﾌｧｲﾙ", ""));
    // Released face drawn, then the close animation towards where the window opened from.
    EXPECT_EQ(platform.calls, (std::vector<std::string>{"pump", "zoomClose 300,200", "end"}));
    EXPECT_EQ(form->Img_Button[2].face, ButtonFace::Released);
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(DialogFixture, CancelAndTheCloseBoxWriteNothing)
{
    const std::string before = "[Section]\r\n" + cp932("画像ﾁｪﾝｼﾞ") + "=0\r\n; a comment\r\n";
    fs.addFile(kIni, before);
    open();
    form->Img_SR_MouseDown(1);
    click(3);
    EXPECT_EQ(file(), before);
    EXPECT_TRUE(form->ended);

    open();
    form->lbl_Kbn_MouseDown(0);
    form->Form_QueryClose();
    EXPECT_EQ(file(), before);
    EXPECT_EQ(platform.calls.back(), "end");
}

TEST_F(DialogFixture, AButtonActsOnReleaseWhereverThePointerIsButOnlyAfterItsOwnPress)
{
    open();
    // A release with no press on that button (the press went elsewhere) does nothing.
    form->lbl_Button_MouseUp(2);
    EXPECT_EQ(file(), "<none>");
    // Nor does one after the system took the mouse away in the middle of the press.
    form->lbl_Button_MouseDown(2);
    form->cancelPress();
    EXPECT_EQ(form->Img_Button[2].face, ButtonFace::Released);
    form->lbl_Button_MouseUp(2);
    EXPECT_EQ(file(), "<none>");

    // The shell captures the mouse: a release outside the face still comes to the button.
    form->lbl_Button_MouseDown(2);
    EXPECT_EQ(form->Img_Button[2].face, ButtonFace::Pressed);
    EXPECT_EQ(file(), "<none>"); // the press alone writes nothing
    form->lbl_Button_MouseUp(2);
    EXPECT_NE(file(), "<none>");
    EXPECT_TRUE(form->ended);

    // The file button is disabled without file music: it takes no press.
    open();
    form->lbl_Button_MouseDown(4);
    EXPECT_EQ(form->Img_Button[4].face, ButtonFace::Released);
}

TEST_F(DialogFixture, AFailedSaveIsReportedAndTheDialogStaysOpen)
{
    fs.refuseWritesIn(kProgram);
    fs.refuseWritesIn("C:\\AppData");
    open();
    click(2);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_NE(platform.messages[0].find("設定を保存できませんでした。"), std::string::npos);
    EXPECT_FALSE(form->ended);
    EXPECT_EQ(std::count(platform.calls.begin(), platform.calls.end(), "end"), 0);

    // Once the folder can be written the same button saves and ends.
    fs = FakeFileSystem();
    fs.addFolder(kProgram);
    click(2);
    EXPECT_NE(file(), "<none>");
    EXPECT_TRUE(form->ended);
}
