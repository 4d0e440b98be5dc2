// Going on where the last show stopped: starts in a row over one state file, pictures added and
// removed between them, damaged files, and two processes writing at once.
#include "startup/catalogue.h"
#include "startup/resume_keeper.h"
#include "startup/resume_state.h"
#include "startup/show_sequence.h"

#include "fake_file_system.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <thread>

#ifndef _WIN32
#include "platform/linux/startup_linux.h"
#endif

using namespace velmora;
using velmora::testing::FakeFileSystem;

namespace {

constexpr const char* StateFile = "S:\\Velmora\\state";

class Resume : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs_->addFolder("P:\\pics");
        settings_.ImageFolder = "P:\\pics";
        settings_.ImageOrder = 1;
    }
    void addPictures(int from, int to)
    {
        for (int i = from; i <= to; ++i)
            fs_->addFile("P:\\pics\\" + name(i));
    }
    static std::string name(int i)
    {
        const std::string digits = std::to_string(i);
        return std::string(3 - digits.size(), '0') + digits + ".jpg";
    }

    // One start of the show that puts `count` pictures on the screen; their names.
    std::vector<std::string> start(int count)
    {
        Catalogue catalogue;
        BuildImageList(settings_.ImageFolder, settings_.ImageKinds, *fs_, catalogue);
        MakeShowOrder(settings_.ImageOrder, random_, catalogue);
        ResumeKeeper keeper(fs_, StateFile);
        ShowSequence sequence(settings_, random_, keeper);
        sequence.begin(catalogue);
        std::vector<std::string> names;
        for (int position = 1; position <= count; ++position) {
            names.emplace_back(pictureName(catalogue.ImageList[std::size_t(sequence.pictureAt(position))]));
            sequence.shown(position);
        }
        return names;
    }

    std::shared_ptr<FakeFileSystem> fs_ = std::make_shared<FakeFileSystem>();
    Settings settings_;
    Random random_{7};
};

TEST_F(Resume, SequentialGoesOnAfterTheLastPictureShownAndWrapsAtTheEnd)
{
    settings_.ImageOrder = 0;
    addPictures(1, 5);
    EXPECT_EQ(start(2), (std::vector<std::string>{"001.jpg", "002.jpg"}));
    EXPECT_EQ(start(4), (std::vector<std::string>{"003.jpg", "004.jpg", "005.jpg", "001.jpg"}));
    // The last one shown is gone and one sorting before the place is new: the next name on.
    fs_->removeFile("P:\\pics\\001.jpg");
    fs_->addFile("P:\\pics\\000.jpg");
    EXPECT_EQ(start(2), (std::vector<std::string>{"002.jpg", "003.jpg"}));

    // Another kind selection has a place of its own.
    settings_.ImageKinds = {0, 0, 1, 0};
    EXPECT_EQ(start(1), (std::vector<std::string>{"000.jpg"}));
}

// Thirty short starts over 200 pictures: each round shows every picture exactly once, and a new
// round never begins with the picture the last one ended on.
TEST_F(Resume, RandomShowsEveryPictureOnceAcrossShortStartsBeforeAnyRepeats)
{
    addPictures(1, 200);
    std::vector<std::string> shown;
    for (int s = 0; s < 30; ++s) {
        const std::vector<std::string> names = start(5 + int(random_.below(21)));
        shown.insert(shown.end(), names.begin(), names.end());
    }
    ASSERT_GT(shown.size(), 400u);
    for (std::size_t round = 0; (round + 1) * 200 <= shown.size(); ++round) {
        const std::set<std::string> distinct(shown.begin() + std::ptrdiff_t(round * 200),
                                             shown.begin() + std::ptrdiff_t(round * 200 + 200));
        EXPECT_EQ(distinct.size(), 200u) << "round " << round;
    }
    for (std::size_t i = 1; i < shown.size(); ++i)
        EXPECT_NE(shown[i], shown[i - 1]) << i;
}

TEST_F(Resume, PicturesAddedOrRemovedBetweenStartsAreFoundOrSkipped)
{
    addPictures(1, 20);
    const std::vector<std::string> first = start(8);
    // Two pictures shown and two still to come go; five are added.
    std::set<std::string> gone{first[0], first[5]};
    for (int i = 1; i <= 20 && gone.size() < 4; ++i)
        if (std::find(first.begin(), first.end(), name(i)) == first.end())
            gone.insert(name(i));
    for (const std::string& picture : gone)
        fs_->removeFile("P:\\pics\\" + picture);
    addPictures(21, 25);

    // The rest of the round: everything not shown yet, the added pictures among it, once each.
    const std::vector<std::string> rest = start(15);
    const std::set<std::string> restSet(rest.begin(), rest.end());
    EXPECT_EQ(restSet.size(), 15u);
    for (int i = 1; i <= 25; ++i) {
        const bool shownBefore = std::find(first.begin(), first.end(), name(i)) != first.end();
        EXPECT_EQ(restSet.count(name(i)) == 1, !gone.count(name(i)) && !shownBefore) << name(i);
    }
    // The added pictures are spread among the rest, not all at its end.
    EXPECT_NE(std::set<std::string>(rest.end() - 5, rest.end()),
              (std::set<std::string>{name(21), name(22), name(23), name(24), name(25)}));
}

