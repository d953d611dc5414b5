#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include <QString>
#include <array>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <sstream>

#include "OutputTestFiles.h"
#include "TestJpeg.h"
#include "TestMpo.h"
#include "TestStereoScene.h"
#include "batch/BatchConverter.h"
#include "output/BmpWriter.h"
#include "platform/PictureLoader.h"

using namespace tsy;
using Bytes = std::vector<std::uint8_t>;
using Rgb = std::array<int, 3>;
using View = std::function<Rgb(int x, int y)>;  // a view's colour at column x, row y
using Args = std::vector<std::string>;

namespace {

// Every channel tells the column and each view has its own range, so a result
// pixel says from which view and column each of its channels came.
Rgb ViewA(int x, int y) {
    return {10 + x, 20 + x, 100 + y};
}
Rgb ViewB(int x, int y) {
    return {130 + x, 140 + x, 180 + y};
}

void WriteBmp(const std::string& path, int w, int h, const View& view) {
    PictureBuffer b;
    std::uint8_t* p = b.assign(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x, p += 4) {
            const Rgb c = view(x, y);
            const std::uint8_t bgrx[4] = {std::uint8_t(c[2]), std::uint8_t(c[1]),
                                          std::uint8_t(c[0]), 0xFF};
            std::memcpy(p, bgrx, 4);
        }
    std::string error;
    ASSERT_TRUE(SaveBmp(b, path, error)) << error;
}

void WriteBytes(const std::string& path, const Bytes& b) {
    WriteAll(path, {b.begin(), b.end()});
}

std::set<std::string> NamesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

// The full-colour red/cyan result as it must be: red from image 1 at column
// x - dx/2, green and blue from image 2 at x + dx/2 (rows likewise), 0 where
// a view has no pixel there.
void ExpectAnaglyph(const std::string& path, int w, int h, const View& image1, const View& image2,
                    int dx = 0, int dy = 0, int tolerance = 0) {
    PictureBuffer out;
    QString error;
    ASSERT_TRUE(LoadPicture(QString::fromStdString(path), out, error)) << path;
    ASSERT_EQ(out.width(), w);
    ASSERT_EQ(out.height(), h);
    auto in = [&](int x, int y) { return x >= 0 && x < w && y >= 0 && y < h; };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int lx = x - dx / 2, ly = y - dy / 2, rx = x + dx / 2, ry = y + dy / 2;
            const Rgb want = {in(lx, ly) ? image1(lx, ly)[0] : 0,
                              in(rx, ry) ? image2(rx, ry)[1] : 0,
                              in(rx, ry) ? image2(rx, ry)[2] : 0};
            const std::uint32_t p = out.pixel(x, y);
            for (int c = 0; c < 3; ++c)
                ASSERT_NEAR(int(p >> (16 - 8 * c) & 0xFF), want[c], tolerance)
                    << path << " channel " << c << " at " << x << "," << y;
        }
}

Args Words(const std::string& line) {
    Args args;
    std::istringstream words(line);
    for (std::string w; words >> w;)
        args.push_back(w);
    return args;
}

BatchOptions Parse(const Args& args) {
    BatchOptions o;
    std::string message;
    EXPECT_EQ(ParseBatchArguments(args, o, message), BatchCommand::Run) << message;
    return o;
}

std::string Convert(const Args& args, bool expectOk = true) {
    BatchConverter c(Parse(args));
    std::ostringstream log;
    EXPECT_EQ(c.Run(log), expectOk) << log.str();
    return log.str();
}

Bytes Mpo(int seed = 1, bool indexed = true) {
    return test::JoinAsMpo(test::MakeJpeg(48, 32, seed), test::MakeJpeg(48, 32, seed + 4), indexed);
}

}  // namespace

