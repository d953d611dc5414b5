#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "OutputTestFiles.h"
#include "StereoReadBack.h"
#include "batch/BatchConverter.h"
#include "output/BmpWriter.h"
#include "output/FileFormats.h"

using namespace tsy;
using tsy::test::MeanDifference;

namespace {

// Views whose channels tell the column and row, each view its own range: a
// view read back in the wrong place or order is far off; a half layout's
// squeeze and stretch stays within a level or two of a ramp.
PictureBuffer Ramp(int w, int h, int base) {
    return MakePicture(w, h, [base](int x, int y) {
        return 0xFF000000u | std::uint32_t(base + x) << 16 | std::uint32_t(base / 2 + y) << 8 |
               std::uint32_t(200 - x / 2);
    });
}

std::string Batch(const std::string& line) {
    std::istringstream words(line);
    std::vector<std::string> args;
    for (std::string w; words >> w;)
        args.push_back(w);
    BatchOptions options;
    std::string message;
    EXPECT_EQ(ParseBatchArguments(args, options, message), BatchCommand::Run) << message;
    BatchConverter c(options);
    std::ostringstream log;
    EXPECT_TRUE(c.Run(log)) << line << "\n" << log.str();
    return log.str();
}

}  // namespace

// Every stereo file the batch writes is read back by Tessaly's loader as the
// views that went in, left and right in their places (62 columns: sTER pads
// the first view to 8s): files that say how
// they hold the views (MPO, JPS, JPEG with a descriptor, side-by-side PNG
// with sTER) with --layout auto, the others with their layout named.
TEST(StereoFiles, EveryStereoOutputReadsBackAsItsViews) {
    ScratchDir dir("-stereo");
    const PictureBuffer left = Ramp(62, 40, 20), right = Ramp(62, 40, 120);
    std::string error;
    ASSERT_TRUE(SaveBmp(left, dir / "l.bmp", error) && SaveBmp(right, dir / "r.bmp", error));
    int checked = 0;
    for (const FileFormat* row : SaveFormats()) {
        if (row->written != Written::Views || row->name == "gif" || row->name == "webp") continue;
        SCOPED_TRACE(std::string(row->name));
        const std::string out = dir / std::string(row->name);
        Batch("--overwrite --format " + std::string(row->name) + " --out " + out + " --right " +
              (dir / "r.bmp") + " " + (dir / "l.bmp"));
        const bool png = row->Suffix() == ".png";
        const bool marked =
            !png || (row->layout.arrangement == Arrangement::SideBySide && !row->layout.half);
        const tsy::test::ReadBack r =
            tsy::test::ReadStereo(out + "/l" + std::string(row->nameTag) + row->Suffix(),
                                  marked ? StereoLayout{Arrangement::Auto} : row->layout);
        ASSERT_TRUE(r.error.empty()) << r.error;
        const double allowed = (png ? 0 : 1.5) + (row->layout.half ? 1.0 : 0);
        EXPECT_LE(MeanDifference(r.left, left), allowed);
        EXPECT_LE(MeanDifference(r.right, right), allowed);
        ++checked;
    }
    EXPECT_EQ(checked, 18);  // MPO, JPS, 8 layouts x JPEG and PNG
}

// A JPS needs no options: it converts to the bytes its layout named gives.
// One picture has no second view to write a stereo file of.
TEST(StereoFiles, JpsByNameAndSinglePictures) {
    ScratchDir dir("-jps");
    std::string error;
    ASSERT_TRUE(SaveBmp(Ramp(64, 40, 20), dir / "l.bmp", error) &&
                SaveBmp(Ramp(64, 40, 120), dir / "r.bmp", error));
    Batch("--format jps --out " + dir.path() + " --right " + (dir / "r.bmp") + " " +
          (dir / "l.bmp"));
    std::rename((dir / "l_3D.jps").c_str(), (dir / "plain.jps").c_str());
    Batch("--format png --out " + (dir / "a") + " " + (dir / "plain.jps"));
    Batch("--format png --layout sbs-rl --out " + (dir / "b") + " " + (dir / "plain.jps"));
    EXPECT_EQ(ReadAll(dir / "a/plain_3D-RC.png"), ReadAll(dir / "b/plain_3D-RC.png"));

    BatchOptions options;
    std::string message;
    ASSERT_EQ(ParseBatchArguments({"--format", "mpo", "--out", dir / "c", dir / "l.bmp"}, options,
                                  message),
              BatchCommand::Run);
    BatchConverter c(options);
    std::ostringstream log;
    EXPECT_FALSE(c.Run(log));
    EXPECT_NE(log.str().find("one picture, no second view"), std::string::npos) << log.str();
}
