// LoadSettings and SaveSettings: number readings, stored paths, the exact bytes written, foreign
// lines kept, the per-user fallback. The defaults are the settings window's first case.
#include "startup/settings_file.h"

#include "settings_fixture.h"

using namespace velmora;
using namespace velmora::testing;

namespace {

struct SettingsFile : SettingsFixture {
    void store(std::string lines) { fs.addFile(kBeside, "[Section]\r\n" + lines); }
    void load() { LoadSettings(location, fs, codec, settings, catalogue); }
};

} // namespace

TEST_F(SettingsFile, NumbersAreRoundedOrTruncatedPerKeyAndJunkLeavesTheOldValue)
{
    const auto line = [&](const char* key, const char* value) { return cp932(key) + "=" + value + "\r\n"; };
    store(line("画像のｻｲｽﾞ", "2.5") + line("ﾌｨﾙﾀ区分", "1.5") + line("画像ﾁｪﾝｼﾞ", "-0.5") +
          line("画像種類_0", "abc") + line("画像種類_1", "2") + line("画像種類_2", "1.9") +
          line("BGMﾘﾋﾟｰﾄ", "70000") + line("続きから", "0") + line("全ﾓﾆﾀｰ", "0.9"));
    settings.ImageKinds = {2, 0, 0, 0, 0};
    settings.BgmRepeat = 5;
    load();
    EXPECT_EQ(settings.ImageSize, 2);
    EXPECT_EQ(settings.FilterMode, 2);
    EXPECT_EQ(settings.ImageOrder, -1);
    // The first kind's "abc" leaves the value before the read (neither 0 nor the default 1);
    // the last two kinds, missing, take the default.
    EXPECT_EQ(settings.ImageKinds, (ImageKindFlags{2, 2, 1, 1, 1}));
    EXPECT_EQ(settings.BgmRepeat, 5);
    EXPECT_EQ(settings.Resume, 0);
    EXPECT_EQ(settings.AllMonitors, 0);

    // The keys are ours and read only: a save keeps their lines as they were, and a file
    // without them means "on".
    settings.Resume = 1;
    settings.AllMonitors = 1;
    ASSERT_TRUE(SaveSettings(settings, {"", "0"}, location, fs, codec).ok);
    EXPECT_NE(fs.contents(kBeside)->find(line("続きから", "0")), std::string::npos);
    EXPECT_NE(fs.contents(kBeside)->find(line("全ﾓﾆﾀｰ", "0.9")), std::string::npos);
    store("");
    load();
    EXPECT_EQ(settings.Resume, 1);
    EXPECT_EQ(settings.AllMonitors, 1);
}

TEST_F(SettingsFile, StoredPathsAreDecodedAndKeptWhereTheyExistAndDroppedWhereNot)
{
    fs.addFolder("D:\\写真");
    fs.addFile("D:\\曲.mp3");
    const auto loadStored = [&](const char* folder, const char* kind, const char* music) {
        store(cp932("画像のﾌｫﾙﾀﾞ") + "=" + cp932(folder) + "\r\n" + cp932("BGM区分") + "=" + kind + "\r\n" +
              cp932("BGMﾌｧｲﾙ") + "=" + cp932(music) + "\r\n");
        load();
    };
    loadStored("D:\\写真", "2", "D:\\曲.mp3");
    EXPECT_EQ(settings.ImageFolder, "D:\\写真");
    EXPECT_EQ(settings.BgmFile, "D:\\曲.mp3");
    EXPECT_EQ(settings.BgmKind, 2);

    loadStored("D:\\gone", "2", "D:\\gone.mp3");
    EXPECT_EQ(settings.ImageFolder, "");
    EXPECT_EQ(settings.BgmKind, 0); // file music without its file: none
    loadStored("D:\\gone", "1", "D:\\gone.mp3");
    EXPECT_EQ(settings.BgmKind, 1); // the CD choice stays
    EXPECT_EQ(settings.BgmFile, "");
}