TEST(BatchArguments, EveryOptionAndTheWindowsDefaults) {
    const BatchOptions d = Parse({"a.mpo"});
    EXPECT_EQ(d.method, 2);  // full colour, as the window starts
    EXPECT_EQ(d.glasses, 0);
    EXPECT_EQ(d.quality, 95);
    EXPECT_EQ(d.format, "jpg");
    EXPECT_TRUE(d.stretch && !d.swap && !d.sideBySide && !d.overwrite);

    const BatchOptions o = Parse(
        Words("--method optimized --glasses=green-magenta --brightness -128 --dx -12 --dy=+3 "
              "--swap --sbs --no-stretch --format png --quality 1 --out o --jobs=3 --overwrite "
              "-- --odd.mpo"));
    EXPECT_EQ(std::tie(o.method, o.glasses, o.brightness, o.dx, o.dy, o.quality, o.jobs),
              std::make_tuple(3, 1, -128, -12, 3, 1, 3));
    EXPECT_TRUE(o.swap && o.sideBySide && o.overwrite && !o.stretch);
    EXPECT_EQ(o.format, "png");
    EXPECT_EQ(o.outDir, "o");
    EXPECT_EQ(o.files, Args{"--odd.mpo"});
    EXPECT_EQ(Parse({"--method", "gray", "x"}).method, 0);
    EXPECT_EQ(Parse({"--method", "half", "--right", "r.jpg", "x"}).right, "r.jpg");
}

TEST(BatchArguments, UsageErrorsAreNamed) {
    for (const char* line :
         {"", "--frobnicate a.mpo", "a.mpo --quality", "--quality 0 a.mpo", "--quality 101 a.mpo",
          "--quality 9x a.mpo", "--brightness 129 a.mpo", "--dx 40000 a.mpo",
          "--method colour a.mpo", "--glasses blue a.mpo", "--format gif a.mpo", "--jobs 0 a.mpo",
          "--right r.jpg a.jpg b.jpg", "--right r.jpg --sbs a.jpg", "--no-stretch a.mpo",
          "--glasses amber-blue --method optimized a.mpo", "--right r.jpg --right s.jpg a.jpg",
          "--overwrite --skip-existing a.mpo"}) {
        BatchOptions o;
        std::string message;
        EXPECT_EQ(ParseBatchArguments(Words(line), o, message), BatchCommand::UsageError) << line;
        EXPECT_FALSE(message.empty());
    }
    BatchOptions o;
    std::string m;
    EXPECT_EQ(ParseBatchArguments({"a.mpo", "--help"}, o, m), BatchCommand::Help);
    EXPECT_EQ(ParseBatchArguments({"--version"}, o, m), BatchCommand::Version);
}

// The help is made from the table the parser reads: every row shows, and a
// flag the help names is one the parser takes.
TEST(BatchArguments, HelpNamesEveryOptionOfTheTable) {
    const std::string help = BatchUsage();
    for (const BatchOption& row : BatchOptionTable()) {
        EXPECT_NE(help.find("  " + (row.alias.empty() ? "" : row.alias + ", ") + row.name),
                  std::string::npos)
            << row.name;
        if (row.takes == BatchOption::Takes::Nothing && row.command == BatchCommand::Run)
            Parse({row.name, "--sbs", "a.jpg"});
    }
}

TEST(BatchNames, AsTheWindowProposesThemBesideOrInTheOutputFolder) {
    const BatchConverter beside(Parse({"x"}));
    EXPECT_EQ(beside.OutputPathFor("/p/IMG_0042.MPO"), "/p/IMG_0042_3D-RC.jpg");
    EXPECT_EQ(beside.OutputPathFor("rel/a.b.jpg"), "rel/a.b_3D-RC.jpg");
    EXPECT_EQ(beside.OutputPathFor("/p.d/scan"), "/p.d/scan_3D-RC.jpg");
    EXPECT_EQ(beside.OutputPathFor("/p/.hidden"), "/p/.hidden_3D-RC.jpg");
    const BatchConverter out(
        Parse({"--out", "/o/", "--glasses", "green-magenta", "--format", "bmp", "x"}));
    EXPECT_EQ(out.OutputPathFor("/p/IMG_0042.MPO"), "/o/IMG_0042_3D-GM.bmp");
    const BatchConverter amber(Parse(Words("--glasses amber-blue --method dubois x")));
    EXPECT_EQ(amber.OutputPathFor("/p/IMG_0042.MPO"), "/p/IMG_0042_3D-AB.jpg");
}

