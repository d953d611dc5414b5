#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include <QString>
#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <sstream>
#include <utility>

#include "OutputTestFiles.h"
#include "TestJpeg.h"
#include "TestMpo.h"
#include "TestStereoScene.h"
#include "batch/BatchConverter.h"
#include "batch/MemoryBudget.h"
#include "output/BmpWriter.h"
#include "platform/PictureLoader.h"

using namespace tsy;
using namespace tsy::test;
using Rgb = std::array<int, 3>;
using View = std::function<Rgb(int x, int y)>;  // a view's colour at column x, row y
using Args = std::vector<std::string>;
constexpr auto npos = std::string::npos;

namespace {

// Every channel tells the column and each view has its own range, so a result
// pixel says from which view and column each of its channels came.
const View ViewA = [](int x, int y) { return Rgb{10 + x, 20 + x, 100 + y}; };
const View ViewB = [](int x, int y) { return Rgb{130 + x, 140 + x, 180 + y}; };

void WriteBmp(const std::string& path, int w, int h, const View& view) {
    PictureBuffer b;
    std::uint8_t* p = b.assign(w, h);
    for (int i = 0; i < w * h; ++i, p += 4) {
        const Rgb c = view(i % w, i / w);
        p[0] = std::uint8_t(c[2]), p[1] = std::uint8_t(c[1]), p[2] = std::uint8_t(c[0]), p[3] = 255;
    }
    std::string error;
    ASSERT_TRUE(SaveBmp(b, path, error)) << error;
}

void WriteBytes(const std::string& path, const Bytes& b) {
    WriteAll(path, {b.begin(), b.end()});
}

std::string Text(const std::string& path) {
    const Bytes b = ReadAll(path);
    return std::string(b.begin(), b.end());
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
    ASSERT_EQ(std::pair(out.width(), out.height()), std::pair(w, h));
    auto in = [&](int x, int y) { return x >= 0 && x < w && y >= 0 && y < h; };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int lx = x - dx / 2, ly = y - dy / 2, rx = x + dx / 2, ry = y + dy / 2;
            const Rgb a = in(lx, ly) ? image1(lx, ly) : Rgb{},
                      b = in(rx, ry) ? image2(rx, ry) : Rgb{};
            const Rgb want = {a[0], b[1], b[2]};
            const std::uint32_t p = out.pixel(x, y);
            for (int c = 0; c < 3; ++c)
                ASSERT_NEAR(int(p >> (16 - 8 * c) & 0xFF), want[c], tolerance)
                    << path << " channel " << c << " at " << x << "," << y;
        }
}

// The words of line; with a folder, each relative file name in it (a word
// with a dot or a slash that is no option) is put in that folder.
Args Words(const std::string& line, const std::string& folder = "") {
    Args args;
    std::istringstream words(line);
    for (std::string w; words >> w;) {
        const bool file = w[0] != '-' && w[0] != '/' && w.find_first_of("./") != npos;
        args.push_back(file && !folder.empty() ? folder + "/" + w : w);
    }
    return args;
}

BatchOptions Parse(const Args& args) {
    BatchOptions o;
    std::string message;
    EXPECT_EQ(ParseBatchArguments(args, o, message), BatchCommand::Run) << message;
    return o;
}

std::string Convert(const ScratchDir& dir, const std::string& line, bool ok = true) {
    BatchConverter c(Parse(Words(line, dir.path())));
    std::ostringstream log;
    EXPECT_EQ(c.Run(log), ok) << log.str();
    return log.str();
}

