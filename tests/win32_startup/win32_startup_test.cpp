// The Win32 start-up pieces on a real (Wine) file system: attribute scans with
// SetFileAttributesW, a path outside code page 932, and the argument string. The settings
// file under its Japanese name is read and written by velmora.scr in dialog_e2e.sh.
#include "platform/win32/startup_win32.h"
#include "startup/catalogue.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>

using namespace velmora;
using namespace velmora::win32;

namespace {

struct TempFolder : ::testing::Test {
    std::wstring root;
    Win32FileSystem fs;
    Cp932Codec codec;

    TempFolder()
    {
        root = (std::filesystem::temp_directory_path() / (L"velmora-写真-" + std::to_wstring(GetCurrentProcessId())))
                   .wstring();
        std::filesystem::create_directory(root);
    }
    ~TempFolder() override
    {
        std::error_code ignored; // read-only files first made deletable
        for (const auto& entry : std::filesystem::directory_iterator(root, ignored))
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        std::filesystem::remove_all(root, ignored);
    }
    std::wstring touch(const std::wstring& name, DWORD attributes)
    {
        const std::wstring path = root + L"\\" + name;
        std::ofstream(std::filesystem::path(path)) << "x";
        SetFileAttributesW(path.c_str(), attributes);
        return path;
    }
    std::string rootUtf8() const { return narrow(root); }
};

} // namespace

TEST_F(TempFolder, ScanTakesEveryFileThatIsNotHiddenOrSystem)
{
    touch(L"normal.jpg", FILE_ATTRIBUTE_NORMAL);
    touch(L"archived.jpg", FILE_ATTRIBUTE_ARCHIVE);
    touch(L"readonly.bmp", FILE_ATTRIBUTE_READONLY);
    touch(L"both.gif", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    const auto hidden = touch(L"hidden.jpg", FILE_ATTRIBUTE_HIDDEN);
    const auto system = touch(L"system.wmf", FILE_ATTRIBUTE_SYSTEM);
    CreateDirectoryW((root + L"\\folder.jpg").c_str(), nullptr);
    touch(L"other.txt", FILE_ATTRIBUTE_NORMAL);

    Catalogue c;
    BuildImageList(rootUtf8(), {1, 1, 1, 1}, fs, c);
    std::vector<std::string> names;
    for (int i = 1; i <= c.ImageCount; ++i)
        names.push_back(c.ImageList[std::size_t(i)].substr(rootUtf8().size() + 1));
    std::vector<std::string> expected{"archived.jpg", "both.gif", "normal.jpg", "readonly.bmp"};
    // Where the file system cannot keep a hidden or system bit, that file is an ordinary one.
    if (!(GetFileAttributesW(hidden.c_str()) & FILE_ATTRIBUTE_HIDDEN))
        expected.push_back("hidden.jpg");
    if (!(GetFileAttributesW(system.c_str()) & FILE_ATTRIBUTE_SYSTEM))
        expected.push_back("system.wmf");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    EXPECT_TRUE(GetFileAttributesW((root + L"\\both.gif").c_str()) & FILE_ATTRIBUTE_READONLY);

    // The catalogue's one listing takes exactly what the system's search per kind takes,
    // case, dots and short names included.
    for (const wchar_t* name : {L"UPPER.JPG", L"two.dots.bmp", L"long.jpeg", L"longer.gifs", L"x.wmf.txt"})
        touch(name, FILE_ATTRIBUTE_NORMAL);
    const std::vector<std::string_view> kinds(PicturePatterns.begin(), PicturePatterns.end());
    std::vector<std::string> once = fs.findPlainFiles(rootUtf8(), kinds);
    std::vector<std::string> perKind = fs.FileSystem::findPlainFiles(rootUtf8(), kinds);
    std::sort(once.begin(), once.end());
    std::sort(perKind.begin(), perKind.end());
    perKind.erase(std::unique(perKind.begin(), perKind.end()), perKind.end());
    EXPECT_EQ(once, perKind);
}

TEST_F(TempFolder, PathOutsideCodePage932IsStoredShortOrReported)
{
    const std::wstring folder = root + L"\\Café";
    CreateDirectoryW(folder.c_str(), nullptr);
    SettingsLocation location{rootUtf8(), {}, {}};
    Settings settings;
    const auto result = SaveSettings(settings, {narrow(folder), "0"}, location, fs, codec);
    const auto alias = fs.shortPath(narrow(folder));
    const bool aliasFits = alias && codec.toCp932(*alias);
    EXPECT_EQ(result.ok(), aliasFits);

    Settings reread;
    Catalogue catalogue;
    (void)LoadSettings(location, fs, codec, reread, catalogue);
    if (aliasFits)
        EXPECT_TRUE(FolderExists(fs, reread.ImageFolder)) << reread.ImageFolder;
    else
        EXPECT_EQ(reread.ImageFolder, "");
}

// A read-only file and one over the limit beside the program are never replaced, nor shadowed by
// a per-user file; what a killed save left beside the file goes at the next save.
TEST_F(TempFolder, ReadOnlyAndOversizedFilesAreKeptAndNothingIsWrittenPerUser)
{
    const std::wstring program = root + L"\\program";
    const std::wstring appData = root + L"\\appdata";
    CreateDirectoryW(program.c_str(), nullptr);
    const SettingsLocation location{narrow(program), narrow(appData), {}};
    const std::wstring file = program + L"\\ヴェルモラ.ini";
    const std::wstring stale = file + widen(TemporaryMark) + L"1234";
    Settings settings;
    const auto contents = [&] { return fs.readFile(narrow(file), SettingsFileLimit + 1).bytes; };

    std::ofstream(std::filesystem::path(file), std::ios::binary) << "[Section]\r\n";
    std::ofstream(std::filesystem::path(stale), std::ios::binary) << "half";
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
    auto result = SaveSettings(settings, {}, location, fs, codec);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.reason().problem, SaveProblem::ReadOnly);
    EXPECT_EQ(contents(), "[Section]\r\n");
    EXPECT_EQ(GetFileAttributesW(stale.c_str()), INVALID_FILE_ATTRIBUTES);

    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::resize_file(std::filesystem::path(file), SettingsFileLimit + 1);
    result = SaveSettings(settings, {}, location, fs, codec);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.reason().problem, SaveProblem::TooLarge);
    EXPECT_EQ(std::filesystem::file_size(std::filesystem::path(file)), SettingsFileLimit + 1);
    EXPECT_EQ(GetFileAttributesW(appData.c_str()), INVALID_FILE_ATTRIBUTES); // no per-user file at all

    std::filesystem::resize_file(std::filesystem::path(file), 0);
    result = SaveSettings(settings, {}, location, fs, codec);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result->file, narrow(file));
    EXPECT_NE(contents().find("[Section]"), std::string::npos);
}

TEST(ArgumentString, FollowsTheProgramNameQuotedOrNot)
{
    EXPECT_EQ(argumentString(L"\"C:\\Program Files\\v.scr\" /s"), L"/s");
    EXPECT_EQ(argumentString(L"C:\\v.scr   /p 1234"), L"/p 1234");
    EXPECT_EQ(argumentString(L"v.scr"), L"");
    EXPECT_EQ(argumentString(L"\"v.scr\"/c"), L"/c");
    EXPECT_EQ(argumentString(L"\"unterminated"), L"");
}