TEST_F(SettingsFile, ReadIniStopsAt255BytesWithoutHalvingACharacter)
{
    const std::string ascii(300, 'a');
    const std::string kanji = std::string(254, 'a') + "\x8e\xca"; // the double byte would straddle 255
    const auto doc = IniDocument::parse("[Section]\nA=" + ascii + "\nK=" + kanji + "\nN=ab" + std::string(1, '\0') + "c\n");
    EXPECT_EQ(ReadIni(doc, "Section", "A"), std::string(255, 'a'));
    EXPECT_EQ(ReadIni(doc, "Section", "K"), std::string(254, 'a'));
    EXPECT_EQ(ReadIni(doc, "Section", "N"), "ab");
}

TEST_F(SettingsFile, SavedFileMatchesByteForByte)
{
    fs.addFolder("D:\\Pics");
    settings = Settings{1, 0, -1, {1, 0, 1, 1, 1}, "", 2, 0, "D:\\曲.mp3"};
    const auto result = SaveSettings(settings, {"D:\\Pics", "3"}, location, fs, codec);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.file, kBeside);
    const auto line = [&](const char* key, const std::string& value) { return cp932(key) + "=" + value + "\r\n"; };
    const std::string expected = "[Section]\r\n" + line("画像ﾁｪﾝｼﾞ", " 1") + line("画像のｻｲｽﾞ", " 0") +
                                 line("ﾌｨﾙﾀ区分", "-1") + line("画像のﾌｫﾙﾀﾞ", "D:\\Pics") + line("画像種類_0", " 1") +
                                 line("画像種類_1", " 0") + line("画像種類_2", " 1") + line("画像種類_3", " 1") +
                                 line("BGM区分", " 2") + line("BGMﾘﾋﾟｰﾄ", " 3") + line("BGMﾌｧｲﾙ", cp932("D:\\曲.mp3"));
    EXPECT_EQ(*fs.contents(kBeside), expected);
}

// The fifth kind's key: read like the other kinds (1 when missing), written back only into a
// file that has it or when it is switched off, so that a file the user has does not change.
TEST_F(SettingsFile, TheFifthKindIsSavedOnlyWhenItsKeyIsThereOrItIsOff)
{
    const std::string key = cp932("画像種類_4");
    const auto saveAndRead = [&](const std::string& stored, std::int16_t flag) {
        store(stored);
        load();
        const std::int16_t loaded = settings.ImageKinds[OtherPicturesKind];
        settings.ImageKinds[OtherPicturesKind] = flag;
        EXPECT_TRUE(SaveSettings(settings, {}, location, fs, codec).ok);
        return std::pair{loaded, *fs.contents(kBeside)};
    };
    auto [loaded, saved] = saveAndRead(cp932("画像種類_0") + "=1\r\n", 1);
    EXPECT_EQ(loaded, 1);
    EXPECT_EQ(saved.find(key), std::string::npos);
    std::tie(loaded, saved) = saveAndRead(cp932("画像種類_0") + "=1\r\n", 0);
    EXPECT_NE(saved.find(key + "= 0\r\n"), std::string::npos);
    std::tie(loaded, saved) = saveAndRead(key + "=0\r\n", 0);
    EXPECT_EQ(loaded, 0);
    EXPECT_NE(saved.find(key + "= 0\r\n"), std::string::npos);
    std::tie(loaded, saved) = saveAndRead(key + "=0\r\n", 1); // switched back on: kept, as 1
    EXPECT_NE(saved.find(key + "= 1\r\n"), std::string::npos);
}

TEST_F(SettingsFile, ClosedProgramFolderFallsBackToThePerUserFileWhichThenWins)
{
    store(cp932("画像のｻｲｽﾞ") + "=0\r\nforeign=kept\r\n");
    fs.refuseWritesIn(kProgram);
    settings.FilterMode = 0;
    const auto result = SaveSettings(settings, {}, location, fs, codec);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.file, kPerUser);
    EXPECT_NE(fs.contents(kPerUser)->find("foreign=kept"), std::string::npos);

    Settings reread;
    LoadSettings(location, fs, codec, reread, catalogue);
    EXPECT_EQ(reread.FilterMode, 0); // the program folder's file has none
    // Saves go on to the file that is read, even beside a program that could take them.
    fs.addFolder("C:\\Other");
    EXPECT_EQ(SaveSettings(settings, {}, {"C:\\Other", kAppData, {}}, fs, codec).file, kPerUser);
}