// The program's exit status (128 + N when ended by signal N) after line,
// with its standard error in dir/e.
int RunProgram(const ScratchDir& dir, const std::string& line, const std::string& prefix = "") {
    std::string command = prefix + TSY_BATCH_EXE;
    for (const std::string& w : Words(line, dir.path()))
        command += " " + w;
    const int status = std::system((command + " >" + (dir / "o") + " 2>" + (dir / "e")).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

Bytes Mpo(int seed = 1) {
    return JoinAsMpo(MakeJpeg(48, 32, seed), MakeJpeg(48, 32, seed + 4));
}

}  // namespace

// Names of methods, glasses and formats count in any case, paths keep theirs.
TEST(BatchArguments, EveryOptionAndWhereTheHorizontalOffsetComesFrom) {
    const BatchOptions o = Parse(
        Words("--method Optimized --glasses=GREEN-magenta --brightness -128 --dx -12 --dy=+3 "
              "--swap --sbs --no-stretch --format PNG --quality 1 --out O --jobs=3 --overwrite "
              "-- --odd.mpo"));
    const Recipe& r = o.recipe;
    EXPECT_EQ(std::make_tuple(r.method(), r.glasses(), r.brightness(), r.offsetX(), r.offsetY(),
                              r.quality(), o.jobs),
              std::make_tuple(3, 1, -128, -12, 3, 1, 3));
    EXPECT_TRUE(r.swap() && o.overwrite);
    EXPECT_EQ(r.layout(), (StereoLayout{Arrangement::SideBySide, true, false}));
    EXPECT_EQ(std::make_tuple(std::string(r.format().name), o.outDir, o.files),
              std::make_tuple(std::string("png"), std::string("O"), Args{"--odd.mpo"}));
    EXPECT_EQ(Parse({"--method", "GRAY", "x"}).recipe.method(), 0);
    EXPECT_EQ(Parse({"--format", "JPEG", "x"}).recipe.format().name, "jpg");
    EXPECT_EQ(Parse({"--method", "Half", "--right", "R.jpg", "x"}).right, "R.jpg");
    // Glasses without a form of the method take their stand-in, and say so.
    const BatchOptions ab = Parse(Words("--glasses amber-blue --method optimized a.mpo"));
    EXPECT_EQ(ab.recipe.MethodNumber(), 37);
    EXPECT_EQ(ab.notes.size(), 1u);

    using F = OffsetFrom;
    using A = AlignMode;
    for (const auto& [line, align, from, given] :
         {std::tuple{"a.mpo", A::Off, F::Given, 0},
          {"--align a.mpo", A::On, F::Window, 0},
          {"--align=strict a.mpo", A::Strict, F::Window, 0},
          {"--align --dx 5 a.mpo", A::On, F::Given, 5},
          {"--dx Camera --align a.mpo", A::On, F::Camera, 0},
          {"--dx=auto a.mpo", A::Off, F::Window, 0}}) {
        const Recipe p = Parse(Words(line)).recipe;
        EXPECT_EQ(std::make_tuple(p.align(), p.offsetFrom(), p.offsetX()),
                  std::make_tuple(align, from, given))
            << line;
    }
}

TEST(BatchArguments, CropIsAutomaticUnlessTold) {
    for (const auto& [line, crop] : {std::pair{"a.mpo", CropMode::Auto},
                                     {"--crop a.mpo", CropMode::On},
                                     {"--no-crop --align a.mpo", CropMode::Off},
                                     {"--no-crop --crop a.mpo", CropMode::On}})
        EXPECT_EQ(Parse(Words(line)).recipe.crop(), crop) << line;
}

TEST(BatchArguments, UsageErrorsAreNamed) {
    BatchOptions o;
    std::string message;
    for (const char* line :
         {"", "--frobnicate a.mpo", "a.mpo --quality", "--quality 0 a.mpo", "--quality 101 a.mpo",
          "--quality 9x a.mpo", "--brightness 129 a.mpo", "--dx 40000 a.mpo",
          "--method colour a.mpo", "--glasses blue a.mpo", "--format tif a.mpo", "--jobs 0 a.mpo",
          "--right r.jpg a.jpg b.jpg", "--right r.jpg --sbs a.jpg", "--no-stretch a.mpo",
          "--right r.jpg --right s.jpg a.jpg",
          "--overwrite --skip-existing a.mpo"}) {
        EXPECT_EQ(ParseBatchArguments(Words(line), o, message), BatchCommand::UsageError) << line;
        EXPECT_FALSE(std::exchange(message, "").empty()) << line;
    }
    EXPECT_EQ(ParseBatchArguments({"a.mpo", "--help"}, o, message), BatchCommand::Help);
    EXPECT_EQ(ParseBatchArguments({"--version"}, o, message), BatchCommand::Version);
}

// Names without an extension, in --out, and other glasses or formats.
TEST(BatchNames, AsTheWindowProposesThemBesideOrInTheOutputFolder) {
    for (const auto& [line, input, output] :
         {std::tuple{"x", "/p/IMG_0042.MPO", "/p/IMG_0042_3D-RC.jpg"},
          {"x", "/p.d/scan", "/p.d/scan_3D-RC.jpg"},
          {"x", "/p/.hidden", "/p/.hidden_3D-RC.jpg"},
          {"--out /o/ --glasses green-magenta --format bmp x", "/p/I.MPO", "/o/I_3D-GM.bmp"},
          {"--glasses amber-blue --method dubois --format png x", "/p/I.MPO", "/p/I_3D-AB.png"}})
        EXPECT_EQ(BatchConverter(Parse(Words(line))).OutputPathFor(input), output);
}

// Pairs of other sizes are cut and filled black; side-by-side halves are
// widened back unless told not to; a swap does not negate the offsets.
TEST(BatchPixels, EachEyesChannelsComeFromTheRightColumnsInEveryFormat) {
    ScratchDir dir("-batch");
    WriteBmp(dir / "l.bmp", 40, 12, ViewA);
    WriteBmp(dir / "r.bmp", 40, 12, ViewB);
    WriteBmp(dir / "small.bmp", 30, 16, ViewB);  // narrower and taller
    WriteBmp(dir / "s.bmp", 80, 12,
             [](int x, int y) { return x < 40 ? ViewA(x, y) : ViewB(x - 40, y); });
    const View cutB = [](int x, int y) { return x < 30 ? ViewB(x, y) : Rgb{0, 0, 0}; };
    const View wideA = [](int x, int y) { return ViewA(x / 2, y); };
    const View wideB = [](int x, int y) { return ViewB(x / 2, y); };
    const std::tuple<std::string, std::string, int, View, View, int, int> rows[] = {
        {"--right small.bmp --dx 6 --dy -2 l.bmp", "bmp", 40, ViewA, cutB, 6, -2},
        {"--right small.bmp --dx -8 --dy 4 l.bmp", "png", 40, ViewA, cutB, -8, 4},
        {"--right r.bmp l.bmp", "jpg", 40, ViewA, ViewB, 0, 0},
        {"--sbs s.bmp", "bmp", 80, wideA, wideB, 0, 0},
        {"--sbs --no-stretch s.bmp", "bmp", 40, ViewA, ViewB, 0, 0},
        {"--sbs --no-stretch --swap --dx 4 --dy 2 s.bmp", "bmp", 40, ViewB, ViewA, 4, 2},
    };
    int i = 0;
    for (const auto& [line, format, w, image1, image2, dx, dy] : rows) {
        const std::string out = std::to_string(i++) + "/";
        Convert(dir, "--format " + format + " --out " + out + " " + line);
        const std::set<std::string> written = NamesIn(dir / out);
        ASSERT_EQ(written.size(), 1u);
        ExpectAnaglyph(dir / (out + *written.begin()), w, 12, image1, image2, dx, dy,
                       format == "jpg" ? 6 : 0);
    }
    Convert(dir, "--right r.bmp --quality 20 --out q20/ l.bmp");
    EXPECT_LT(ReadAll(dir / "q20/l_3D-RC.jpg").size(), ReadAll(dir / "2/l_3D-RC.jpg").size());
}

// A file gives what its views give as a pair, but the camera's orientation
// in view 1 turns both views of a file and only view 1 of a pair.
TEST(BatchMpo, AFileGivesWhatItsViewsGiveAsAPair) {
    ScratchDir dir("-batch");
    const Bytes v1 = MakeJpeg(48, 32, 1), v2 = MakeJpeg(48, 32, 5);
    auto turned = [](const Bytes& v, int to) { return WithExif(v, false, 0x0112, 3, 1, to); };
    const Bytes t1 = turned(v1, 6), t2 = turned(v2, 6), u2 = turned(v2, 1);
    // Each row: the file, the pair, whether they give the same, the width.
    for (const auto& [mpo, view1, view2, same, width] :
         {std::tuple{JoinAsMpo(v1, v2), v1, v2, true, 48},
          {JoinAsMpo(t1, v2), t1, t2, true, 32},
          {JoinAsMpo(t1, v2), t1, v2, false, 32},
          {JoinAsMpo(t1, u2), t1, u2, true, 32}}) {
        WriteBytes(dir / "a.mpo", mpo);
        WriteBytes(dir / "1.jpg", view1);
        WriteBytes(dir / "2.jpg", view2);
        Convert(dir, "--overwrite --format bmp a.mpo");
        Convert(dir, "--overwrite --format bmp --right 2.jpg 1.jpg");
        const Bytes file = ReadAll(dir / "a_3D-RC.bmp");
        EXPECT_EQ(file.at(18) | file.at(19) << 8, width);
        EXPECT_EQ(file == ReadAll(dir / "1_3D-RC.bmp"), same) << width << same;
    }
}

// A worker keeps its pictures from file to file; files of other sizes after
// it must come out as when converted alone.
TEST(BatchRun, OneOrTwoJobsWriteWhatEachFileGivesAlone) {
    ScratchDir dir("-batch");
    std::string files;
    for (const auto& [i, w, h] : {std::tuple{0, 96, 64}, {1, 40, 80}, {2, 72, 24}}) {
        const std::string name = "f" + std::to_string(i) + ".mpo";
        WriteBytes(dir / name, JoinAsMpo(MakeJpeg(w, h, i), MakeJpeg(w, h + 8, i + 3)));
        Convert(dir, "--format png --out alone/ " + name);
        files += " " + name;
    }
    for (const std::string jobs : {"1", "2"}) {
        Convert(dir, "--format png --jobs " + jobs + " --out j" + jobs + "/" + files);
        EXPECT_EQ(NamesIn(dir / ("j" + jobs)).size(), 3u);
        for (const std::string& name : NamesIn(dir / "alone"))
            EXPECT_EQ(ReadAll(dir / ("j" + jobs + "/" + name)), ReadAll(dir / ("alone/" + name)))
                << jobs << name;
    }
}

// An output already there fails its file, unless --overwrite replaces it or
// --skip-existing counts it as done. An output that is an input of the run
// (the --right file, or a hard link to the file itself) is never replaced.
TEST(BatchRun, NeverReplacesAnInputOfTheRunNorAnOutputUnlessTold) {
    ScratchDir dir("-batch");
    WriteBytes(dir / "a.mpo", Mpo());
    WriteBytes(dir / "b.mpo", Mpo(2));
    for (const auto& [flag, ok, said, kept] :
         {std::tuple{"", false, " exists", true},
          {"--skip-existing", true, "1 file converted, 1 skipped", true},
          {"--overwrite", true, "2 files converted", false}}) {
        WriteAll(dir / "a_3D-RC.jpg", "keep");
        std::remove((dir / "b_3D-RC.jpg").c_str());
        const std::string log = Convert(dir, flag + std::string(" a.mpo b.mpo"), ok);
        EXPECT_NE(log.find(said), npos) << log;
        EXPECT_EQ(Text(dir / "a_3D-RC.jpg") == "keep", kept) << flag;
        EXPECT_EQ(NamesIn(dir.path()),
                  (std::set<std::string>{"a.mpo", "b.mpo", "a_3D-RC.jpg", "b_3D-RC.jpg"}));
    }
    // b's output is named as the --right file, a's is a hard link to a.mpo.
    std::filesystem::remove(dir / "a_3D-RC.jpg");
    std::filesystem::create_hard_link(dir / "a.mpo", dir / "a_3D-RC.jpg");
    const Bytes right = ReadAll(dir / "b_3D-RC.jpg"), mpo = ReadAll(dir / "a.mpo");
    for (const std::string flags : {"", "--overwrite "})
        for (const std::string args : {"--right b_3D-RC.jpg b.mpo", "a.mpo"})
            EXPECT_NE(Convert(dir, flags + args, false).find("is an input of this run"), npos)
                << flags << args;
    EXPECT_EQ(ReadAll(dir / "b_3D-RC.jpg"), right);
    EXPECT_EQ(ReadAll(dir / "a.mpo"), mpo);
}

// On a terminal, a bar redrawn in place and a line per failure only.
TEST(BatchRun, DamagedFilesAreNamedAndSkippedWhileTheOthersGoOn) {
    ScratchDir dir("-batch");
    const Bytes good = Mpo();
    std::filesystem::create_directory(dir / "again");
    // Each file, its bytes (none: no such file) and why it fails. The last
    // gives the same output name in --out as the first.
    const std::tuple<std::string, std::optional<Bytes>, std::string> files[] = {
        {"good.mpo", good, ""},
        {"cut.mpo", Bytes(good.begin(), good.end() - 20), "second view: damaged picture"},
        {"noise.mpo", Bytes(5000, 0x5A), "Unsupported"},
        {"empty.mpo", Bytes{}, "empty"},
        {"plain.jpg", MakeJpeg(48, 32, 1), "one picture, no second view"},
        {"gone.mpo", std::nullopt, "No such file"},
        {"again/good.mpo", good, "same output"}};
    std::string line = "--jobs 1 --out out/";
    for (const auto& [name, bytes, reason] : files) {
        if (bytes) WriteBytes(dir / name, *bytes);
        line += " " + name;
    }
    BatchConverter c(Parse(Words(line, dir.path())));
    std::ostringstream log;
    EXPECT_FALSE(c.Run(log, true, 60));
    const std::string s = log.str();
    ASSERT_EQ(c.outcomes().size(), std::size(files));
    for (std::size_t i = 1; i < std::size(files); ++i) {
        EXPECT_NE(s.find("FAILED  " + (dir / std::get<0>(files[i])) + ": "), npos) << s;
        EXPECT_NE(c.outcomes()[i].error.find(std::get<2>(files[i])), npos) << c.outcomes()[i].error;
    }
    EXPECT_NE(s.find("\r\033[K[--------------------] 0/7  good.mpo  estimating"), npos) << s;
    EXPECT_NE(s.find("\r\033[K[####################] 7/7"), npos) << s;
    EXPECT_EQ(s.find("ok      "), npos);  // successes only move the bar
    EXPECT_NE(s.find("1 of 7 files converted, 6 failed"), npos);
    EXPECT_EQ(NamesIn(dir / "out"), std::set<std::string>{"good_3D-RC.jpg"});
}

// Alignment failures are warned about or fail the file with --align=strict
// (see the refusals); an aligned file gives its line on standard output: the
// misalignment found in image 2 and the depth, in per cent of the width the
// output has. The stereo window puts the nearest disc (8 % of the width in
// front of the ground's far end) at the screen: too deep, and said so.
// A line break in a name is written \n there and on the ok line, so each
// stays one line.
TEST(BatchAlign, PrintsOneLinePerAlignedFile) {
    ScratchDir dir("-batch");
    PictureBuffer left, right;
    // Image 2 20 px low, turned 1.5 degrees counter-clockwise and 2 % larger.
    StereoScene({480, 360, -19.61, -1.5, 0.9804}).Render(left, right);
    std::string error;
    ASSERT_TRUE(SaveBmp(left, dir / "l.bmp", error) && SaveBmp(right, dir / "r.bmp", error));
    for (const bool crop : {true, false}) {
        BatchConverter c(Parse(Words(std::string(crop ? "" : "--no-crop ") +
                                         "--format bmp --overwrite --align --right r.bmp l.bmp",
                                     dir.path())));
        std::ostringstream log, results;
        ASSERT_TRUE(c.Run(log, false, 80, &results)) << log.str();
        const std::string out = results.str();
        double v, a, s, x, depth, nearPct, farPct;
        int n;
        const char* format =
            "aligned %*[^:]: vertical %lf px, roll %lf deg, scale %lf, window %lf px, "
            "residual %*f px, inliers %d, depth %lf %% (near %lf %%, far %lf %%)\n";
        ASSERT_EQ(out.rfind("aligned " + (dir / "l.bmp") + ": ", 0), 0u) << out;
        ASSERT_EQ(std::sscanf(out.c_str(), format, &v, &a, &s, &x, &n, &depth, &nearPct, &farPct),
                  8)
            << out;
        PictureBuffer written;
        QString why;
        ASSERT_TRUE(LoadPicture(QString::fromStdString(dir / "l_3D-RC.bmp"), written, why));
        const int w = written.width();
        EXPECT_EQ(crop, w < 480 && written.height() < 360) << w;
        for (const auto& [got, want, within] : {std::tuple{v, 20.0, 0.25},
                                                {a, 1.5, 0.05},
                                                {s, 1.02, 0.001},
                                                {x, -0.08 * 480, 2.0},
                                                {nearPct, 0.0, 0.3},
                                                {farPct, 0.08 * 480 * 100 / w, 0.3},
                                                {depth, farPct - nearPct, 0.11}})
            EXPECT_NEAR(got, want, within) << out;
        EXPECT_GE(n, 24);
        EXPECT_NE(log.str().find("too deep to view comfortably"), npos) << log.str();
    }
    ASSERT_TRUE(SaveBmp(left, dir / "l\n.bmp", error));
    BatchConverter c(Parse({"--align", "--right", dir / "r.bmp", dir / "l\n.bmp"}));
    std::ostringstream log, results;
    ASSERT_TRUE(c.Run(log, false, 80, &results)) << log.str();
    const std::string out = results.str();
    EXPECT_NE(log.str().find("ok      " + dir.path() + "/l\\n.bmp -> " + dir.path() + "/l\\n_3D"),
              npos)
        << log.str();
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    EXPECT_EQ(out.rfind("aligned " + dir.path() + "/l\\n.bmp: ", 0), 0u) << out;
}

// With --crop the offsets alone cut the views: what is left shows the views
// moved apart, each whole there, odd offsets too. A cut that would keep less
// than a quarter is refused, and the picture kept whole.
TEST(BatchCrop, OffsetsAloneCutTheViewsWhenAsked) {
    ScratchDir dir("-batch");
    WriteBmp(dir / "l.bmp", 40, 12, ViewA);
    WriteBmp(dir / "r.bmp", 40, 12, ViewB);
    for (const auto& [dx, dy] : {std::pair{6, -2}, {-5, 3}, {0, 0}}) {
        const int x = dx, y = dy;
        const std::string log =
            Convert(dir, "--overwrite --format bmp --crop --dx " + std::to_string(x) + " --dy " +
                             std::to_string(y) + " --right r.bmp l.bmp");
        EXPECT_EQ(log.find("warning"), npos) << log;
        auto moved = [](const View& v, int x, int y) {
            return [=](int c, int r) { return v(c + std::max(0, x), r + std::max(0, y)); };
        };
        ExpectAnaglyph(dir / "l_3D-RC.bmp", 40 - std::abs(x), 12 - std::abs(y),
                       moved(ViewA, -x, -y), moved(ViewB, x, y));
    }
    const std::string log =
        Convert(dir, "--overwrite --format bmp --crop --dx 36 --right r.bmp l.bmp");
    EXPECT_NE(log.find("not cropped: only 10 % of the picture would be left"), npos) << log;
    ExpectAnaglyph(dir / "l_3D-RC.bmp", 40, 12, ViewA, ViewB, 36, 0);
}

// Killed in the middle of a run, the folder holds the inputs and whole
// outputs only; stopped by SIGINT or SIGTERM, the summary counts them.
TEST(BatchProgram, SignalsLeaveOnlyWholeFiles) {
    for (const int signal : {SIGINT, SIGTERM, SIGKILL}) {
        ScratchDir dir("-batch");
        std::string command = "exec " TSY_BATCH_EXE " --format png --jobs 2 2>" + (dir / "e");
        for (int i = 0; i < 12; ++i) {
            command += " " + (dir / ("f" + std::to_string(i) + ".mpo"));
            WriteBytes(command.substr(command.rfind(' ') + 1),
                       JoinAsMpo(MakeJpeg(400, 300, i), MakeJpeg(400, 300, 9)));
        }
        const pid_t child = fork();
        if (child == 0) ::_exit(::execl("/bin/sh", "sh", "-c", command.c_str(), nullptr));
        ASSERT_GT(child, 0);
        auto outputs = [&] {
            const std::set<std::string> names = NamesIn(dir.path());
            return std::count_if(names.begin(), names.end(),
                                 [](const std::string& n) { return n.ends_with(".png"); });
        };
        for (int wait = 0; wait < 6000 && outputs() == 0; ++wait)
            ::usleep(10'000);
        ::kill(child, signal);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status),
                  signal == SIGKILL ? -SIGKILL : 128 + signal);
        const std::string summary = "stopped: " + std::to_string(outputs()) + " of 12 files";
        EXPECT_TRUE(signal == SIGKILL || Text(dir / "e").find(summary) != npos) << Text(dir / "e");
        for (const std::string& name : NamesIn(dir.path())) {
            EXPECT_NE(name[0], '.') << name;  // no hidden temporary
            if (!name.ends_with(".png")) continue;
            PictureBuffer out;
            QString error;
            EXPECT_TRUE(LoadPicture(QString::fromStdString(dir / name), out, error)) << name;
        }
    }
}

