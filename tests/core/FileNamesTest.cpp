#include <gtest/gtest.h>
#include <sys/stat.h>

#include "OutputTestFiles.h"
#include "base/Exists.h"
#include "base/ReplaceFile.h"
#include "output/SaveName.h"
#include "window/rules/SaveCheck.h"

TEST(SaveCheck, OnlyAFileThisSaveWroteCounts) {
    ScratchDir dir;
    const std::string path = dir / "out.png";
    std::string error;
    const tsy::FileStamp none = tsy::StampOf(path);
    EXPECT_FALSE(none.exists);
    EXPECT_FALSE(tsy::WrittenSince(none, path));  // nothing written

    WriteAll(path, "old picture");
    const tsy::FileStamp stale = tsy::StampOf(path);
    EXPECT_FALSE(tsy::WrittenSince(stale, path));  // left from before
    EXPECT_TRUE(tsy::WrittenSince(none, path));

    ASSERT_TRUE(tsy::ReplaceFileWith(path, "new!", 4, error)) << error;
    EXPECT_TRUE(tsy::WrittenSince(stale, path));  // replaced by this save

    const tsy::FileStamp written = tsy::StampOf(path);
    ASSERT_TRUE(tsy::ReplaceFileWith(path, "", 0, error));
    EXPECT_FALSE(tsy::WrittenSince(written, path));  // empty is no picture

    std::filesystem::create_directory(dir / "folder.png");
    EXPECT_FALSE(tsy::WrittenSince(none, dir / "folder.png"));
}

// Until the commit the folder shows nothing of the new file; a commit that
// may not replace keeps what is there.
TEST(FileReplacer, NothingIsNamedBeforeTheCommit) {
    ScratchDir dir;
    const std::string path = dir / "t.jpg";
    for (const bool replace : {false, true}) {
        WriteAll(path, "old");
        tsy::FileReplacer file(path);
        std::string error;
        ASSERT_TRUE(file.Open(error) && file.Write("new", 3, error)) << error;
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"t.jpg"});
        EXPECT_EQ(file.Commit(error, replace), replace) << error;
        const auto text = ReadAll(path);
        EXPECT_EQ(std::string(text.begin(), text.end()), replace ? "new" : "old");
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"t.jpg"});
    }
}

TEST(FileReplacer, RewritesOnlyWhatIsWritten) {
    ScratchDir dir;
    tsy::FileReplacer file(dir / "t.mpo");
    std::string error;
    ASSERT_TRUE(file.Open(error) && file.Write("abcdef", 6, error)) << error;
    EXPECT_FALSE(file.Rewrite(5, "XY", 2, error));
    EXPECT_TRUE(file.Rewrite(2, "XY", 2, error) && file.Write("g", 1, error)) << error;
    EXPECT_EQ(file.size(), 7u);
    ASSERT_TRUE(file.Commit(error)) << error;
    const auto text = ReadAll(dir / "t.mpo");
    EXPECT_EQ(std::string(text.begin(), text.end()), "abXYefg");
}

TEST(Exists, LengthOfAReadableFileElseMinusOne) {
    ScratchDir dir;
    for (const char* name : {"empty.jpg", ".hidden.jpg", "locked.jpg"})
        WriteAll(dir / name, *name == 'e' ? "" : "0123456789");
    WriteAll(dir / "a.jpg", std::string(1234, 'x'));
    ::chmod((dir / "locked.jpg").c_str(), 0);
    ::mkdir((dir / "folder.jpg").c_str(), 0700);
    const std::pair<std::string, std::int64_t> cases[] = {
        {"a.jpg", 1234},     {"empty.jpg", 0},   {"missing.jpg", -1}, {"", -1},
        {".hidden.jpg", -1}, {"locked.jpg", -1}, {"folder.jpg", -1},  {"../../dev/null", -1}};
    for (const auto& [name, length] : cases) {
        if (geteuid() == 0 && name == "locked.jpg") continue;  // root reads every file
        EXPECT_EQ(tsy::Exists(dir / name), length) << name;
    }
    EXPECT_EQ(tsy::Exists(""), -1);
}

TEST(SaveName, Proposals) {
    EXPECT_EQ(tsy::ProposedSaveName("/pics/IMG_0042.JPG", "-RC", ".png"),
              "/pics/IMG_0042_3D-RC.png");
    EXPECT_EQ(tsy::ProposedSaveName("/x/a.b.bmp", "-GM", ".jpg"), "/x/a.b_3D-GM.jpg");
    EXPECT_EQ(tsy::ProposedSaveName("/x/noext", "-RC", ".png"), "");
    EXPECT_EQ(tsy::ProposedSaveName("/my.dir/file", "-RC", ".png"), "");  // the dot is the folder's
    EXPECT_EQ(tsy::ProposedSaveName("/x/.hidden", "-RC", ".png"), "");
    EXPECT_EQ(tsy::ProposedSaveName("", "-RC", ".png"), "");
    EXPECT_EQ(tsy::ProposedSaveName("pair.mpo", "-RC", ".bmp"), "pair_3D-RC.bmp");
}

TEST(SaveName, FileTypeIsTheLastFourCharactersInLowerCase) {
    EXPECT_EQ(tsy::FileTypeOf("/a/B.PNG"), ".png");
    EXPECT_EQ(tsy::FileTypeOf("x.jpeg"), "jpeg");
    EXPECT_EQ(tsy::FileTypeOf("png"), "png");
    EXPECT_EQ(tsy::FileTypeOf(""), "");
}
