#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/ReplaceFile.h"
#include "output/SaveCheck.h"

namespace fs = std::filesystem;

TEST(SaveCheck, OnlyAFileThisSaveWroteCounts) {
    char tmpl[] = "/tmp/tsy-savecheck-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    const std::string path = dir + "/out.png";
    std::string error;

    const tsy::FileStamp none = tsy::StampOf(path);
    EXPECT_FALSE(none.exists);
    EXPECT_FALSE(tsy::WrittenSince(none, path));  // nothing written

    std::ofstream(path) << "old picture";
    const tsy::FileStamp stale = tsy::StampOf(path);
    EXPECT_FALSE(tsy::WrittenSince(stale, path));  // left from before
    EXPECT_TRUE(tsy::WrittenSince(none, path));

    ASSERT_TRUE(tsy::ReplaceFileWith(path, "new!", 4, error)) << error;
    EXPECT_TRUE(tsy::WrittenSince(stale, path));  // replaced by this save

    const tsy::FileStamp written = tsy::StampOf(path);
    ASSERT_TRUE(tsy::ReplaceFileWith(path, "", 0, error));
    EXPECT_FALSE(tsy::WrittenSince(written, path));  // empty is no picture

    fs::create_directory(dir + "/folder.png");
    EXPECT_FALSE(tsy::WrittenSince(none, dir + "/folder.png"));
    fs::remove_all(dir);
}

// Until the commit the folder shows nothing of the new file; a commit that
// may not replace keeps what is there.
TEST(FileReplacer, NothingIsNamedBeforeTheCommit) {
    char tmpl[] = "/tmp/tsy-replace-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl, path = dir + "/t.jpg";
    auto names = [&] {
        std::vector<std::string> n;
        for (const auto& e : fs::directory_iterator(dir))
            n.push_back(e.path().filename().string());
        return n;
    };
    for (const bool replace : {false, true}) {
        std::ofstream(path) << "old";
        tsy::FileReplacer file(path);
        std::string error;
        ASSERT_TRUE(file.Open(error) && file.Write("new", 3, error)) << error;
        EXPECT_EQ(names(), std::vector<std::string>{"t.jpg"});
        EXPECT_EQ(file.Commit(error, replace), replace) << error;
        std::ifstream in(path);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), replace ? "new" : "old");
        EXPECT_EQ(names(), std::vector<std::string>{"t.jpg"});
    }
    fs::remove_all(dir);
}
