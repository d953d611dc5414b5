#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "OutputTestFiles.h"
#include "base/SysTempDir.h"

namespace fs = std::filesystem;

class SysTempDirTest : public ::testing::Test {
protected:
    void SetUp() override { Use(nullptr, nullptr); }
    void TearDown() override { tsy::detail::ResetSysTempDir(); }
    // Sets TEMP and TMP (null: unset) and forgets the earlier answer.
    static void Use(const char* temp, const char* tmp) {
        temp ? setenv("TEMP", temp, 1) : unsetenv("TEMP");
        tmp ? setenv("TMP", tmp, 1) : unsetenv("TMP");
        tsy::detail::ResetSysTempDir();
    }
    // Owned by us, a directory, not a link, closed to everybody else.
    static bool Private(const std::string& path) {
        struct stat st {};
        return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
               (st.st_mode & 0777) == 0700;
    }
    ScratchDir scratch{"-temp"};
    const std::string dir = scratch.path(), mine = dir + "/tessaly-" + std::to_string(geteuid());
};

TEST_F(SysTempDirTest, TempThenTmpWithSlashAndFirstAnswerKept) {
    chmod(dir.c_str(), 0700);
    Use(dir.c_str(), "/nowhere");
    EXPECT_EQ(tsy::SysTempDir(), dir + "/");
    setenv("TEMP", "/elsewhere", 1);  // the first answer stands
    EXPECT_EQ(tsy::SysTempDir(), dir + "/");

    Use("", (dir + "/sub/").c_str());  // made when missing
    EXPECT_EQ(tsy::SysTempDir(), dir + "/sub/");
    EXPECT_TRUE(Private(dir + "/sub"));

    Use(nullptr, nullptr);
    const std::string last = tsy::SysTempDir();
    EXPECT_TRUE(last.starts_with("/tmp/tessaly-" + std::to_string(geteuid())) && Private(last))
        << last;
}

TEST_F(SysTempDirTest, SharedDirectoryGetsAPrivateFolder) {
    for (const mode_t shared : {01777, 0777, 0775, 0700}) {
        chmod(dir.c_str(), shared);
        Use(dir.c_str(), nullptr);
        const std::string expected = shared == 0700 ? dir : mine;
        EXPECT_EQ(tsy::SysTempDir(), expected + "/") << shared;
        EXPECT_TRUE(Private(expected));
        chmod(mine.c_str(), 0755);  // ours but too open: closed again
    }
}

TEST_F(SysTempDirTest, SquattedNamesAreSkipped) {
    chmod(dir.c_str(), 01777);
    Use(dir.c_str(), nullptr);
    const std::string lure = dir + "/lure";
    ASSERT_EQ(mkdir(lure.c_str(), 0777), 0);
    ASSERT_EQ(chmod(lure.c_str(), 0777), 0);
    ASSERT_EQ(symlink(lure.c_str(), mine.c_str()), 0);
    std::string expected = mine + "-1";
    if (geteuid() == 0) {  // only root can plant a folder owned by someone else
        ASSERT_EQ(mkdir(expected.c_str(), 0700), 0);
        ASSERT_EQ(chown(expected.c_str(), 4242, 4242), 0);
        expected = mine + "-2";
    }
    EXPECT_EQ(tsy::SysTempDir(), expected + "/");
    EXPECT_TRUE(Private(expected));
    EXPECT_EQ(fs::status(lure).permissions(), fs::perms::all);  // untouched
    EXPECT_TRUE(fs::is_empty(lure));
}

TEST_F(SysTempDirTest, WriteFileNoFollowIsAllOrNothing) {
    const std::string path = dir + "/StereoR.jpg";
    std::string error;
    const std::vector<std::uint8_t> bytes(5000, 0xAB);
    ASSERT_TRUE(tsy::WriteFileNoFollow(path, bytes, error)) << error;
    ASSERT_TRUE(tsy::WriteFileNoFollow(path, std::vector<std::uint8_t>(10, 1), error));
    EXPECT_EQ(fs::file_size(path), 10u);
    EXPECT_EQ(fs::status(path).permissions() & (fs::perms::group_all | fs::perms::others_all),
              fs::perms::none);

    const std::string target = dir + "/target";
    WriteAll(target, "keep");
    ASSERT_EQ(symlink(target.c_str(), (dir + "/link.jpg").c_str()), 0);
    EXPECT_FALSE(tsy::WriteFileNoFollow(dir + "/link.jpg", bytes, error));
    EXPECT_NE(error.find("symbolic link"), std::string::npos) << error;
    EXPECT_EQ(fs::file_size(target), 4u);
    EXPECT_FALSE(tsy::WriteFileNoFollow(dir + "/missing/x.jpg", bytes, error));

    // A write cut short by the file size limit leaves no file behind.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto previous = signal(SIGXFSZ, SIG_IGN);
    const rlimit small{1000, old.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    const bool written = tsy::WriteFileNoFollow(dir + "/big.jpg", bytes, error);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 3);  // StereoR, link, target
}
