#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/Exists.h"

namespace fs = std::filesystem;

class ExistsTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tsy-exists-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Write(const std::string& name, std::size_t n) {
        const std::string p = dir + "/" + name;
        std::ofstream(p, std::ios::binary) << std::string(n, 'x');
        return p;
    }
    std::string dir;
};

TEST_F(ExistsTest, LengthOrMinusOne) {
    EXPECT_EQ(tsy::Exists(Write("a.jpg", 1234)), 1234);
    EXPECT_EQ(tsy::Exists(Write("empty.jpg", 0)), 0);
    EXPECT_EQ(tsy::Exists(dir + "/missing.jpg"), -1);
    EXPECT_EQ(tsy::Exists(dir), -1);
    EXPECT_EQ(tsy::Exists(dir + "/"), -1);
    EXPECT_EQ(tsy::Exists(Write(".hidden.jpg", 10)), -1);
    EXPECT_EQ(tsy::Exists(""), -1);
    EXPECT_EQ(tsy::Exists("/dev/null"), -1);
}

TEST_F(ExistsTest, UnreadableFileIsNotUsable) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    const std::string p = Write("locked.jpg", 10);
    chmod(p.c_str(), 0);
    EXPECT_EQ(tsy::Exists(p), -1);
}
