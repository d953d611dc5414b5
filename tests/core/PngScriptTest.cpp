#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>

#include "OutputTestFiles.h"
#include "output/PngScript.h"

namespace {

TEST(PngScript, QuotingSurvivesTheShell) {
    // /bin/sh must read each quoted word back as the word itself.
    for (const std::string s :
         {"plain", "a b", "it's", "\"q\"", "$HOME", "`id`", "a\\b", "''", "x\ny"}) {
        ::setenv("WORD", s.c_str(), 1);
        EXPECT_EQ(std::system(("[ " + tsy::ShellQuote(s) + " = \"$WORD\" ]").c_str()), 0) << s;
    }
    EXPECT_EQ(tsy::PngSavePathsIn("/tmp/d/").image, tsy::PngSavePathsIn("/tmp/d").image);
}

// Writes the three files of a PNG save into dir, with a stand-in optimiser that
// copies its input to its output only when called with the expected options.
tsy::PngSavePaths Prepare(const std::string& dir, const std::string& output) {
    const tsy::PngSavePaths p = tsy::PngSavePathsIn(dir);
    WriteAll(p.optimiser,
             "#!/bin/sh\n[ \"$3 $4 $5\" = '/S2 /F5 /Y' ] && [ $# -eq 5 ] && cp \"$1\" \"$2\"\n");
    ::chmod(p.optimiser.c_str(), 0755);
    WriteAll(p.image, "pixels");
    WriteAll(p.script, tsy::PngSaveScript(p, output));
    return p;
}

int RunBounded(const std::string& script) {
    // timeout only guards the test run against a hanging script.
    return std::system(("timeout 60 /bin/sh " + tsy::ShellQuote(script)).c_str());
}

TEST(PngScript, RunsTheOptimiserThenRemovesAllThreeFiles) {
    ScratchDir root;
    const std::string dir = root / "tmp dir 'q' \"d\" $HOME `x`";
    ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
    const std::string output = root / "my $out 'x'.png";
    const tsy::PngSavePaths p = Prepare(dir, output);
    ASSERT_EQ(RunBounded(p.script), 0);
    const auto made = ReadAll(output);
    EXPECT_EQ(std::string(made.begin(), made.end()), "pixels");
    EXPECT_TRUE(std::filesystem::is_empty(dir));
}

TEST(PngScript, GivesUpOnAnOptimiserThatCannotBeDeleted) {
    ScratchDir root;
    const tsy::PngSavePaths p = Prepare(root.path(), root / "out.png");
    // A non-empty directory in the optimiser's place survives rm -f.
    ::unlink(p.optimiser.c_str());
    ASSERT_EQ(::mkdir(p.optimiser.c_str(), 0755), 0);
    WriteAll(p.optimiser + "/f", "x");
    const int status = RunBounded(p.script);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 124);  // ended by itself, not by the guard
    EXPECT_EQ(root.Names(), (std::vector<std::string>{p.optimiser.substr(root.path().size() + 1)}));
}

}  // namespace