// A save where nothing can be written is reported (dialog_e2e.sh, save-fails); a file that
// exists but cannot be read is never overwritten.
TEST_F(SettingsFile, AFileThatCannotBeReadIsNeverOverwritten)
{
    fs.addFile(kBeside, "precious");
    fs.unreadable.insert(kBeside);
    EXPECT_FALSE(SaveSettings(settings, {}, SettingsLocation{kProgram, {}, {}}, fs, codec).ok);
    EXPECT_EQ(*fs.contents(kBeside), "precious");
}

TEST_F(SettingsFile, PathsCodePage932CannotHoldAreNeverWrittenGarbled)
{
    store(cp932("画像のﾌｫﾙﾀﾞ") + "=D:\\old\r\n");
    EXPECT_FALSE(SaveSettings(settings, {"D:\\Café", "0"}, location, fs, codec).ok);
    EXPECT_NE(fs.contents(kBeside)->find("=D:\\old\r\n"), std::string::npos); // the old line stays
    EXPECT_NE(fs.contents(kBeside)->find(cp932("BGM区分")), std::string::npos); // the rest is saved

    // Text the reader would give back differently is refused too.
    EXPECT_FALSE(SaveSettings(settings, {"D:\\x\ny", "0"}, location, fs, codec).ok);
    EXPECT_FALSE(SaveSettings(settings, {"D:\\trailing ", "0"}, location, fs, codec).ok);
    EXPECT_FALSE(SaveSettings(settings, {"'D:\\quoted'", "0"}, location, fs, codec).ok);
    EXPECT_FALSE(SaveSettings(settings, {std::string(300, 'a'), "0"}, location, fs, codec).ok);
}

TEST_F(SettingsFile, AUtf8FileIsReadAndRewrittenInUtf8)
{
    // As a Linux editor writes it, with a mark before the first line and a path that code
    // page 932 cannot hold: the keys tell the encoding, and a save keeps it.
    fs.addFolder("D:\\Café 写真");
    fs.addFile(kBeside, "\xEF\xBB\xBF[Section]\n画像のﾌｫﾙﾀﾞ=D:\\Café 写真\nﾌｨﾙﾀ区分=0\n画像のｻｲｽﾞ=0\n");
    load();
    EXPECT_EQ(settings.ImageFolder, "D:\\Café 写真");
    EXPECT_EQ(settings.ImageSize, 0);

    settings.BgmKind = 1;
    settings.BgmRepeat = 7;
    ASSERT_TRUE(SaveSettings(settings, {"D:\\Café 写真", "x"}, location, fs, codec).ok);
    EXPECT_EQ(settings.BgmRepeat, 0); // "x" is not numeric
    const std::string saved = *fs.contents(kBeside);
    EXPECT_EQ(saved.rfind("\xEF\xBB\xBF[Section]\n画像のﾌｫﾙﾀﾞ=D:\\Café 写真\nﾌｨﾙﾀ区分= 0\n", 0), 0u);
    EXPECT_NE(saved.find("BGM区分= 1\nBGMﾘﾋﾟｰﾄ= 0\n"), std::string::npos);
    EXPECT_EQ(saved.find(cp932("BGM区分")), std::string::npos); // no key in the other spelling
    // Without the mark the keys decide: settings_e2e.sh's "keep" case (UTF-8 stays UTF-8) and
    // dialog_e2e.sh's "save" case (code page 932 stays code page 932) check it on real files.
}

// Each platform's own code page 932 conversion, which every key and path goes through.
TEST(Cp932, ConvertsBothWaysAndRefusesWhatItCannotHold)
{
    velmora::testing::PlatformCodec codec;
    EXPECT_EQ(codec.toCp932("ｱ画\\~"), "\xb1\x89\xe6\\~");
    EXPECT_EQ(codec.fromCp932("\x81\x60"), "\xef\xbd\x9e"); // the wave dash is U+FF5E here
    EXPECT_EQ(codec.toCp932("é"), std::nullopt);
    EXPECT_EQ(codec.toCp932("\xf0\x9f\x98\x80"), std::nullopt);
    EXPECT_EQ(codec.fromCp932("\x81"), std::nullopt);
}
