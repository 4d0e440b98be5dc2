// LoadSettings and SaveSettings: number readings, stored paths, the exact bytes written, foreign
// lines kept, the per-user fallback, files never replaced, saves that write all or nothing, and
// the file's encodings. The defaults are the settings window's first case.
#include "startup/settings_file.h"

#include "settings_fixture.h"
#include "startup/text_units.h"

using namespace velmora;
using namespace velmora::testing;

namespace {

struct SettingsFile : SettingsFixture {
    void store(std::string lines) { fs.addFile(kBeside, "[Section]\r\n" + lines); }
    void load() { (void)LoadSettings(location, fs, codec, settings, catalogue); }
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
    ASSERT_TRUE(SaveSettings(settings, {"", "0"}, location, fs, codec).ok());
    EXPECT_NE(fs.contents(kBeside)->find(line("続きから", "0")), std::string::npos);
    EXPECT_NE(fs.contents(kBeside)->find(line("全ﾓﾆﾀｰ", "0.9")), std::string::npos);
    store("");
    load();
    EXPECT_EQ(settings.Resume, 1);
    EXPECT_EQ(settings.AllMonitors, 1);
}

// A drive not plugged in yet must not cost the user the folder or the music: both are kept,
// and a save that does not touch them writes them back.
TEST_F(SettingsFile, StoredPathsAreDecodedAndKeptWhenTheyAreMissingForAMoment)
{
    fs.addFolder("D:\\写真");
    fs.addFile("D:\\写真\\a.jpg");
    fs.addFile("D:\\曲.mp3");
    const auto loadStored = [&](const char* folder, const char* kind, const char* music) {
        store(cp932("画像のﾌｫﾙﾀﾞ") + "=" + cp932(folder) + "\r\n" + cp932("BGM区分") + "=" + kind + "\r\n" +
              cp932("BGMﾌｧｲﾙ") + "=" + cp932(music) + "\r\n");
        load();
    };
    loadStored("D:\\写真", "2", "D:\\曲.mp3");
    EXPECT_EQ(settings.ImageFolder, "D:\\写真");
    EXPECT_EQ(catalogue.ImageCount, 1);
    EXPECT_EQ(settings.BgmFile, "D:\\曲.mp3");
    EXPECT_EQ(settings.BgmKind, 2);
    EXPECT_FALSE(folderMissing(settings, fs) || musicFileMissing(settings, fs));

    loadStored("E:\\写真", "2", "E:\\曲.mp3");
    EXPECT_EQ(settings.ImageFolder, "E:\\写真");
    EXPECT_EQ(catalogue.ImageCount, 0);
    EXPECT_EQ(settings.BgmKind, 2);
    EXPECT_EQ(settings.BgmFile, "E:\\曲.mp3");
    EXPECT_TRUE(folderMissing(settings, fs) && musicFileMissing(settings, fs));
    const std::string before = *fs.contents(kBeside);
    ASSERT_TRUE(SaveSettings(settings, {settings.ImageFolder, ""}, location, fs, codec).ok());
    EXPECT_NE(fs.contents(kBeside)->find(cp932("画像のﾌｫﾙﾀﾞ") + "=" + cp932("E:\\写真") + "\r\n"), std::string::npos);
    EXPECT_NE(fs.contents(kBeside)->find(cp932("BGMﾌｧｲﾙ") + "=" + cp932("E:\\曲.mp3") + "\r\n"), std::string::npos);
    EXPECT_NE(fs.contents(kBeside)->find(cp932("BGM区分") + "= 2\r\n"), std::string::npos);
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
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result->file, kBeside);
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
        EXPECT_TRUE(SaveSettings(settings, {}, location, fs, codec).ok());
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
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result->file, kPerUser);
    EXPECT_TRUE(result->perUserInstead); // the dialog says where it went
    EXPECT_NE(fs.contents(kPerUser)->find("foreign=kept"), std::string::npos);

    Settings reread;
    (void)LoadSettings(location, fs, codec, reread, catalogue);
    EXPECT_EQ(reread.FilterMode, 0); // the program folder's file has none
    // Saves go on to the file that is read, even beside a program that could take them.
    fs.addFolder("C:\\Other");
    EXPECT_EQ(SaveSettings(settings, {}, {"C:\\Other", kAppData, {}}, fs, codec)->file, kPerUser);
}