TEST(BatchRun, WrongPicturesAreRefusedOrWarnedAbout) {
    ScratchDir dir("-batch");
    WriteBytes(dir / "a.mpo", Mpo());
    WriteBytes(dir / "l.jpg", MakeJpeg(48, 32, 1));
    WriteBytes(dir / "r.jpg", MakeJpeg(40, 36, 5));
    const std::string a = dir / "a.mpo", l = dir / "l.jpg";
    using Row = std::tuple<std::string, int, std::string>;
    for (const auto& [args, status, said] : {
             Row{"--sbs a.mpo", 0, "warning " + a + ": the file holds two views"},
             {"--right l.jpg a.mpo", 0,
              "warning " + a + ": the file holds two views; " + l +
                  " takes the place of view 2"},
             {"--dx 48 a.mpo", 1, "--dx 48 is not smaller than the width of the picture (48"},
             {"--dy -32 a.mpo", 1, "--dy -32 is not smaller than the height"},
             {"--sbs --no-stretch --dx 24 a.mpo", 1, "(24 pixels)"},
             {"--dx -47 --dy 31 a.mpo", 0, "ok      " + a + " -> " + (dir / "out/a_3D")},
             {"--right r.jpg l.jpg", 0, "image 1 48 x 32, image 2 40 x 36"},
             {"--align --right r.jpg l.jpg", 0, "warning " + l + ": could not align: only"},
             {"--align=strict --right r.jpg l.jpg", 1, "FAILED  " + l + ": could not align: only"},
             {"--quality 0 a.mpo", 2, "--quality"},
             {"--version", 0, ""},
         }) {
        EXPECT_EQ(RunProgram(dir, "--overwrite --out out/ " + args), status) << args;
        EXPECT_NE(Text(dir / "e").find(said), npos) << Text(dir / "e");
    }
}

