#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <sstream>

#include "OutputTestFiles.h"
#include "input/JpegDecoder.h"
#include "input/JpegHeaders.h"
#include "input/MpoReader.h"
#include "output/JpsWriter.h"
#include "output/MpoWriter.h"
#include "window/rules/PngScript.h"
#include "output/StereoPicture.h"
#include "output/TiffWriter.h"
#include "input/MpIndex.h"
#include "output/WiggleGif.h"
#include "output/WiggleWebp.h"
#include "prepare/AreaScale.h"

namespace {

using tsy::PictureBuffer;
using tsy::StereoSaveSettings;
using Bytes = std::vector<std::uint8_t>;
using Writer = std::function<bool(const PictureBuffer&, const PictureBuffer&,
                                  const StereoSaveSettings&, tsy::FileReplacer&, std::string&)>;

// Smooth, so JPEG keeps it close; the two views differ by far more than JPEG
// noise, so a swap shows.
PictureBuffer View(int w, int h, int seed) {
    return MakePicture(w, h, [&](int x, int y) {
        return 0xFF000000u | std::uint32_t(x * 180 / w + seed * 60) << 16 |
               std::uint32_t(y * 200 / h + 20) << 8 |
               std::uint32_t((x + 2 * y) * 90 / (w + h) + 100 - seed * 30);
    });
}

// Mean absolute difference per channel between want and got's area at (x0, y0).
double Error(const PictureBuffer& got, int x0, int y0, const PictureBuffer& want) {
    if (x0 + want.width() > got.width() || y0 + want.height() > got.height()) return 1e9;
    double sum = 0;
    for (int y = 0; y < want.height(); ++y)
        for (int x = 0; x < want.width() * 4; ++x)
            if (x % 4 != 3) sum += std::abs(got.row(y0 + y)[x0 * 4 + x] - want.row(y)[x]);
    return sum / (3.0 * want.width() * want.height());
}

PictureBuffer Scaled(const PictureBuffer& view, int w, int h) {
    PictureBuffer out;
    tsy::ScalePicture(view, w, h, out, 1);
    return out;
}

PictureBuffer DecodeFile(const Bytes& file) {
    PictureBuffer out;
    std::string error;
    EXPECT_TRUE(tsy::DecodeJpeg(file, out, error)) << error;
    return out;
}

PictureBuffer DecodePngFile(const std::string& path) {
    PictureBuffer out;
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) return out;
    img.format = PNG_FORMAT_BGRA;
    if (!png_image_finish_read(&img, nullptr, out.assign(int(img.width), int(img.height)), 0,
                               nullptr))
        out.clear();
    return out;
}

bool Save(const Writer& write, const PictureBuffer& l, const PictureBuffer& r,
          const StereoSaveSettings& s, const std::string& path, std::string& error) {
    tsy::FileReplacer file(path);
    return file.Open(error) && write(l, r, s, file, error) && file.Commit(error);
}

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
            out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

// exiftool -G3 -s -a lines as "Doc:Name" to the values, joined by '|' when repeated.
std::map<std::string, std::string> Exiftool(const std::string& arguments) {
    std::map<std::string, std::string> tags;
    std::istringstream lines(Output("exiftool -G3 -s -a -u " + arguments));
    for (std::string line; std::getline(lines, line);) {
        const std::size_t close = line.find(']'), colon = line.find(" : ");
        if (line.empty() || line[0] != '[' || close == std::string::npos ||
            colon == std::string::npos)
            continue;
        std::string name = line.substr(close + 1, colon - close - 1);
        name.erase(0, name.find_first_not_of(' '));
        name.erase(name.find_last_not_of(' ') + 1);
        std::string& v = tags[line.substr(1, close - 1) + ":" + name];
        v += (v.empty() ? "" : "|") + line.substr(colon + 3);
    }
    return tags;
}

bool Have(const char* probe) {
    static std::map<std::string, bool> known;
    const auto [at, fresh] = known.try_emplace(probe, false);
    if (fresh) at->second = std::system((std::string(probe) + " >/dev/null 2>&1").c_str()) == 0;
    return at->second;
}
const char* const kExiftool = "exiftool -ver";
const char* const kPillow = "/usr/bin/python3 -c 'import PIL.Image'";
#define NEED(tool) \
    if (!Have(tool)) GTEST_SKIP() << "not installed (scripts/install-deps.sh): " << tool

