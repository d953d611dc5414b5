#include <gtest/gtest.h>
#include <sys/stat.h>

#include "OutputTestFiles.h"
#include "base/Exists.h"

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
