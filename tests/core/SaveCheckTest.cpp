#include <gtest/gtest.h>

#include <filesystem>

#include "OutputTestFiles.h"
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
