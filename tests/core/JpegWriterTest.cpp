#include <gtest/gtest.h>
#include <jerror.h>
#include <sys/stat.h>
#include <turbojpeg.h>

#include <algorithm>

#include "OutputTestFiles.h"
#include "output/JpegWriter.h"

namespace {

using tsy::PictureBuffer;

// Smooth, distinct channels, so a swapped channel order shows as a large error.
PictureBuffer Gradient(int w, int h) {
    return MakePicture(w, h, [&](int x, int y) {
        return 0xFF000000u | (255 - 255 * x / (w - 1)) << 16 | 255 * y / (h - 1) << 8 |
               255 * x / (w - 1);
    });
}

struct Decoded {
    int width = 0, height = 0, subsamp = -1;
    std::vector<std::uint8_t> bgrx;
};

Decoded Decode(const std::vector<std::uint8_t>& jpeg) {
    Decoded d;
    tjhandle tj = tjInitDecompress();
    int colorspace = 0;
    if (!tjDecompressHeader3(tj, jpeg.data(), jpeg.size(), &d.width, &d.height, &d.subsamp,
                             &colorspace)) {
        d.bgrx.resize(std::size_t(d.width) * d.height * 4);
        tjDecompress2(tj, jpeg.data(), jpeg.size(), d.bgrx.data(), d.width, 0, d.height, TJPF_BGRX,
                      TJFLAG_ACCURATEDCT);
    }
    tjDestroy(tj);
    return d;
}

TEST(JpegWriter, WritesItsColourOrderInFullChromaAndClampsTheQuality) {
    ScratchDir dir;
    const PictureBuffer pic = Gradient(64, 48);
    const ::mode_t old = ::umask(022);
    for (int q : {95, 150, 100, 1, 0, 50})
        ASSERT_EQ(tsy::SaveJpeg(pic, dir / std::to_string(q), q), 0);
    ::umask(old);  // like any new file under it
    EXPECT_EQ(std::filesystem::status(dir / "95").permissions(), std::filesystem::perms(0644));
    EXPECT_EQ(dir.Names().size(), 6u);

    const Decoded d = Decode(ReadAll(dir / "95"));
    ASSERT_EQ(d.width * 10000 + d.height * 10 + d.subsamp, 640480 + TJSAMP_444);
    double err[3] = {};
    for (std::size_t i = 0; i < d.bgrx.size(); i += 4)
        for (int c = 0; c < 3; ++c)
            err[c] += std::abs(int(d.bgrx[i + c]) - int(pic.bits()[i + c]));
    for (double e : err)
        EXPECT_LT(e / (64 * 48), 2.0);

    EXPECT_EQ(ReadAll(dir / "150"), ReadAll(dir / "100"));
    // libjpeg's quality scaling treats anything below 1 as 1.
    EXPECT_EQ(ReadAll(dir / "0"), ReadAll(dir / "1"));
    EXPECT_NE(ReadAll(dir / "50"), ReadAll(dir / "100"));
    EXPECT_LT(ReadAll(dir / "1").size(), ReadAll(dir / "50").size());
}

TEST(JpegWriter, FailuresKeepTheOldFileAndLeaveNothingBehind) {
    ScratchDir dir;
    PictureBuffer pic = Gradient(16, 16), empty;
    EXPECT_EQ(tsy::SaveJpeg(pic, dir / "no/such/dir.jpg", 90), tsy::kJpegFileError);
    EXPECT_TRUE(dir.Names().empty());

    // An existing name survives an encoder failure and a failed rename.
    WriteAll(dir / "keep.jpg", "precious");
    // Too wide for JPEG, or too tall although each strip would fit; both read as black.
    EXPECT_EQ(tsy::SaveJpeg(PictureBuffer(70000, 1), dir / "keep.jpg", 90), JERR_IMAGE_TOO_BIG);
    EXPECT_EQ(tsy::SaveJpeg(PictureBuffer(8, 70000), dir / "keep.jpg", 90, 4), JERR_IMAGE_TOO_BIG);
    EXPECT_EQ(tsy::SaveJpeg(empty, dir / "keep.jpg", 90), JERR_EMPTY_IMAGE);
    ASSERT_EQ(::mkdir((dir / "adir").c_str(), 0755), 0);
    EXPECT_EQ(tsy::SaveJpeg(pic, dir / "adir", 90), tsy::kJpegFileError);
    EXPECT_EQ(ReadAll(dir / "keep.jpg").size(), 8u);
    EXPECT_EQ(dir.Names().size(), 2u);
}

TEST(JpegWriter, StripsDecodeToTheSamePixelsAsOneRun) {
    const struct {
        int width, height;
        tsy::JpegChroma chroma;
        int threads;
        bool picture;
    } cases[] = {
        {203, 1000, tsy::JpegChroma::k444, 2, true},  // last strip shorter, partial MCUs
        {64, 130, tsy::JpegChroma::k444, 8, true},    // strips of one unit
        {99, 700, tsy::JpegChroma::k420, 3, true},
        {40, 300, tsy::JpegChroma::k444, 2, false},  // no picture: written black
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width * 10000 + c.height);
        PictureBuffer pic(c.width, c.height);
        // Detail everywhere, so every interval codes something different.
        std::uint8_t* p = c.picture ? pic.assign(c.width, c.height) : nullptr;
        for (std::uint32_t i = 0; p && i < std::uint32_t(c.width * c.height * 4); ++i)
            p[i] = std::uint8_t((i * 2654435761u >> 13) % 97 + (i / 4 % c.width));
        std::vector<std::uint8_t> one, strips;
        ASSERT_EQ(tsy::EncodeJpeg(pic, 90, c.chroma, one, 1), 0);
        ASSERT_EQ(tsy::EncodeJpeg(pic, 90, c.chroma, strips, c.threads), 0);
        const std::uint8_t dri[] = {0xFF, 0xDD};
        EXPECT_NE(std::search(strips.begin(), strips.end(), dri, dri + 2), strips.end());
        EXPECT_TRUE(!c.picture || strips.size() < one.size() + one.size() / 100) << strips.size();
        const Decoded a = Decode(one), b = Decode(strips);
        ASSERT_EQ(b.width * 10000 + b.height, c.width * 10000 + c.height);
        EXPECT_TRUE(a.bgrx == b.bgrx);
        for (std::size_t i = 0; !c.picture && i < b.bgrx.size(); i += 4)
            ASSERT_LE(b.bgrx[i] + b.bgrx[i + 1] + b.bgrx[i + 2], 3);
    }
}

