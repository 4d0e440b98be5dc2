// The POSIX file system on a real temporary folder: Windows-style wildcards and the
// attribute mapping the catalogue relies on.
#include "platform/linux/startup_linux.h"
#include "startup/catalogue.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace velmora;
using velmora::posix::PosixFileSystem;

namespace {

struct TempFolder : ::testing::Test {
    std::string root;
    PosixFileSystem fs;

    TempFolder()
    {
        std::string pattern = ::testing::TempDir() + "velmora-fs-XXXXXX";
        root = ::mkdtemp(pattern.data());
    }
    ~TempFolder() override { std::system(("rm -rf '" + root + "'").c_str()); }
    std::string touch(const std::string& name, const std::string& bytes = "x")
    {
        std::ofstream(root + "/" + name) << bytes;
        return root + "/" + name;
    }
};

} // namespace

TEST(Wildcards, MatchLikeWindowsWithoutCase)
{
    using posix::wildcardMatch;
    EXPECT_TRUE(wildcardMatch("*.jpg", "a.JPG"));
    EXPECT_TRUE(wildcardMatch("*.jpg", ".jpg"));
    EXPECT_TRUE(wildcardMatch("*.jpg", "a.b.jpg"));
    EXPECT_FALSE(wildcardMatch("*.jpg", "a.jpeg"));
    EXPECT_FALSE(wildcardMatch("*.jpg", "a.jpg.txt"));
    EXPECT_TRUE(wildcardMatch("*.*", "noextension"));
    EXPECT_TRUE(wildcardMatch("a?c*", "abcdef"));
    EXPECT_FALSE(wildcardMatch("a?c", "ac"));
}

TEST_F(TempFolder, CatalogueSkipsHiddenSpecialAndDanglingEntries)
{
    touch("b.JPG");
    const std::string readOnly = touch("a.gif");
    ::chmod(readOnly.c_str(), 0444);
    touch(".hidden.bmp");
    ::mkfifo((root + "/pipe.jpg").c_str(), 0644);
    ::mkdir((root + "/folder.bmp").c_str(), 0755);
    ::symlink("nowhere", (root + "/dangling.wmf").c_str());
    Catalogue c;
    BuildImageList(root, {1, 1, 1, 1}, fs, c);
    ASSERT_EQ(c.ImageCount, 2);
    EXPECT_EQ(c.ImageList[1], root + "/a.gif");
    EXPECT_EQ(c.ImageList[2], root + "/b.JPG");

    std::map<std::string, std::uint32_t> attributes;
    for (const auto& f : fs.findFiles(root + "/*.*"))
        attributes[f.name] = f.attributes;
    EXPECT_EQ(attributes[".hidden.bmp"], AttrHidden);
    EXPECT_EQ(attributes["a.gif"], AttrReadOnly);
    EXPECT_EQ(attributes["pipe.jpg"], AttrSystem);
    EXPECT_EQ(attributes["."], AttrDirectory);
    EXPECT_EQ(attributes.count("dangling.wmf"), 0u);
    // A FIFO is no file to open, and asking must not hang.
    EXPECT_FALSE(FileExists(fs, root + "/pipe.jpg"));
    EXPECT_FALSE(FileExists(fs, root + "/folder.bmp"));
    EXPECT_TRUE(FileExists(fs, root + "/b.JPG"));
    EXPECT_TRUE(FolderExists(fs, root + "/folder.bmp"));
    EXPECT_FALSE(FolderExists(fs, root + "/b.JPG"));
}

TEST_F(TempFolder, FilesAreReplacedWholeAndFoldersMadeWithParents)
{
    const std::string file = touch("settings.ini", "old");
    ::chmod(file.c_str(), 0600);
    ASSERT_TRUE(fs.replaceFile(file, "new"));
    const auto read = fs.readFile(file, 100);
    EXPECT_EQ(read.status, ReadStatus::Ok);
    EXPECT_EQ(read.bytes, "new");
    struct stat st;
    ::stat(file.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(fs.readFile(file, 2).status, ReadStatus::Failed);
    EXPECT_EQ(fs.readFile(root + "/none", 100).status, ReadStatus::Missing);

    EXPECT_TRUE(fs.makeFolders(root + "/x/y/z"));
    EXPECT_TRUE(fs.replaceFile(root + "/x/y/z/f", ""));
    EXPECT_FALSE(fs.replaceFile(root + "/missing/f", "a"));
}

TEST(SettingsLocation, PerUserFolderFollowsXdgConfigHome)
{
    ::setenv("XDG_CONFIG_HOME", "/tmp/velmora-xdg", 1);
    EXPECT_EQ(posix::settingsLocation().perUserFolder, "/tmp/velmora-xdg/velmora");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(posix::settingsLocation().perUserFolder, "/home/someone/.config/velmora");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(posix::settingsLocation("/etc/v.ini").explicitFile, "/etc/v.ini");
}

TEST_F(TempFolder, ExplicitSettingsFileRoundTripsThroughIconv)
{
    const std::string file = root + "/設定.ini";
    posix::IconvCodec codec;
    Settings settings;
    settings.FilterMode = 0;
    const std::string folder = root + "/写真";
    ::mkdir(folder.c_str(), 0755);
    touch("写真/a.jpg");
    const auto result = SaveSettings(settings, {folder, "4"}, posix::settingsLocation(file), fs, codec);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_NE(fs.readFile(file, 4096).bytes.find(*codec.toCp932("画像のﾌｫﾙﾀﾞ=" + folder)), std::string::npos);

    Settings reread;
    Catalogue catalogue;
    LoadSettings(posix::settingsLocation(file), fs, codec, reread, catalogue);
    EXPECT_EQ(reread.FilterMode, 0);
    EXPECT_EQ(reread.BgmRepeat, 4);
    EXPECT_EQ(reread.ImageFolder, folder);
    EXPECT_EQ(catalogue.ImageCount, 1);
}

// A settings file of a few megabytes (long comments, say) is read whole; one past the limit
// is reported and, like any file that cannot be read, never replaced.
TEST_F(TempFolder, LargeSettingsFilesAreReadAndTooLargeOnesReportedAndKept)
{
    posix::IconvCodec codec;
    const std::string file = root + "/large.ini";
    ::mkdir((root + "/pictures").c_str(), 0755);
    touch("pictures/a.jpg");
    std::string text;
    while (text.size() < std::size_t(5) << 20)
        text += "; " + std::string(78, 'x') + "\r\n";
    text += "[Section]\r\n" + *codec.toCp932("画像のﾌｫﾙﾀﾞ=" + root + "/pictures") + "\r\n";
    std::ofstream(file, std::ios::binary) << text;
    Settings settings;
    Catalogue catalogue;
    EXPECT_EQ(LoadSettings(posix::settingsLocation(file), fs, codec, settings, catalogue), "");
    EXPECT_EQ(settings.ImageFolder, root + "/pictures");
    EXPECT_EQ(catalogue.ImageCount, 1);

    ::truncate(file.c_str(), off_t(SettingsFileLimit) + 1);
    const std::string problem = LoadSettings(posix::settingsLocation(file), fs, codec, settings, catalogue);
    EXPECT_NE(problem.find("larger than 16 MB"), std::string::npos) << problem;
    EXPECT_EQ(settings.ImageFolder, "");
    EXPECT_FALSE(SaveSettings(settings, {"", "0"}, posix::settingsLocation(file), fs, codec).ok);
    struct stat st;
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, off_t(SettingsFileLimit) + 1);
}