TEST(BatchPixels, PairWithOffsetsTakesEachEyesChannelsFromTheRightColumns) {
    ScratchDir dir("-batch");
    WriteBmp(dir / "l.bmp", 40, 12, ViewA);
    WriteBmp(dir / "r.bmp", 30, 16, ViewB);  // narrower and taller: cut and filled black
    Convert(
        {"--right", dir / "r.bmp", "--dx", "6", "--dy", "-2", "--format", "bmp", dir / "l.bmp"});
    const View cutB = [](int x, int y) { return x < 30 ? ViewB(x, y) : Rgb{0, 0, 0}; };
    ExpectAnaglyph(dir / "l_3D-RC.bmp", 40, 12, ViewA, cutB, 6, -2);
}

TEST(BatchPixels, EveryFormatRoundTrips) {
    ScratchDir dir("-batch");
    WriteBmp(dir / "l.bmp", 40, 12, ViewA);
    WriteBmp(dir / "r.bmp", 40, 12, ViewB);
    for (const std::string format : {"bmp", "png", "jpg"}) {
        Convert({"--right", dir / "r.bmp", "--format", format, dir / "l.bmp"});
        ExpectAnaglyph(dir / ("l_3D-RC." + format), 40, 12, ViewA, ViewB, 0, 0,
                       format == "jpg" ? 6 : 0);
    }
    Convert({"--right", dir / "r.bmp", "--quality", "20", "--out", dir / "q20", dir / "l.bmp"});
    EXPECT_LT(ReadAll(dir / "q20/l_3D-RC.jpg").size(), ReadAll(dir / "l_3D-RC.jpg").size());
}

TEST(BatchPixels, SideBySideSplitsStretchesAndSwapsWithoutNegatingOffsets) {
    ScratchDir dir("-batch");
    WriteBmp(dir / "s.bmp", 80, 12,
             [](int x, int y) { return x < 40 ? ViewA(x, y) : ViewB(x - 40, y); });
    Convert({"--sbs", "--format", "bmp", "--out", dir / "stretch", dir / "s.bmp"});
    ExpectAnaglyph(
        dir / "stretch/s_3D-RC.bmp", 80, 12, [](int x, int y) { return ViewA(x / 2, y); },
        [](int x, int y) { return ViewB(x / 2, y); });
    Convert({"--sbs", "--no-stretch", "--format", "bmp", "--out", dir / "half", dir / "s.bmp"});
    ExpectAnaglyph(dir / "half/s_3D-RC.bmp", 40, 12, ViewA, ViewB);
    Convert({"--sbs", "--no-stretch", "--swap", "--dx", "4", "--dy", "2", "--format", "bmp",
             "--out", dir / "swap", dir / "s.bmp"});
    ExpectAnaglyph(dir / "swap/s_3D-RC.bmp", 40, 12, ViewB, ViewA, 4, 2);
}

TEST(BatchMpo, IndexedAndScannedFilesGiveWhatTheirViewsGiveAsAPair) {
    ScratchDir dir("-batch");
    WriteBytes(dir / "v1.jpg", test::MakeJpeg(48, 32, 1));
    WriteBytes(dir / "v2.jpg", test::MakeJpeg(48, 32, 5));
    WriteBytes(dir / "indexed.mpo", Mpo());
    WriteBytes(dir / "joined.MPO", Mpo(1, false));
    Convert({"--format", "bmp", dir / "indexed.mpo", dir / "joined.MPO"});
    Convert({"--format", "bmp", "--right", dir / "v2.jpg", dir / "v1.jpg"});
    const Bytes pair = ReadAll(dir / "v1_3D-RC.bmp");
    ASSERT_GT(pair.size(), 48u * 32 * 3);
    EXPECT_EQ(ReadAll(dir / "indexed_3D-RC.bmp"), pair);
    EXPECT_EQ(ReadAll(dir / "joined_3D-RC.bmp"), pair);
    // Bottom-up BMP: the last row's first pixel is blue, green, red; red
    // comes from view 1's pattern (seed 1: 10), not view 2's (50).
    EXPECT_NEAR(pair[54 + 2], 10, 4);
}