TEST(JpegWriter, HeaderSegmentsGoInFrontOfTheSameCodedPicture) {
    const PictureBuffer pic = Gradient(120, 300);
    const std::uint8_t a[] = {'M', 'P', 'F', 0, 1}, b[] = {7};
    const tsy::JpegSegment segments[] = {{0xE2, a}, {0xE3, b}};
    const std::vector<std::uint8_t> spliced = {0xFF, 0xE2, 0, 7, 'M', 'P', 'F', 0, 1,
                                               0xFF, 0xE3, 0, 3, 7};
    for (int threads : {1, 3})
        for (bool jfif : {true, false}) {
            std::vector<std::uint8_t> plain, with;
            ASSERT_EQ(tsy::EncodeJpeg(pic, 90, tsy::JpegChroma::k420, plain, threads), 0);
            ASSERT_EQ(tsy::EncodeJpeg(
                          pic, 90, tsy::JpegChroma::k420,
                          [&](const std::uint8_t* d, std::size_t n) {
                              with.insert(with.end(), d, d + n);
                              return true;
                          },
                          threads, {segments, jfif}),
                      0);
            // SOI, libjpeg's 18-byte JFIF segment, then its tables.
            std::vector<std::uint8_t> want(plain.begin(), plain.begin() + (jfif ? 20 : 2));
            want.insert(want.end(), spliced.begin(), spliced.end());
            want.insert(want.end(), plain.begin() + 20, plain.end());
            EXPECT_TRUE(with == want) << threads << jfif;
        }
    const std::vector<std::uint8_t> huge(65534);
    const tsy::JpegSegment tooLong[] = {{0xE1, huge}};
    EXPECT_EQ(tsy::EncodeJpeg(
                  pic, 90, tsy::JpegChroma::k420, [](const std::uint8_t*, std::size_t) { return true; },
                  1, {tooLong}),
              JERR_BAD_LENGTH);
}

}  // namespace
