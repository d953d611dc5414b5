#include <gtest/gtest.h>

#include "OutputTestFiles.h"
#include "input/BmpReader.h"
#include "output/BmpWriter.h"

namespace {

using tsy::PictureBuffer;
using Bytes = std::vector<std::uint8_t>;

std::uint32_t Le32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}

void Put(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = std::uint8_t(v >> 8 * i);
}

std::uint32_t Pattern(int x, int y) {
    return 0xFF000000u | (std::uint32_t(x * 0x1D0D07 + y * 0x5A3F1B + 0x020100) & 0xFFFFFF);
}

TEST(BmpWriter, OddWidthsRoundTripWithPaddedBottomUpRows) {
    ScratchDir dir;
    for (int w : {1, 2, 3, 4, 5, 7}) {
        const int h = 3;
        const PictureBuffer pic = MakePicture(w, h, Pattern);
        const std::string path = dir / "a.bmp";
        std::string error;
        ASSERT_TRUE(tsy::SaveBmp(pic, path, error)) << error;
        const auto bytes = ReadAll(path);
        ASSERT_EQ(bytes.size(), 54 + (std::size_t(w) * 3 + 3) / 4 * 4 * h);
        EXPECT_EQ(Le32(bytes, 2), bytes.size());
        EXPECT_EQ(Le32(bytes, 10), 54u);
        EXPECT_EQ(Le32(bytes, 18), std::uint32_t(w));
        EXPECT_EQ(Le32(bytes, 22), std::uint32_t(h));  // positive height: bottom-up
        EXPECT_EQ(bytes[28], 24);

        tsy::RgbImage image;
        ASSERT_TRUE(tsy::ReadBmp(path, image, error)) << error;
        Bytes want;
        for (int i = 0; i < w * h; ++i) {
            const std::uint32_t px = pic.pixel(i % w, i / w);
            want.insert(want.end(),
                        {std::uint8_t(px >> 16), std::uint8_t(px >> 8), std::uint8_t(px)});
        }
        EXPECT_EQ(image.rgb, want);
    }
    EXPECT_EQ(dir.Names().size(), 1u);  // no temporary left beside it
}

TEST(BmpWriter, ReplacesOnlyOnSuccess) {
    ScratchDir dir;
    PictureBuffer pic = MakePicture(2, 2, Pattern), empty;
    std::string error;
    WriteAll(dir / "old.bmp", "old");
    ASSERT_TRUE(tsy::SaveBmp(pic, dir / "old.bmp", error));
    EXPECT_EQ(ReadAll(dir / "old.bmp").size(), 54u + 8 * 2);

    EXPECT_FALSE(tsy::SaveBmp(pic, dir / "missing/x.bmp", error));
    EXPECT_FALSE(error.empty());
    WriteAll(dir / "keep.bmp", "keep");
    EXPECT_FALSE(tsy::SaveBmp(empty, dir / "keep.bmp", error));
    EXPECT_EQ(ReadAll(dir / "keep.bmp").size(), 4u);
    EXPECT_EQ(dir.Names().size(), 2u);
}

// A valid 3x2 file, rows bottom-up unless topDown; pixel (x, y) is blue
// 10 y + x, green 100, red 200 + x.
Bytes MakeBmp(int bits, bool topDown) {
    const int bpp = bits / 8, stride = (3 * bpp + 3) / 4 * 4;
    Bytes b(54 + 2 * stride, 0);
    b[0] = 'B', b[1] = 'M';
    Put(b, 2, std::uint32_t(b.size())), Put(b, 10, 54), Put(b, 14, 40), Put(b, 18, 3);
    Put(b, 22, std::uint32_t(topDown ? -2 : 2)), Put(b, 26, 1), Put(b, 28, std::uint32_t(bits));
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 3; ++x) {
            std::uint8_t* p = &b[54 + row * stride + x * bpp];
            p[0] = std::uint8_t(10 * (topDown ? row : 1 - row) + x), p[1] = 100, p[2] = 200 + x;
        }
    return b;
}

TEST(BmpReader, ReadsBothRowOrdersAndBothDepths) {
    const Bytes want = {200, 100, 0,  201, 100, 1,  202, 100, 2,
                        200, 100, 10, 201, 100, 11, 202, 100, 12};
    for (int bits : {24, 32})
        for (bool topDown : {false, true}) {
            const auto file = MakeBmp(bits, topDown);
            tsy::RgbImage image;
            std::string error;
            ASSERT_TRUE(tsy::DecodeBmp(file.data(), file.size(), image, error)) << error;
            EXPECT_EQ(image.width * 100 + image.height, 302);
            EXPECT_EQ(image.rgb, want) << bits << " " << topDown;
        }
}

TEST(BmpReader, RefusesHostileHeadersWithoutReadingPastTheEnd) {
    const std::pair<const char*, void (*)(Bytes&)> cases[] = {
        {"signature", [](Bytes& b) { b[1] = 'X'; }},
        {"negative width", [](Bytes& b) { Put(b, 18, std::uint32_t(-3)); }},
        {"zero height", [](Bytes& b) { Put(b, 22, 0); }},
        {"INT_MIN height", [](Bytes& b) { Put(b, 22, 0x80000000u); }},
        {"huge width", [](Bytes& b) { Put(b, 18, 0x7FFFFFFFu); }},
        {"huge both", [](Bytes& b) { Put(b, 18, 0x10000), Put(b, 22, 0x10000); }},
        {"width past data", [](Bytes& b) { Put(b, 18, 5); }},
        {"offset past end", [](Bytes& b) { Put(b, 10, 0xFFFFFFF0u); }},
        {"offset in header", [](Bytes& b) { Put(b, 10, 20); }},
        {"offset near end", [](Bytes& b) { Put(b, 10, std::uint32_t(b.size() - 2)); }},
        {"header size", [](Bytes& b) { Put(b, 14, 0xFFFFFFFFu); }},
        {"declared size", [](Bytes& b) { Put(b, 2, std::uint32_t(b.size() + 1)); }},
        {"image size", [](Bytes& b) { Put(b, 34, 0xFFFFFF00u); }},
        {"8 bits", [](Bytes& b) { b[28] = 8; }},
        {"RLE", [](Bytes& b) { Put(b, 30, 1); }},
        {"two planes", [](Bytes& b) { b[26] = 2; }},
        {"truncated rows", [](Bytes& b) { b.erase(b.end() - 5, b.end()), Put(b, 2, 0); }},
        {"only headers", [](Bytes& b) { b.resize(54), Put(b, 2, 0); }},
        {"cut header", [](Bytes& b) { b.resize(30); }},
    };
    for (const auto& [what, apply] : cases) {
        Bytes file = MakeBmp(24, false);
        apply(file);
        // Exactly sized heap copy, so the sanitizer sees any over-read.
        const Bytes exact(file.begin(), file.end());
        tsy::RgbImage image;
        std::string error;
        EXPECT_FALSE(tsy::DecodeBmp(exact.data(), exact.size(), image, error)) << what;
        EXPECT_FALSE(error.empty()) << what;
        EXPECT_TRUE(image.rgb.empty()) << what;
    }
    tsy::RgbImage image;
    std::string error;
    EXPECT_FALSE(tsy::ReadBmp("/nonexistent/x.bmp", image, error));
}

}  // namespace