TEST(BatchMpo, CameraOrientationTurnsBothViewsOfAFileButNotAPair) {
    ScratchDir dir("-batch");
    const Bytes v1 = test::MakeJpeg(48, 32, 1), v2 = test::MakeJpeg(48, 32, 5);
    WriteBytes(dir / "t1.jpg", test::WithOrientation(v1, 6));
    WriteBytes(dir / "t2.jpg", test::WithOrientation(v2, 6));
    WriteBytes(dir / "plain2.jpg", v2);
    WriteBytes(dir / "upright.jpg", test::WithOrientation(v2, 1));
    WriteBytes(dir / "cam.mpo", test::JoinAsMpo(test::WithOrientation(v1, 6), v2));
    WriteBytes(dir / "own.mpo",
               test::JoinAsMpo(test::WithOrientation(v1, 6), test::WithOrientation(v2, 1)));
    Convert({"--format", "bmp", dir / "cam.mpo", dir / "own.mpo"});
    Convert({"--format", "bmp", "--right", dir / "t2.jpg", dir / "t1.jpg"});
    Convert({"--format", "bmp", "--right", dir / "plain2.jpg", "--out", dir / "p", dir / "t1.jpg"});
    Convert(
        {"--format", "bmp", "--right", dir / "upright.jpg", "--out", dir / "u", dir / "t1.jpg"});
    const Bytes turned = ReadAll(dir / "t1_3D-RC.bmp");
    ASSERT_GT(turned.size(), 26u);
    EXPECT_EQ(turned[18] | turned[19] << 8, 32);  // BMP width: upright, 32 x 48
    EXPECT_EQ(turned[22] | turned[23] << 8, 48);
    EXPECT_EQ(ReadAll(dir / "cam_3D-RC.bmp"), turned);
    EXPECT_NE(ReadAll(dir / "p/t1_3D-RC.bmp"), turned);
    EXPECT_EQ(ReadAll(dir / "own_3D-RC.bmp"), ReadAll(dir / "u/t1_3D-RC.bmp"));
}

// A worker keeps its pictures from file to file; files of other sizes after
// it must come out as when converted alone.
TEST(BatchRun, OneOrTwoJobsWriteWhatEachFileGivesAlone) {
    ScratchDir dir("-batch");
    const int sizes[3][2] = {{96, 64}, {40, 80}, {72, 24}};
    Args files;
    for (int i = 0; i < 3; ++i) {
        const auto [w, h] = sizes[i];
        WriteBytes(files.emplace_back(dir / ("f" + std::to_string(i) + ".mpo")),
                   test::JoinAsMpo(test::MakeJpeg(w, h, i), test::MakeJpeg(w, h + 8, i + 3)));
        Convert({"--format", "png", "--out", dir / "alone", files.back()});
    }
    for (const std::string jobs : {"1", "2"}) {
        Args args = {"--format", "png", "--jobs", jobs, "--out", dir / ("j" + jobs)};
        args.insert(args.end(), files.begin(), files.end());
        Convert(args);
    }
    for (const std::string name : {"/f0_3D-RC.png", "/f1_3D-RC.png", "/f2_3D-RC.png"}) {
        EXPECT_FALSE(ReadAll(dir / ("alone" + name)).empty());
        EXPECT_EQ(ReadAll(dir / ("j1" + name)), ReadAll(dir / ("alone" + name))) << name;
        EXPECT_EQ(ReadAll(dir / ("j2" + name)), ReadAll(dir / ("alone" + name))) << name;
    }
}

TEST(BatchRun, ExistingOutputsAreKeptUnlessOverwriteIsGiven) {
    ScratchDir dir("-batch");
    WriteBytes(dir / "a.mpo", Mpo());
    WriteAll(dir / "a_3D-RC.jpg", "keep");
    const std::string log = Convert({dir / "a.mpo"}, false);
    EXPECT_NE(log.find("FAILED  " + (dir / "a.mpo") + ": " + (dir / "a_3D-RC.jpg") + " exists"),
              std::string::npos)
        << log;
    EXPECT_EQ(ReadAll(dir / "a_3D-RC.jpg"), Bytes({'k', 'e', 'e', 'p'}));
    Convert({"--overwrite", dir / "a.mpo"});
    EXPECT_EQ(ReadAll(dir / "a_3D-RC.jpg").at(0), 0xFF);
    EXPECT_EQ(NamesIn(dir.path()), (std::set<std::string>{"a.mpo", "a_3D-RC.jpg"}));
}

