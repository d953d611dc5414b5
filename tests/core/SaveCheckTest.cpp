#include <gtest/gtest.h>
#include <sys/stat.h>

#include "OutputTestFiles.h"
#include "base/Exists.h"
#include "base/ReplaceFile.h"
#include "output/SaveCheck.h"

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

TEST(Exists, LengthOfAReadableFileElseMinusOne) {
    ScratchDir dir;
    WriteAll(dir / "a.jpg", std::string(1234, 'x'));
    WriteAll(dir / "empty.jpg", "");
    WriteAll(dir / ".hidden.jpg", "0123456789");
    WriteAll(dir / "locked.jpg", "0123456789");
    ::chmod((dir / "locked.jpg").c_str(), 0);
    const std::pair<std::string, std::int64_t> cases[] = {{dir / "a.jpg", 1234},
                                                          {dir / "empty.jpg", 0},
                                                          {dir / "missing.jpg", -1},
                                                          {dir.path(), -1},
                                                          {dir / "", -1},
                                                          {dir / ".hidden.jpg", -1},
                                                          {"", -1},
                                                          {"/dev/null", -1},
                                                          {dir / "locked.jpg", -1}};
    for (const auto& [path, length] : cases) {
        if (geteuid() == 0 && path == dir / "locked.jpg") continue;  // root reads every file
        EXPECT_EQ(tsy::Exists(path), length) << path;
    }
}