// A file that cannot be read, is too large, read-only or someone else's is never replaced, and
// no per-user file is written to shadow it from then on. A save where nothing can be written
// at all is reported (dialog_e2e.sh, save).
TEST_F(SettingsFile, FilesThatMustNotBeReplacedAreKeptAndNothingIsWrittenElsewhere)
{
    const std::string big(SettingsFileLimit + 1, ';');
    const auto refuse = [&](const std::string& bytes, std::uint32_t attributes, SaveProblem problem) {
        fs.addFile(kBeside, bytes, attributes);
        const auto result = SaveSettings(settings, {}, location, fs, codec);
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.reason().problem, problem);
        EXPECT_EQ(result.reason().file, kBeside);
        EXPECT_EQ(*fs.contents(kBeside), bytes);
        EXPECT_EQ(fs.contents(kPerUser), nullptr);
    };
    refuse(big, AttrArchive, SaveProblem::TooLarge);
    refuse("[Section]\r\n", AttrReadOnly | AttrArchive, SaveProblem::ReadOnly);
    fs.otherOwners.insert(kBeside);
    refuse("[Section]\r\n", AttrArchive, SaveProblem::OtherOwner);
    fs.otherOwners.clear();
    fs.unreadable.insert(kBeside);
    refuse("precious", AttrArchive, SaveProblem::Unreadable);
    // UTF-16 that cannot come back as it was (an odd length, half a surrogate pair) is not read either.
    fs.unreadable.clear();
    refuse("\xFF\xFE[\0S", AttrArchive, SaveProblem::Unreadable);
    refuse(std::string("\xFF\xFE\x00\xD8[\0", 6), AttrArchive, SaveProblem::Unreadable);
    refuse(std::string("\xFE\xFF\xDC\x00\x00[", 6), AttrArchive, SaveProblem::Unreadable);
}

// All or nothing: a value the file cannot hold leaves it byte for byte, and the result names
// the value and the true reason.
TEST_F(SettingsFile, AValueTheFileCannotHoldWritesNothingAndIsNamedWithItsReason)
{
    store(cp932("画像のﾌｫﾙﾀﾞ") + "=D:\\old\r\n");
    const std::string before = *fs.contents(kBeside);
    settings.ImageOrder = 1; // a change that must not reach the file either
    const auto expectRefused = [&](const std::string& folder, const std::string& music, SaveProblem problem,
                                   StoredText value) {
        settings.BgmFile = music;
        const auto result = SaveSettings(settings, {folder, "0"}, location, fs, codec);
        ASSERT_FALSE(result.ok()) << folder;
        EXPECT_EQ(result.reason().problem, problem) << folder;
        EXPECT_EQ(result.reason().value, value) << folder;
        EXPECT_EQ(*fs.contents(kBeside), before) << folder;
    };
    expectRefused("D:\\Café", "", SaveProblem::NotInCodePage932, StoredText::Folder);
    expectRefused("D:\\" + std::string(300, 'a'), "", SaveProblem::TooLong, StoredText::Folder);
    expectRefused("D:\\x\ny", "", SaveProblem::LineBreak, StoredText::Folder);
    expectRefused("D:\\trailing ", "", SaveProblem::EdgeBlankOrQuote, StoredText::Folder);
    expectRefused("'D:\\quoted'", "", SaveProblem::EdgeBlankOrQuote, StoredText::Folder);
    expectRefused("D:\\ok", "D:\\Café.mp3", SaveProblem::NotInCodePage932, StoredText::MusicFile);

    // A short form that fits stands in for the path (Windows' 8.3 names).
    fs.shortNames["D:\\Café"] = "D:\\CAFE~1";
    settings.BgmFile.clear();
    ASSERT_TRUE(SaveSettings(settings, {"D:\\Café", "0"}, location, fs, codec).ok());
    EXPECT_NE(fs.contents(kBeside)->find("=D:\\CAFE~1\r\n"), std::string::npos);
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
    ASSERT_TRUE(SaveSettings(settings, {"D:\\Café 写真", "x"}, location, fs, codec).ok());
    EXPECT_EQ(settings.BgmRepeat, 0); // "x" is not numeric
    const std::string saved = *fs.contents(kBeside);
    EXPECT_EQ(saved.rfind("\xEF\xBB\xBF[Section]\n画像のﾌｫﾙﾀﾞ=D:\\Café 写真\nﾌｨﾙﾀ区分= 0\n", 0), 0u);
    EXPECT_NE(saved.find("BGM区分= 1\nBGMﾘﾋﾟｰﾄ= 0\n"), std::string::npos);
    EXPECT_EQ(saved.find(cp932("BGM区分")), std::string::npos); // no key in the other spelling
    // Without the mark the keys decide: settings_e2e.sh's "keep" case (UTF-8 stays UTF-8) and
    // dialog_e2e.sh's "save" case (code page 932 stays code page 932) check it on real files.
}