// A full disk (here: a file size limit, which would end the program with
// SIGXFSZ unless ignored) or a folder that cannot be written is reported with
// its reason and the output's name, not the hidden file's.
TEST(BatchProgram, WriteFailuresNameTheOutputAndTheReason) {
    ScratchDir dir("-batch");
    WriteBytes(dir / "a.mpo", JoinAsMpo(MakeJpeg(300, 200, 1), MakeJpeg(300, 200, 5)));
    ::mkdir((dir / "ro").c_str(), 0555);
    ::chmod(dir.path().c_str(), 0755);
    // Permissions bind the super-user only once it has given up its rights.
    const std::string user =
        ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    using Row = std::tuple<std::string, std::string, std::string, std::string>;
    for (const auto& [prefix, args, output, reason] : {
             Row{"trap '' XFSZ; ulimit -f 1; exec ", "--format jpg a.mpo", "a_3D-RC.jpg",
                 "File too large"},
             {"trap '' XFSZ; ulimit -f 1; exec ", "--format png a.mpo", "a_3D-RC.png",
              "File too large"},
             {"trap '' XFSZ; ulimit -f 1; exec ", "--format bmp a.mpo", "a_3D-RC.bmp",
              "File too large"},
             {"ulimit -f 1; exec ", "--format bmp a.mpo", "a_3D-RC.bmp", "File too large"},
             {"exec " + user, "--out ro/ a.mpo", "ro/a_3D-RC.jpg", "Permission denied"},
         }) {
        EXPECT_EQ(RunProgram(dir, args, prefix), 1) << prefix << args;
        const std::string said = "cannot write " + (dir / output) + ": " + reason;
        EXPECT_NE(Text(dir / "e").find(said), npos) << Text(dir / "e");
        EXPECT_EQ(NamesIn(dir.path()), (std::set<std::string>{"a.mpo", "e", "o", "ro"}));
        EXPECT_TRUE(NamesIn(dir / "ro").empty());
    }
}

