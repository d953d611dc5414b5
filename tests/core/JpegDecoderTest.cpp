#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>

#include "TestJpeg.h"
#include "input/JpegDecoder.h"

using namespace tsy::test;

namespace {

// Largest difference between the decoded picture and RGB source pixels (if
// given); a fourth byte other than 255 counts as a difference too.
int MaxError(const tsy::PictureBuffer& pic, const Bytes& rgb = {}) {
    int worst = 0;
    for (int i = 0; i < pic.width() * pic.height(); ++i) {
        const std::uint8_t* p = pic.row(i / pic.width()) + i % pic.width() * 4;
        worst = std::max(worst, 255 - p[3]);
        for (int c = 0; c < 3 && !rgb.empty(); ++c)
            worst = std::max(worst, std::abs(p[2 - c] - rgb[std::size_t(i) * 3 + c]));
    }
    return worst;
}

}  // namespace

// CMYK as stored in JPEG is inverted: 255 is no ink, and half black ink
// halves the colour (C, M, Y).
TEST(DecodeJpeg, ColourGrayAndCmykBecomeBgrx) {
    const Bytes rgb = Pattern(333, 177, 2);  // odd sizes: partial MCUs
    Bytes gray, grayRgb, cmyk, halfInk;
    for (std::size_t i = 0; i < rgb.size(); i += 3) {
        gray.push_back(rgb[i + 1]);
        grayRgb.insert(grayRgb.end(), 3, rgb[i + 1]);
        cmyk.insert(cmyk.end(), {rgb[i], rgb[i + 1], rgb[i + 2], 128});
        for (int c = 0; c < 3; ++c)
            halfInk.push_back(std::uint8_t(rgb[i + c] * 128 / 255.0 + 0.5));
    }
    for (const auto& [pixels, format, samp, want, tolerance] :
         {std::tuple{&rgb, TJPF_RGB, TJSAMP_444, &rgb, 12},
          {&rgb, TJPF_RGB, TJSAMP_422, &rgb, 12},
          {&rgb, TJPF_RGB, TJSAMP_420, &rgb, 12},
          {&gray, TJPF_GRAY, TJSAMP_GRAY, &grayRgb, 4},
          {&cmyk, TJPF_CMYK, TJSAMP_444, &halfInk, 4}}) {
        tsy::PictureBuffer pic;
        std::string error;
        const Bytes jpeg = Compress(*pixels, 333, 177, format, samp, 100);
        ASSERT_TRUE(tsy::DecodeJpeg(jpeg, pic, error)) << error;
        EXPECT_EQ(error, "");
        ASSERT_EQ(std::pair(pic.width(), pic.height()), std::pair(333, 177));
        EXPECT_LE(MaxError(pic, *want), tolerance) << format << " " << samp;
    }
}