// An Exif segment as a camera writes it: little-endian, turned a quarter,
// the camera's size, a maker note and a thumbnail IFD.
Bytes CameraExif() {
    const tsy::TiffOrder le(false);
    Bytes tiff;
    le.PutHeader(tiff);
    tsy::IfdWriter ifd0(le), exif(le), ifd1(le);
    ifd0.Long(0x0112, 6);
    ifd0.Long(0x8769, 0);
    const std::uint8_t note[] = "maker's own bytes";
    exif.Undefined(0x927C, note);
    exif.Long(0xA002, 6000);
    exif.Long(0xA003, 4000);
    ifd1.Long(0x0201, 0);  // JpegIFOffset
    const std::uint32_t exifAt = std::uint32_t(8 + ifd0.Size());
    const std::uint32_t ifd1At = std::uint32_t(exifAt + exif.Size());
    const std::size_t pointer = ifd0.Write(tiff, 0, ifd1At)[1];
    le.Set32(tiff.data() + pointer, exifAt);
    exif.Write(tiff, 0, 0);
    ifd1.Write(tiff, 0, 0);
    Bytes app1 = {'E', 'x', 'i', 'f', 0, 0};
    app1.insert(app1.end(), tiff.begin(), tiff.end());
    return app1;
}

TEST(StereoWriters, MpoIsReadByUsExiftoolAndPillow) {
    ScratchDir dir;
    const PictureBuffer left = View(301, 203, 0), right = View(301, 203, 2);
    const Bytes exif = CameraExif();
    StereoSaveSettings known;
    known.sourceExif = exif;
    known.convergenceDegrees = -2.5;
    known.baselineMetres = 0.077;
    using Tags = std::map<std::string, std::string>;
    const struct {
        StereoSaveSettings settings;
        Tags expected;
    } cases[] = {
        {known,
         {{"Main:ConvergenceAngle", "-2.5"},
          {"Doc2:BaselineLength", "0.077"},
          {"Main:Orientation", "Horizontal (normal)"},
          {"Doc2:Orientation", "Horizontal (normal)"},
          {"Main:ExifImageWidth", "301"},
          {"Doc2:ExifImageHeight", "203"},
          {"Doc2:MakerNoteUnknownText", "maker's own bytes"},
          {"Main:ThumbnailOffset", ""}}},
        // Without Exif the pictures are JFIF; unknown values are all bits set.
        {{},
         {{"Main:JFIFVersion", "1.01"}, {"Doc2:JFIFVersion", "1.01"}, {"Main:Orientation", ""}}},
    };
    for (const auto& c : cases) {
        const std::string path = dir / "a.mpo", quoted = tsy::ShellQuote(path);
        std::string error;
        ASSERT_TRUE(Save(tsy::WriteMpo, left, right, c.settings, path, error)) << error;
        const Bytes file = ReadAll(path);
        tsy::SilentProgress progress;
        const std::int64_t second = tsy::FindImage2Offset(file, progress);
        ASSERT_GT(second, 0);
        EXPECT_TRUE(tsy::IsStereoFile(path, file));
        EXPECT_LT(Error(DecodeFile(file), 0, 0, left), 2.0);
        EXPECT_LT(Error(DecodeFile({file.begin() + second, file.end()}), 0, 0, right), 2.0);
        const Bytes unknown(8, 0xFF);
        const auto mp = tsy::WalkJpegHeaders(file).mp;
        EXPECT_EQ(std::search(mp.begin(), mp.end(), unknown.begin(), unknown.end()) != mp.end(),
                  !c.settings.baselineMetres);
        // What a conversion of this file hands on to the next one it writes.
        const tsy::MpGeometry read = tsy::ReadMpGeometry(tsy::WalkJpegHeaders(file));
        EXPECT_EQ(read.convergenceDegrees, c.settings.convergenceDegrees);
        EXPECT_EQ(read.baselineMetres, c.settings.baselineMetres);

        if (!Have(kExiftool)) continue;
        Tags tags = Exiftool("-ee -MPF:all -EXIF:all -JFIF:all " + quoted);
        Tags want = c.expected;
        want.insert({{"Main:MPFVersion", "0100"},
                     {"Main:NumberOfImages", "2"},
                     {"Main:MPImageType", "Multi-frame Disparity|Multi-frame Disparity"},
                     {"Main:MPImageFlags", "Representative image|(none)"},
                     {"Main:MPImageStart", "0|" + std::to_string(second)},
                     {"Main:MPIndividualNum", "1"},
                     {"Doc2:MPIndividualNum", "2"},
                     {"Main:BaseViewpointNum", "1"},
                     {"Doc2:BaseViewpointNum", "1"}});
        for (const auto& [name, value] : want)
            EXPECT_EQ(tags[name], value) << name;
        EXPECT_EQ(Output("exiftool -b -MPImage2 " + quoted),
                  std::string(file.begin() + second, file.end()));
    }
    NEED(kPillow);
    EXPECT_EQ(Output("/usr/bin/python3 -c 'import sys; from PIL import Image; "
                     "im = Image.open(sys.argv[1]); print(im.format, im.n_frames, im.size)' " +
                     tsy::ShellQuote(dir / "a.mpo")),
              "MPO 2 (301, 203)\n");
}