// UTF-16 with its mark, in either byte order, is read and written back as UTF-16 in that order.
TEST_F(SettingsFile, Utf16FilesInEitherByteOrderAreReadAndWrittenBackSo)
{
    fs.addFolder("D:\\Café");
    const std::string text = "[Section]\r\n画像のﾌｫﾙﾀﾞ=D:\\Café\r\n; 😀 kept\r\nﾌｨﾙﾀ区分=0\r\n";
    for (const bool little : {true, false}) {
        const auto utf16 = [&](const std::string& utf8) {
            std::string out = little ? "\xFF\xFE" : "\xFE\xFF";
            const std::u16string units = utf8ToUtf16(utf8).value();
            for (const char16_t unit : units) {
                const char bytes[2] = {char(unit & 0xFF), char(unit >> 8)};
                out += little ? bytes[0] : bytes[1];
                out += little ? bytes[1] : bytes[0];
            }
            return out;
        };
        fs.addFile(kBeside, utf16(text));
        settings = Settings{};
        load();
        EXPECT_EQ(settings.ImageFolder, "D:\\Café");
        EXPECT_EQ(settings.FilterMode, 0);

        settings.ImageOrder = 1;
        ASSERT_TRUE(SaveSettings(settings, {"D:\\Café", ""}, location, fs, codec).ok());
        const std::string expected = "[Section]\r\n画像のﾌｫﾙﾀﾞ=D:\\Café\r\n; 😀 kept\r\nﾌｨﾙﾀ区分= 0\r\n画像ﾁｪﾝｼﾞ= 1\r\n";
        EXPECT_EQ(fs.contents(kBeside)->substr(0, utf16(expected).size()), utf16(expected)) << little;
    }
}

// Keys of both encodings are read; the save writes every key in the encoding of the first key
// line, rewriting the other spelling's line instead of adding a second one.
TEST_F(SettingsFile, MixedEncodingsAreReadAndWrittenInTheFirstKeyLinesEncodingWithoutDuplicates)
{
    fs.addFile(kBeside, "[Section]\r\n" + cp932("画像のｻｲｽﾞ") + "=0\r\nﾌｨﾙﾀ区分=0\r\nBGMﾘﾋﾟｰﾄ=7\r\n");
    load();
    EXPECT_EQ(settings.ImageSize, 0);
    EXPECT_EQ(settings.FilterMode, 0);
    EXPECT_EQ(settings.BgmRepeat, 7);
    ASSERT_TRUE(SaveSettings(settings, {"", "8"}, location, fs, codec).ok());
    const std::string saved = *fs.contents(kBeside);
    EXPECT_EQ(saved.rfind("[Section]\r\n" + cp932("画像のｻｲｽﾞ") + "= 0\r\n" + cp932("ﾌｨﾙﾀ区分") + "= 0\r\n" +
                              cp932("BGMﾘﾋﾟｰﾄ") + "= 8\r\n",
                          0),
              0u)
        << saved;
    EXPECT_EQ(saved.find("ﾌｨﾙﾀ区分"), std::string::npos); // no UTF-8 key left
}

// A save killed half-way leaves only a file marked as ours, which the next start or save removes.
TEST_F(SettingsFile, TemporaryFilesOfAnInterruptedSaveGoAtTheNextStartOrSave)
{
    const std::string stale = kBeside + std::string(TemporaryMark) + "a1B2c3";
    const std::string foreign = kBeside + ".bak";
    for (const bool bySave : {false, true}) {
        fs.addFile(stale, "half");
        fs.addFile(foreign, "mine");
        if (bySave)
            EXPECT_TRUE(SaveSettings(settings, {}, location, fs, codec).ok());
        else
            load();
        EXPECT_EQ(fs.contents(stale), nullptr);
        EXPECT_NE(fs.contents(foreign), nullptr);
    }
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