// Each file is admitted against the memory still free: it waits while the
// others hold too much, and needing more than the whole it is refused.
TEST(BatchJobs, EachFileWaitsForTheMemoryItNeedsOrIsRefused) {
    constexpr std::uint64_t G = 1ull << 30;
    using A = MemoryBudget::Answer;
    // The budget, what the other workers hold, what this one holds, what it wants.
    const std::tuple<std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t, A> cases[] = {
        {4 * G, 0, 0, G, A::Granted},      {4 * G, 3 * G, 0, G, A::Granted},
        {4 * G, 3 * G, 0, 2 * G, A::Wait}, {4 * G, 3 * G, G / 2, G, A::Granted},
        {4 * G, 0, 2 * G, G, A::Granted},  {4 * G, 0, 0, 5 * G, A::Never},
        {4 * G, 3 * G, G, 5 * G, A::Never}};
    for (const auto& [total, others, held, wanted, answer] : cases) {
        MemoryBudget budget(total);
        std::uint64_t theirs = 0, mine = 0;
        ASSERT_EQ(budget.Ask(theirs, others), A::Granted);
        ASSERT_EQ(budget.Ask(mine, held), A::Granted);
        EXPECT_EQ(budget.Ask(mine, wanted), answer) << others << " " << held << " " << wanted;
        EXPECT_EQ(mine, answer == A::Granted ? std::max(held, wanted) : held);
    }
    // Not known: no limit.
    MemoryBudget unknown(0);
    std::uint64_t held = 0;
    EXPECT_EQ(unknown.Ask(held, 100 * G), A::Granted);
}