TEST(DecodeJpeg, DamagedDataFailsOrKeepsACompletePicture) {
    const Bytes good = MakeJpeg(96, 64, 1);
    tsy::PictureBuffer pic;
    std::string error;
    std::mt19937 rng(7);
    Bytes garbage(3000);
    std::generate(garbage.begin(), garbage.end(), [&] { return std::uint8_t(rng()); });
    for (const Bytes& bad :
         {Bytes{}, garbage, Bytes(good.begin(), good.begin() + 100), Bytes{0xFF, 0xD8, 0xFF}}) {
        pic.assignBlack(8, 8);
        EXPECT_FALSE(tsy::DecodeJpeg(bad, pic, error));
        EXPECT_FALSE(error.empty());
        EXPECT_FALSE(pic.hasImage());
    }
    // A cut in the entropy-coded data keeps the picture, missing part filled
    // in, and says what happened.
    const Bytes big = MakeJpeg(256, 128, 1);
    ASSERT_TRUE(tsy::DecodeJpeg(Bytes(big.begin(), big.begin() + big.size() * 3 / 4), pic, error));
    EXPECT_NE(error.find("Premature end"), std::string::npos) << error;
    EXPECT_EQ(pic.height(), 128);
    EXPECT_EQ(MaxError(pic), 0);
    pic.resize(256, 8);  // the first rows are intact
    EXPECT_LE(MaxError(pic, Pattern(256, 128, 1)), 12);
    // Asked to refuse damage, the decoder stops there instead.
    EXPECT_FALSE(tsy::DecodeJpeg(Bytes(big.begin(), big.begin() + big.size() * 3 / 4), pic, error,
                                 tsy::kDefaultJpegPixelLimit, true));
    EXPECT_EQ(error.rfind("damaged picture: Premature end", 0), 0u) << error;
    EXPECT_FALSE(pic.hasImage());

    // Every kind of damage ends in one of the two documented outcomes.
    for (int round = 0; round < 300; ++round) {
        Bytes f = good;
        for (int i = 0; i < 4; ++i)
            f[rng() % f.size()] = std::uint8_t(rng());
        f.resize(rng() % 2 ? f.size() : rng() % f.size());
        // Rows the decoder leaves alone keep a zero fourth byte.
        std::memset(pic.assign(256, 256), 0, 256 * 256 * 4);
        const bool ok = tsy::DecodeJpeg(f, pic, error);
        ASSERT_EQ(pic.hasImage(), ok);
        ASSERT_TRUE(ok ? MaxError(pic) == 0 : !error.empty());
    }
}

// Too many pixels for the limit, or a header claiming far more pixels than
// the data can hold, fails at once, before the picture is allocated.
TEST(DecodeJpeg, RefusesPicturesAboveThePixelLimitOrTheirData) {
    Bytes jpeg = MakeJpeg(64, 48, 1);
    tsy::PictureBuffer pic;
    std::string error;
    EXPECT_TRUE(tsy::DecodeJpeg(jpeg, pic, error, 64 * 48));
    EXPECT_FALSE(tsy::DecodeJpeg(jpeg, pic, error, 64 * 48 - 1));
    EXPECT_FALSE(pic.hasImage());
    EXPECT_NE(error.find("64 x 48"), std::string::npos) << error;

    const std::uint8_t marker[] = {0xFF, 0xC0};
    const auto sof = std::search(jpeg.begin(), jpeg.end(), marker, marker + 2);
    ASSERT_NE(sof, jpeg.end());
    for (int i : {5, 7})  // height, width: 14000
        sof[i] = 14000 >> 8, sof[i + 1] = 14000 & 0xFF;
    EXPECT_FALSE(tsy::DecodeJpeg(jpeg, pic, error));
    EXPECT_NE(error.find("far too short for a picture of 14000 x 14000"), std::string::npos)
        << error;
    int w = 0, h = 0;
    ASSERT_TRUE(tsy::ReadJpegSize(jpeg, w, h));
    EXPECT_EQ(std::pair(w, h), std::pair(14000, 14000));
}

// A progressive picture is held whole as coefficients while it decodes: 128
// bytes for each block of each whole MCU (4:2:0: 16 x 16 pixels, six blocks;
// 4:4:4: 8 x 8, three). One decoded row by row holds none.
TEST(DecodeJpeg, DecoderMemoryOfProgressivePictures) {
    const int w = 333, h = 177;
    const Bytes rgb = Pattern(w, h, 2);
    for (const auto& [subsamp, mcu, blocks] : {std::tuple{TJSAMP_420, 16, 6}, {TJSAMP_444, 8, 3}}) {
        const std::uint64_t mcus = std::uint64_t((w + mcu - 1) / mcu) * ((h + mcu - 1) / mcu);
        EXPECT_EQ(
            tsy::JpegDecoderBytes(Compress(rgb, w, h, TJPF_RGB, subsamp, 90, TJFLAG_PROGRESSIVE)),
            mcus * blocks * 128);
        EXPECT_EQ(tsy::JpegDecoderBytes(Compress(rgb, w, h, TJPF_RGB, subsamp, 90)), 0u);
    }
    EXPECT_EQ(tsy::JpegDecoderBytes(Bytes{0xFF, 0xD8, 0xFF}), 0u);
}