TEST_F(Resume, ADamagedForeignOrUnreadableStateFileIsIgnoredAndReplaced)
{
    ResumeState state;
    state.put({"P:\\pics", {1, 1, 1, 1}, 1, {"a\\b.jpg", "line\nbreak.jpg", "c.jpg"}, 2});
    state.put({"/home/me", {0, 0, 1, 0}, 0, {"x.jpg"}, 1});
    const std::string bytes = formatResumeState(state);
    const auto again = parseResumeState(bytes);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->entries[1].names, state.entries[1].names);
    EXPECT_EQ(formatResumeState(*again), bytes);
    // Cut anywhere, or one byte changed in a number or a keyword: never read as a state.
    for (std::size_t cut = 0; cut < bytes.size(); ++cut)
        EXPECT_FALSE(parseResumeState(bytes.substr(0, cut))) << cut;
    for (const std::size_t at : {bytes.find("next") + 5, bytes.find("names") + 6, bytes.find("end") + 4}) {
        std::string changed = bytes;
        changed[at] = '9';
        EXPECT_FALSE(parseResumeState(changed)) << at;
    }
    EXPECT_FALSE(parseResumeState("[Section]\r\nkey=1\r\n"));
    // A file written before the fifth kind (four flags) is read with the fifth kind on.
    std::string older = bytes.substr(0, bytes.rfind("end "));
    older.replace(older.find("kinds 0 0 1 0 0\n"), 16, "kinds 0 0 1 0\n");
    older += "end " + std::to_string(older.size()) + "\n";
    const auto fourFlags = parseResumeState(older);
    ASSERT_TRUE(fourFlags);
    EXPECT_NE(fourFlags->find("/home/me", {0, 0, 1, 0, 1}), nullptr);

    addPictures(1, 6);
    fs_->addFolder("S:\\Velmora");
    for (const std::string& damage : {bytes.substr(0, bytes.size() / 2), std::string("\0\xff garbage", 10)}) {
        fs_->addFile(StateFile, damage);
        EXPECT_EQ(start(1).size(), 1u);
        EXPECT_TRUE(parseResumeState(*fs_->contents(StateFile))) << "replaced by a whole state";
    }
    // An unreadable file is never waited on nor lost over: the next write replaces it.
    fs_->unreadable.insert(StateFile);
    EXPECT_EQ(start(2).size(), 2u);
}

#ifndef _WIN32
// Two processes (here two keepers on the real file system) writing their selections at once while
// a third reads: every read is a whole state, and each selection keeps its own last place.
TEST(ResumeFile, TwoWritersAtOnceNeverDamageTheFile)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("velmora-resume-" + std::to_string(getpid()));
    const std::string file = (dir / "velmora" / "state").string();
    auto files = std::make_shared<posix::PosixFileSystem>();
    std::atomic<bool> writing{true};
    int damaged = 0;
    std::thread reader([&] {
        posix::PosixFileSystem own;
        while (writing) {
            const FileRead read = own.readFile(file, ResumeFileLimit);
            damaged += read.status == ReadStatus::Ok && !parseResumeState(read.bytes);
        }
    });
    {
        ResumeKeeper a(files, file);
        ResumeKeeper b(files, file);
        std::vector<std::string> names(300);
        for (std::size_t i = 0; i < names.size(); ++i)
            names[i] = "picture " + std::to_string(i) + ".jpg";
        for (std::size_t i = 1; i <= names.size(); ++i) {
            a.remember({"/a", {1, 1, 1, 1}, 1, names, i});
            b.remember({"/b", {1, 1, 1, 1}, 1, names, i});
            if (i % 50 == 0)
                std::this_thread::yield();
        }
        ASSERT_TRUE(a.flush(5000) && b.flush(5000));
        // One more each, in turn: both places stay, the newest of each.
        a.remember({"/a", {1, 1, 1, 1}, 1, names, 7});
        ASSERT_TRUE(a.flush(5000));
        b.remember({"/b", {1, 1, 1, 1}, 1, names, 9});
        ASSERT_TRUE(b.flush(5000));
    }
    writing = false;
    reader.join();
    EXPECT_EQ(damaged, 0);
    const auto state = parseResumeState(posix::PosixFileSystem().readFile(file, ResumeFileLimit).bytes);
    ASSERT_TRUE(state);
    ASSERT_TRUE(state->find("/a", {1, 1, 1, 1}) && state->find("/b", {1, 1, 1, 1}));
    EXPECT_EQ(state->find("/a", {1, 1, 1, 1})->next, 7u);
    EXPECT_EQ(state->find("/b", {1, 1, 1, 1})->next, 9u);
    std::filesystem::remove_all(dir);
}
#endif

} // namespace