// Where the views go is read back through the loader (tests/batch); what
// the pictures say of it is checked here by an independent reader.
TEST(StereoWriters, PicturesSayTheirLayout) {
    using tsy::Arrangement;
    constexpr auto kSbs = Arrangement::SideBySide, kTb = Arrangement::TopBottom;
    const struct {
        Writer write;
        tsy::StereoLayout layout;
        int width, height;       // of the whole picture
        const char* descriptor;  // JPEG: what exiftool decodes; PNG: the sTER chunk's data
    } cases[] = {
        {tsy::WriteJps, {kSbs, false, false}, 406, 131, "Side By Side|(none)|Stereo"},
        {nullptr, {kSbs, true, true}, 204, 131, "Side By Side|Half width, Left field first|Stereo"},
        {nullptr, {kTb, false, false}, 203, 262, "Over Under|(none)|Stereo"},
        {nullptr, {kTb, true, true}, 203, 132, "Over Under|Half height, Left field first|Stereo"},
        // PNG side by side: the second view starts on a column divisible by 8.
        {nullptr, {kSbs, false, false}, 411, 131, "png 0"},
        {nullptr, {kSbs, true, true}, 204, 131, "png"},  // half: no sTER
        {nullptr, {kTb, true, false}, 203, 262, "png"},
    };
    const PictureBuffer left = View(203, 131, 0), right = View(203, 131, 2);
    ScratchDir dir;
    for (const auto& c : cases) {
        const bool png = std::string(c.descriptor).starts_with("png");
        const std::string path = dir / (png ? "a.png" : "a.jpg");
        SCOPED_TRACE(c.descriptor);
        const tsy::StereoLayout layout = c.layout;
        const Writer write =
            c.write ? c.write
                    : [&](const PictureBuffer& l, const PictureBuffer& r,
                          const StereoSaveSettings& s, tsy::FileReplacer& f, std::string& e) {
                          return png ? tsy::WriteStereoPng(l, r, layout, s, f, e)
                                     : tsy::WriteStereoJpeg(l, r, layout, s, f, e);
                      };
        std::string error;
        ASSERT_TRUE(Save(write, left, right, {}, path, error)) << error;
        const PictureBuffer got = png ? DecodePngFile(path) : DecodeFile(ReadAll(path));
        EXPECT_EQ(got.width() * 10000 + got.height(), c.width * 10000 + c.height);
        if (png) {
            const Bytes file = ReadAll(path);
            const std::string bytes(file.begin(), file.end());
            const std::size_t ster = bytes.find("sTER"), idat = bytes.find("IDAT");
            if (c.descriptor[3] == 0)
                EXPECT_EQ(ster, std::string::npos);
            else
                EXPECT_TRUE(ster < idat &&
                            bytes.substr(ster - 4, 9) ==
                                std::string("\0\0\0\1sTER", 8) + char(c.descriptor[4] - '0'));
        } else if (Have(kExiftool)) {
            auto tags = Exiftool("-JPSLayout -JPSFlags -JPSType " + tsy::ShellQuote(path));
            EXPECT_EQ(
                tags["Main:JPSLayout"] + "|" + tags["Main:JPSFlags"] + "|" + tags["Main:JPSType"],
                c.descriptor);
        }
    }
}