// With a fake memory figure that holds two small files: the large file is
// refused before it is read, the small ones all convert, never more at once
// than the figure.
TEST(BatchJobs, ARunNeverHoldsMoreThanTheMemoryItHad) {
    ScratchDir dir("-batch");
    for (const char* name : {"a.mpo", "b.mpo", "c.mpo"})
        WriteBytes(dir / name, Mpo());
    WriteBytes(dir / "big.mpo", JoinAsMpo(MakeJpeg(480, 320, 1), MakeJpeg(480, 320, 2)));
    const std::uint64_t small = 48 * 32 * 16, limit = small * 5 / 2;
    BatchConverter c(Parse(Words("--jobs 3 --format bmp a.mpo big.mpo b.mpo c.mpo", dir.path())));
    c.LimitMemory(limit);
    std::ostringstream log;
    EXPECT_FALSE(c.Run(log));
    EXPECT_NE(
        c.outcomes()[1].error.find("needs about 3 MB of memory, more than the 1 MB available"),
        npos)
        << c.outcomes()[1].error;
    EXPECT_EQ(NamesIn(dir.path()).count("big_3D-RC.bmp"), 0u);
    for (const std::string name : {"a", "b", "c"})
        EXPECT_EQ(ReadAll(dir / (name + "_3D-RC.bmp")).size(), 54u + 48 * 32 * 3) << name;
    EXPECT_GE(c.memoryPeak(), small);
    EXPECT_LE(c.memoryPeak(), limit);
}

// Without a terminal a long file gives a sign of life every 10 s, no more.
TEST(BatchReporter, LongFilesReportEveryTenSecondsOffATerminal) {
    BatchReporter::Clock::time_point now{};
    std::ostringstream log;
    BatchReporter r(log, false, 80, 2, [&] { return now; });
    r.Started(0, "slow.mpo");
    for (int second = 1; second <= 35; ++second) {
        now += std::chrono::seconds(1);
        r.Tick();
        if (second == 20) r.Started(1, "late.mpo");
    }
    int lines = 0;
    for (std::size_t at = 0; (at = log.str().find("busy    slow.mpo", at)) != npos; ++at)
        ++lines;
    EXPECT_EQ(lines, 3) << log.str();  // at 10, 20 and 30 s
    EXPECT_NE(log.str().find("busy    late.mpo (10 s so far)"), npos) << log.str();
}
