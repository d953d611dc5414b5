#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "TestJpeg.h"
#include "TestStereoScene.h"
#include "base/Progress.h"
#include "input/CameraParallax.h"
#include "input/JpegDecoder.h"
#include "input/MpoReader.h"

namespace {

using namespace tsy::test;

// TIFF data of an Exif segment whose Exif IFD holds this maker note, which
// lies at kNoteAt in the TIFF data.
constexpr std::uint32_t kNoteAt = 26 + 18;
Bytes ExifWithNote(const Bytes& note) {
    Bytes t = {'I', 'I', 42, 0, 8, 0, 0, 0};
    PutIfd(t, 8, {{0x8769, 4, 1, 26}});
    PutIfd(t, 26, {{0x927C, 7, std::uint32_t(note.size()), kNoteAt}});
    t.insert(t.end(), note.begin(), note.end());
    return t;
}

Bytes Nintendo(float parallax) {
    Bytes n;
    PutIfd(n, 0, {{0x1101, 7, 0x58, kNoteAt + 18}});
    n.resize(18 + 0x58);
    std::memcpy(&n[18], "3DS1", 4);
    std::memcpy(&n[18 + 0x28], &parallax, 4);
    return ExifWithNote(n);
}

// The header, then an IFD whose one entry is the parallax rational at dataAt.
Bytes FujiTag(Bytes head, std::int32_t num, std::int32_t den, std::uint32_t dataAt) {
    PutIfd(head, head.size(), {{0xB211, 10, 1, dataAt}});
    head.resize(std::max<std::size_t>(head.size(), dataAt + 8));
    Put(head, dataAt, std::uint32_t(num), 4);
    Put(head, dataAt + 4, std::uint32_t(den), 4);
    return head;
}

Bytes Fuji(std::int32_t num, std::int32_t den, std::uint32_t dataAt = 30) {
    Bytes n = FujiTag({'F', 'U', 'J', 'I', 'F', 'I', 'L', 'M', 12, 0, 0, 0}, num, den, dataAt);
    if (dataAt > 100) n.resize(40);  // the value lies past the note's end
    return ExifWithNote(n);
}

TEST(CameraParallax, ReadsTheCameraNotes) {
    const std::optional<double> none;
    const Bytes mpTag = FujiTag({'I', 'I', '*', 0, 8, 0, 0, 0}, -2, 1, 26);
    const std::tuple<const char*, Bytes, Bytes, Bytes, int, std::optional<double>> cases[] = {
        {"3DS note in image 1", Nintendo(-24.0f), {}, {}, 640, 48.0},
        {"3DS note, wider view", Nintendo(10.5f), {}, {}, 1280, -42.0},
        {"Fujifilm note in image 2", {}, Fuji(3, 2), {}, 1000, -15.0},
        {"Fujifilm tag in image 2's MP attributes", {}, {}, mpTag, 1000, 20.0},
        {"no note", {}, {}, {}, 640, none},
        {"Fujifilm value past the note", {}, Fuji(3, 2, 400), {}, 1000, none},
        {"Fujifilm zero denominator", {}, Fuji(3, 0), {}, 1000, none},
    };
    const Bytes jpeg1 = MakeJpeg(32, 24, 1), jpeg2 = MakeJpeg(32, 24, 2);
    auto exif = [](const Bytes& jpeg, const Bytes& tiff) {
        return tiff.empty() ? jpeg : WithSegment(jpeg, 0xE1, {"Exif\0\0", 6}, tiff);
    };
    for (const auto& [name, exif1, exif2, mp2, width, offset] : cases) {
        const Bytes view2 =
            mp2.empty() ? exif(jpeg2, exif2) : WithSegment(jpeg2, 0xE2, {"MPF", 4}, mp2);
        const Bytes file = JoinAsMpo(exif(jpeg1, exif1), view2);
        EXPECT_NEAR(tsy::CameraOffsetX(file, width).value_or(1e9), offset.value_or(1e9), 1e-4)
            << name;
        // Cut anywhere, the file gives an answer or none, never a crash.
        for (std::size_t n = 0; n < file.size(); n += 7)
            tsy::CameraOffsetX(std::span<const std::uint8_t>(file.data(), n), width);
    }
}

// Where the subject of view 1 at (x, y) lies in view 2: the shift of least
// difference of a patch, read from the pixels.
int Disparity(const tsy::PictureBuffer& v1, const tsy::PictureBuffer& v2, int x, int y) {
    int best = 0;
    long bestSum = -1;
    for (int s = -v1.width() / 4; s <= v1.width() / 4; ++s) {
        long sum = 0;
        for (int j = -7; j <= 7; ++j)
            for (int i = -7; i <= 7; ++i) {
                const std::uint32_t a = v1.pixel(x + i, y + j), b = v2.pixel(x + s + i, y + j);
                for (int k = 0; k < 24; k += 8)
                    sum += std::abs(int(a >> k & 0xFF) - int(b >> k & 0xFF));
            }
        if (bestSum < 0 || sum < bestSum) bestSum = sum, best = s;
    }
    return best;
}

// Files as the cameras write them: the value the camera records for a
// subject whose views lie `disparity` pixels apart (the console's -44.8 is
// from its files, with the nearest points 93 pixels apart). The X-Offset
// read must bring the subject, measured in the file's pixels, to the screen:
// the engine shows disparity x2 - x1 - offset.
TEST(CameraParallax, OffsetBringsTheSubjectToTheScreen) {
    const struct {
        const char* name;
        int width;
        double disparity;
        float console;  // 3DS maker note, else Fujifilm's tag in per cent
        std::int32_t fujiThousandths;
    } rows[] = {
        {"console, subject behind", 640, 90, -44.8f, 0},
        {"console, subject in front", 640, -40, 20.0f, 0},
        {"console, wider copy", 960, 135, -44.8f, 0},
        {"Fujifilm, subject behind", 800, 60, 0, -7500},
        {"Fujifilm, subject in front", 800, -30, 0, 3750},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const int h = row.width / 2;
        tsy::PictureBuffer view[2];
        tsy::test::StereoScene({row.width, h, 0, 0, 1, row.disparity / row.width, 1})
            .Render(view[0], view[1]);
        Bytes jpeg[2];
        for (int v = 0; v < 2; ++v)
            jpeg[v] = Compress(Bytes(view[v].bits(), view[v].bits() + view[v].byteCount()),
                               row.width, h, TJPF_BGRX, TJSAMP_444);
        const Bytes note =
            row.fujiThousandths ? Fuji(row.fujiThousandths, 1000) : Nintendo(row.console);
        const Bytes file =
            row.fujiThousandths
                ? JoinAsMpo(jpeg[0], WithSegment(jpeg[1], 0xE1, {"Exif\0\0", 6}, note))
                : JoinAsMpo(WithSegment(jpeg[0], 0xE1, {"Exif\0\0", 6}, note), jpeg[1]);

        tsy::SilentProgress quiet;
        const std::span<const std::uint8_t> bytes(file);
        std::string error;
        ASSERT_TRUE(tsy::DecodeJpeg(bytes, view[0], error));
        ASSERT_TRUE(tsy::DecodeJpeg(bytes.subspan(std::size_t(tsy::FindImage2Offset(bytes, quiet))),
                                    view[1], error));
        // The scene's subject: its nearer disc, at (0.30, 0.55) of the picture.
        const int measured = Disparity(view[0], view[1], row.width * 30 / 100, h * 55 / 100);
        EXPECT_NEAR(measured, row.disparity, 1);
        const std::optional<double> offset = tsy::CameraOffsetX(file, row.width);
        ASSERT_TRUE(offset.has_value());
        EXPECT_NEAR(measured - *offset, 0, 1.5);
    }
}

}  // namespace