TEST(BatchRun, DamagedFilesAreNamedAndSkippedWhileTheOthersGoOn) {
    ScratchDir dir("-batch");
    const Bytes good = Mpo();
    WriteBytes(dir / "good.mpo", good);
    WriteBytes(dir / "cut.mpo", Bytes(good.begin(), good.end() - 20));
    WriteBytes(dir / "noise.mpo", Bytes(5000, 0x5A));
    WriteBytes(dir / "empty.mpo", {});
    WriteBytes(dir / "plain.jpg", test::MakeJpeg(48, 32, 1));
    std::filesystem::create_directory(dir / "again");
    WriteBytes(dir / "again/good.mpo", good);  // the same output name in --out
    const Args names = {"good.mpo",  "cut.mpo",  "noise.mpo",     "empty.mpo",
                        "plain.jpg", "gone.mpo", "again/good.mpo"};
    Args args = {"--out", dir / "out"};
    for (const std::string& n : names)
        args.push_back(dir / n);
    BatchConverter c(Parse(args));
    std::ostringstream log;
    EXPECT_FALSE(c.Run(log));
    ASSERT_EQ(c.outcomes().size(), names.size());
    EXPECT_TRUE(c.outcomes()[0].ok()) << c.outcomes()[0].error;
    for (std::size_t i = 1; i < names.size(); ++i)
        EXPECT_NE(log.str().find("FAILED  " + (dir / names[i]) + ": "), std::string::npos)
            << log.str();
    const char* reasons[] = {"damaged",    "Unsupported",  "empty",
                             "not an MPO", "No such file", "same output"};
    for (std::size_t i = 1; i < names.size(); ++i)
        EXPECT_NE(c.outcomes()[i].error.find(reasons[i - 1]), std::string::npos)
            << c.outcomes()[i].error;
    EXPECT_NE(log.str().find("1 of 7 files converted, 6 failed"), std::string::npos);
    EXPECT_EQ(NamesIn(dir / "out"), std::set<std::string>{"good_3D-RC.jpg"});
}

TEST(BatchRun, TerminalGetsABarRedrawnInPlace) {
    ScratchDir dir("-batch");
    WriteBytes(dir / "a.mpo", Mpo());
    BatchConverter c(Parse({dir / "a.mpo", dir / "missing.mpo"}));
    std::ostringstream log;
    EXPECT_FALSE(c.Run(log, true, 60));
    const std::string s = log.str();
    EXPECT_NE(s.find("\r\033[K[--------------------] 0/2  a.mpo  estimating"), std::string::npos)
        << s;
    EXPECT_NE(s.find("\r\033[K[####################] 2/2"), std::string::npos) << s;
    EXPECT_NE(s.find("FAILED  " + (dir / "missing.mpo")), std::string::npos);
    EXPECT_EQ(s.find("ok      "), std::string::npos);  // successes only move the bar
}