TEST(StereoWriters, WigglesAlternateTheViewsAtTheFrameTime) {
    const struct {
        tsy::StereoWriter write;
        int viewWidth, webWidth, frameMs;
        const char* expected;  // what Pillow reads: format, frames, size, loop, durations
    } cases[] = {
        {tsy::WriteWiggleGif, 300, 150, 87, "GIF 2 (150, 100) 0 [90, 90]"},
        {tsy::WriteWiggleWebp, 300, 150, 87, "WEBP 2 (150, 100) 0 [87, 87]"},
        // Never upscaled; the palette from the frames at half size.
        {tsy::WriteWiggleGif, 900, 1200, 120, "GIF 2 (900, 600) 0 [120, 120]"},
    };
    NEED(kPillow);
    ScratchDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        const PictureBuffer left = View(c.viewWidth, c.viewWidth * 2 / 3, 0),
                            right = View(c.viewWidth, c.viewWidth * 2 / 3, 2);
        StereoSaveSettings s;
        s.webWidth = c.webWidth;
        s.frameMs = c.frameMs;
        std::string error;
        ASSERT_TRUE(Save(c.write, left, right, s, dir / "w", error)) << error;
        EXPECT_EQ(Output("/usr/bin/python3 -c 'import sys\nfrom PIL import Image\n"
                         "im = Image.open(sys.argv[1]); d = []\n"
                         "for k in range(im.n_frames):\n"
                         " im.seek(k); im.load(); d.append(im.info.get(\"duration\"))\n"
                         " im.convert(\"RGB\").save(sys.argv[1] + str(k) + \".png\")\n"
                         "print(im.format, im.n_frames, im.size, im.info.get(\"loop\"), d)' " +
                         tsy::ShellQuote(dir / "w")),
                  std::string(c.expected) + "\n");
        const int w = std::min(c.webWidth, c.viewWidth), h = w * 2 / 3;
        EXPECT_LE(Error(DecodePngFile(dir / "w0.png"), 0, 0, Scaled(left, w, h)), 4);
        EXPECT_LE(Error(DecodePngFile(dir / "w1.png"), 0, 0, Scaled(right, w, h)), 4);
    }
}

TEST(StereoWriters, RefuseWhatIsNoPairAndLeaveNoFile) {
    const tsy::StereoWriter writers[] = {
        tsy::WriteMpo, tsy::WriteJps, tsy::WriteWiggleGif, tsy::WriteWiggleWebp,
        [](const PictureBuffer& l, const PictureBuffer& r, const StereoSaveSettings& s,
           tsy::FileReplacer& f, std::string& e) {
            return tsy::WriteStereoPng(l, r, {tsy::Arrangement::TopBottom, true, true}, s, f,
                                       e);
        }};
    const PictureBuffer view = View(40, 30, 0), small = View(30, 30, 0), none(40, 30),
                        wide = View(40000, 1, 0);
    const struct {
        const PictureBuffer &left, &right;
        const char* why;
    } cases[] = {{view, none, "only one picture"},
                 {none, view, "only one picture"},
                 {view, small, "differ in size (40x30 and 30x30)"}};
    ScratchDir dir;
    for (tsy::StereoWriter write : writers)
        for (const auto& c : cases) {
            std::string error;
            EXPECT_FALSE(Save(write, c.left, c.right, {}, dir / "x", error));
            EXPECT_NE(error.find(c.why), std::string::npos) << error;
        }
    std::string error;
    EXPECT_FALSE(Save(tsy::WriteJps, wide, wide, {}, dir / "x", error));
    EXPECT_EQ(error, "the picture is too large for JPEG (at most 65500 pixels a side)");
    EXPECT_TRUE(dir.Names().empty());
}

}  // namespace