TEST(BatchProgram, ExitStatusTellsSuccessFailureAndUsage) {
    ScratchDir dir("-batch");
    WriteBytes(dir / "a.mpo", Mpo());
    auto run = [&](const std::string& args) {
        const int status = std::system(
            (TSY_BATCH_EXE " " + args + " >" + (dir / "o") + " 2>" + (dir / "e")).c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    auto text = [&](const char* name) {
        const Bytes b = ReadAll(dir / name);
        return std::string(b.begin(), b.end());
    };
    EXPECT_EQ(run("--version"), 0);
    EXPECT_EQ(text("o"), "tessaly-batch 1.34\n");
    EXPECT_EQ(run("--quality 0 " + (dir / "a.mpo")), 2);
    EXPECT_NE(text("e").find("--quality"), std::string::npos) << text("e");
    EXPECT_EQ(run((dir / "a.mpo") + " " + (dir / "nothing.mpo")), 1);
    EXPECT_NE(text("e").find("ok      " + (dir / "a.mpo") + " -> " + (dir / "a_3D-RC.jpg")),
              std::string::npos)
        << text("e");
    EXPECT_EQ(run("--overwrite " + (dir / "a.mpo")), 0);
}

TEST(BatchArguments, AlignmentAndWhereTheHorizontalOffsetComesFrom) {
    using Dx = BatchOptions::Dx;
    const struct {
        const char* line;
        bool align, strict;
        Dx dx;
        int given;
    } rows[] = {
        {"a.mpo", false, false, Dx::Given, 0},
        {"--align a.mpo", true, false, Dx::Auto, 0},
        {"--align=strict a.mpo", true, true, Dx::Auto, 0},
        {"--align --dx 5 a.mpo", true, false, Dx::Given, 5},
        {"--dx camera --align a.mpo", true, false, Dx::Camera, 0},
        {"--dx=auto a.mpo", false, false, Dx::Auto, 0},
    };
    for (const auto& r : rows) {
        const BatchOptions o = Parse(Words(r.line));
        EXPECT_EQ(std::tie(o.align, o.alignStrict, o.dxFrom, o.dx),
                  std::tie(r.align, r.strict, r.dx, r.given))
            << r.line;
    }
}

TEST(BatchAlign, PrintsOneLinePerAlignedFileAndWarnsOrFailsOtherwise) {
    ScratchDir dir("-batch");
    PictureBuffer left, right, flat;
    test::StereoScene({480, 360, 6.5, 1.5, 1.02}).Render(left, right);
    flat.assignBlack(480, 360);
    std::string error;
    for (auto [name, picture] : {std::pair{"l.bmp", &left}, {"r.bmp", &right}, {"f.bmp", &flat}})
        ASSERT_TRUE(SaveBmp(*picture, dir / name, error)) << error;

    const struct {
        Args args;
        bool ok;
        const char* warning;  // "" when none
    } rows[] = {
        {{"--align", "--right", dir / "f.bmp", "--out", dir / "o", dir / "l.bmp"},
         true,
         "could not align: only"},
        {{"--align=strict", "--right", dir / "f.bmp", "--out", dir / "s", dir / "l.bmp"},
         false,
         ""},
    };
    for (const auto& r : rows) {
        BatchConverter c(Parse(r.args));
        std::ostringstream log, out;
        EXPECT_EQ(c.Run(log, false, 80, &out), r.ok) << log.str();
        EXPECT_EQ(out.str(), "");
        EXPECT_EQ(log.str().find("warning") != std::string::npos, *r.warning != 0) << log.str();
        if (*r.warning) {
            EXPECT_NE(log.str().find(r.warning), std::string::npos) << log.str();
        }
    }

    BatchConverter c(
        Parse({"--align", "--right", dir / "r.bmp", "--out", dir / "n", dir / "l.bmp"}));
    std::ostringstream log, out;
    ASSERT_TRUE(c.Run(log, false, 80, &out)) << log.str();
    double v, a, s, x, e;
    int n;
    char file[256];
    ASSERT_EQ(std::sscanf(out.str().c_str(),
                          "aligned %255[^:]: vertical %lf px, roll %lf deg, scale %lf, window %lf "
                          "px, residual %lf px, inliers %d\n",
                          file, &v, &a, &s, &x, &e, &n),
              7)
        << out.str();
    EXPECT_EQ(std::string(file), dir / "l.bmp");
    EXPECT_NEAR(v, 6.5, 0.25);
    EXPECT_NEAR(a, 1.5, 0.05);
    EXPECT_NEAR(s, 1.02, 0.001);
    EXPECT_NEAR(x, -0.08 * 480, 2);
    EXPECT_GE(n, 24);
}

namespace {

std::string Text(const std::string& path) {
    const Bytes b = ReadAll(path);
    return std::string(b.begin(), b.end());
}

// The program's exit status (128 + N when ended by signal N) after args,
// with its standard error in dir/e.
int RunProgram(const ScratchDir& dir, const std::string& args, const std::string& prefix = "") {
    const int status = std::system(
        (prefix + TSY_BATCH_EXE " " + args + " >" + (dir / "o") + " 2>" + (dir / "e")).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

// The output name of one file is another input of the run: a hard link to
// it, or the --right file. Never replaced, with or without --overwrite.
TEST(BatchRun, NeverReplacesAnInputOfTheRun) {
    ScratchDir dir("-batch");
    WriteBytes(dir / "left.jpg", test::MakeJpeg(48, 32, 1));
    WriteBytes(dir / "left_3D-RC.jpg", test::MakeJpeg(48, 32, 5));
    WriteBytes(dir / "a.mpo", Mpo());
    std::filesystem::create_hard_link(dir / "a.mpo", dir / "a_3D-RC.jpg");
    const Bytes right = ReadAll(dir / "left_3D-RC.jpg"), mpo = ReadAll(dir / "a.mpo");
    for (const std::string flags : {"", "--overwrite "})
        for (const std::string& args :
             {"--right " + (dir / "left_3D-RC.jpg") + " " + (dir / "left.jpg"), dir / "a.mpo"}) {
            EXPECT_EQ(RunProgram(dir, flags + args), 1) << args;
            EXPECT_NE(Text(dir / "e").find("is an input of this run"), std::string::npos)
                << Text(dir / "e");
            EXPECT_EQ(ReadAll(dir / "left_3D-RC.jpg"), right);
            EXPECT_EQ(ReadAll(dir / "a.mpo"), mpo);
        }
}

// Killed in the middle of a run, the folder holds the inputs and whole
// outputs only; stopped by SIGINT or SIGTERM, the summary counts them.
TEST(BatchProgram, SignalsLeaveOnlyWholeFiles) {
    for (const int signal : {SIGINT, SIGTERM, SIGKILL}) {
        ScratchDir dir("-batch");
        constexpr int kFiles = 12;
        std::vector<std::string> args = {TSY_BATCH_EXE, "--format", "png", "--jobs", "2"};
        for (int i = 0; i < kFiles; ++i) {
            const std::string name = dir.path() + "/f" + std::to_string(i) + ".mpo";
            WriteBytes(name,
                       test::JoinAsMpo(test::MakeJpeg(400, 300, i), test::MakeJpeg(400, 300, 9)));
            args.push_back(name);
        }
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::freopen((dir / "e").c_str(), "w", stderr);
            std::vector<char*> argv;
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        auto outputs = [&] {
            int n = 0;
            for (const std::string& name : NamesIn(dir.path()))
                n += name.find("_3D-RC.png") != std::string::npos;
            return n;
        };
        for (int wait = 0; wait < 6000 && outputs() == 0; ++wait)
            ::usleep(10'000);
        ::kill(child, signal);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        if (signal == SIGKILL) {
            EXPECT_TRUE(WIFSIGNALED(status));
        } else {
            ASSERT_TRUE(WIFEXITED(status));
            EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
            const int done = outputs();
            EXPECT_NE(Text(dir / "e").find("stopped: " + std::to_string(done) + " of 12 files"),
                      std::string::npos)
                << Text(dir / "e");
        }
        for (const std::string& name : NamesIn(dir.path())) {
            EXPECT_NE(name[0], '.') << name;  // no hidden temporary
            if (name.find("_3D-RC.png") == std::string::npos) continue;
            PictureBuffer out;
            QString error;
            EXPECT_TRUE(LoadPicture(QString::fromStdString(dir / name), out, error)) << name;
        }
    }
}

TEST(BatchRun, WrongPicturesAreRefusedOrWarnedAbout) {
    ScratchDir dir("-batch");
    const Bytes view2 = test::MakeJpeg(256, 128, 5);
    Bytes cut(view2.begin(), view2.end() - std::ptrdiff_t(view2.size() / 3));
    Bytes scrambled = view2;
    for (std::size_t i = view2.size() / 2; i < view2.size() / 2 + 400; ++i)
        scrambled[i] = std::uint8_t(i * 37 % 255);
    WriteBytes(dir / "cut2.mpo", test::JoinAsMpo(test::MakeJpeg(256, 128, 1), cut));
    WriteBytes(dir / "scrambled2.mpo", test::JoinAsMpo(test::MakeJpeg(256, 128, 1), scrambled));
    WriteBytes(dir / "a.mpo", Mpo());
    WriteBytes(dir / "l.jpg", test::MakeJpeg(48, 32, 1));
    WriteBytes(dir / "r.jpg", test::MakeJpeg(40, 36, 5));
    const struct {
        std::string args;
        bool ok;
        std::string said;
    } cases[] = {
        {dir / "cut2.mpo", false, "second view: damaged picture"},
        {dir / "scrambled2.mpo", false, "second view: damaged picture"},
        {"--sbs " + (dir / "a.mpo"), true,
         "warning " + (dir / "a.mpo") + ": the file holds two views"},
        {"--dx 48 " + (dir / "a.mpo"), false,
         "--dx 48 is not smaller than the width of the picture (48"},
        {"--dy -32 " + (dir / "a.mpo"), false, "--dy -32 is not smaller than the height"},
        {"--sbs --no-stretch --dx 24 " + (dir / "a.mpo"), false, "(24 pixels)"},
        {"--dx -47 --dy 31 " + (dir / "a.mpo"), true, "ok"},
        {"--right " + (dir / "r.jpg") + " " + (dir / "l.jpg"), true,
         "image 1 48 x 32, image 2 40 x 36"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RunProgram(dir, "--overwrite --out " + (dir / "out") + " " + c.args),
                  c.ok ? 0 : 1)
            << c.args;
        EXPECT_NE(Text(dir / "e").find(c.said), std::string::npos) << Text(dir / "e");
    }
}

TEST(BatchRun, SkipExistingCountsAnOutputThereAsDone) {
    ScratchDir dir("-batch");
    WriteBytes(dir / "a.mpo", Mpo());
    WriteBytes(dir / "b.mpo", Mpo(2));
    WriteAll(dir / "a_3D-RC.jpg", "keep");
    const std::string log = Convert({"--skip-existing", dir / "a.mpo", dir / "b.mpo"});
    EXPECT_NE(log.find("skipped " + (dir / "a.mpo")), std::string::npos) << log;
    EXPECT_NE(log.find("1 file converted, 1 skipped"), std::string::npos) << log;
    EXPECT_EQ(Text(dir / "a_3D-RC.jpg"), "keep");
    EXPECT_EQ(ReadAll(dir / "b_3D-RC.jpg").at(0), 0xFF);
}

// A full disk (here: a file size limit) is reported with its reason and the
// output's name, not the hidden file's.
TEST(BatchProgram, WriteFailuresNameTheOutputAndTheReason) {
    ScratchDir dir("-batch");
    WriteBytes(dir / "a.mpo",
               test::JoinAsMpo(test::MakeJpeg(300, 200, 1), test::MakeJpeg(300, 200, 5)));
    for (const std::string format : {"jpg", "png", "bmp"}) {
        EXPECT_EQ(RunProgram(dir, "--format " + format + " " + (dir / "a.mpo"),
                             "trap '' XFSZ; ulimit -f 1; exec "),
                  1);
        EXPECT_NE(Text(dir / "e").find("cannot write " + (dir / "a_3D-RC.") + format +
                                       ": File too large"),
                  std::string::npos)
            << Text(dir / "e");
        EXPECT_EQ(NamesIn(dir.path()), (std::set<std::string>{"a.mpo", "e", "o"}));
    }
}

TEST(BatchJobs, DefaultIsOnePerCoreWithinTheAvailableMemory) {
    constexpr std::uint64_t G = 1ull << 30;
    const struct {
        int cores;
        std::uint64_t available, perJob;
        int jobs;
    } cases[] = {{2, 16 * G, G, 2}, {8, 3 * G, G, 3}, {8, G / 2, G, 1}, {4, 0, G, 4}, {4, G, 0, 4}};
    for (const auto& c : cases)
        EXPECT_EQ(DefaultJobs(c.cores, c.available, c.perJob), c.jobs)
            << c.cores << " " << c.available << " " << c.perJob;
}

// Without a terminal a long file gives a sign of life every 10 s, no more.
TEST(BatchReporter, LongFilesReportEveryTenSecondsOffATerminal) {
    using namespace std::chrono_literals;
    BatchReporter::Clock::time_point now{};
    std::ostringstream log;
    BatchReporter r(log, false, 80, 2, [&] { return now; });
    r.Started(0, "slow.mpo");
    int lines = 0;
    for (int second = 1; second <= 35; ++second) {
        now += 1s;
        r.Tick();
        if (second == 20) r.Started(1, "late.mpo");
    }
    for (std::size_t at = 0; (at = log.str().find("busy    slow.mpo", at)) != std::string::npos;
         ++at)
        ++lines;
    EXPECT_EQ(lines, 3) << log.str();  // at 10, 20 and 30 s
    EXPECT_NE(log.str().find("busy    late.mpo (10 s so far)"), std::string::npos) << log.str();
}
