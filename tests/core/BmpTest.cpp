#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "OutputTestFiles.h"
#include "input/BmpReader.h"
#include "output/BmpWriter.h"

namespace {

using tsy::PictureBuffer;

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}

void FillPattern(PictureBuffer& pic, int w, int h) {
    std::uint8_t* p = pic.assign(w, h);
    for (int i = 0; i < w * h; ++i) {
        p[4 * i] = std::uint8_t(i * 7);
        p[4 * i + 1] = std::uint8_t(i * 13 + 1);
        p[4 * i + 2] = std::uint8_t(i * 29 + 2);
        p[4 * i + 3] = 0xFF;
    }
}

TEST(BmpWriter, OddWidthsRoundTripWithPaddedBottomUpRows) {
    ScratchDir dir;
    for (int w : {1, 2, 3, 4, 5, 7}) {
        const int h = 3;
        PictureBuffer pic;
        FillPattern(pic, w, h);
        const std::string path = dir / "a.bmp";
        std::string error;
        ASSERT_TRUE(tsy::SaveBmp(pic, path, error)) << error;
        const auto bytes = ReadAll(path);
        const std::size_t stride = (std::size_t(w) * 3 + 3) / 4 * 4;
        ASSERT_EQ(bytes.size(), 54 + stride * h);
        EXPECT_EQ(Le32(bytes, 2), bytes.size());
        EXPECT_EQ(Le32(bytes, 10), 54u);
        EXPECT_EQ(Le32(bytes, 18), std::uint32_t(w));
        EXPECT_EQ(Le32(bytes, 22), std::uint32_t(h));  // positive height: bottom-up
        EXPECT_EQ(bytes[28], 24);
        // The first stored row is the picture's last, in B,G,R order.
        const std::uint8_t* last = pic.row(h - 1);
        EXPECT_EQ(bytes[54], last[0]);
        EXPECT_EQ(bytes[56], last[2]);

        tsy::RgbImage image;
        ASSERT_TRUE(tsy::ReadBmp(path, image, error)) << error;
        ASSERT_EQ(image.width, w);
        ASSERT_EQ(image.height, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint32_t px = pic.pixel(x, y);
                const std::uint8_t* q = &image.rgb[(std::size_t(y) * w + x) * 3];
                ASSERT_EQ(q[0], std::uint8_t(px >> 16));
                ASSERT_EQ(q[1], std::uint8_t(px >> 8));
                ASSERT_EQ(q[2], std::uint8_t(px));
            }
    }
    EXPECT_EQ(dir.Names().size(), 1u);  // no temporary left beside it
}

TEST(BmpWriter, ReplacesOnlyOnSuccess) {
    ScratchDir dir;
    PictureBuffer pic;
    FillPattern(pic, 2, 2);
    std::string error;
    WriteAll(dir / "old.bmp", "old");
    ASSERT_TRUE(tsy::SaveBmp(pic, dir / "old.bmp", error));
    EXPECT_EQ(ReadAll(dir / "old.bmp").size(), 54u + 8 * 2);

    EXPECT_FALSE(tsy::SaveBmp(pic, dir / "missing/x.bmp", error));
    EXPECT_FALSE(error.empty());
    PictureBuffer empty;
    WriteAll(dir / "keep.bmp", "keep");
    EXPECT_FALSE(tsy::SaveBmp(empty, dir / "keep.bmp", error));
    EXPECT_EQ(ReadAll(dir / "keep.bmp").size(), 4u);
    EXPECT_EQ(dir.Names().size(), 2u);
}

// A small valid file to damage: 3x2, 24 or 32 bits, rows bottom-up unless topDown.
std::vector<std::uint8_t> MakeBmp(int bits, bool topDown) {
    const int w = 3, h = 2, bpp = bits / 8;
    const std::size_t stride = (std::size_t(w) * bpp + 3) / 4 * 4;
    std::vector<std::uint8_t> b(54 + stride * h, 0);
    auto put = [&](std::size_t at, std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            b[at + i] = std::uint8_t(v >> 8 * i);
    };
    b[0] = 'B', b[1] = 'M';
    put(2, std::uint32_t(b.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, w, 4);
    put(22, std::uint32_t(topDown ? -h : h), 4);
    put(26, 1, 2);
    put(28, std::uint32_t(bits), 2);
    for (int fileRow = 0; fileRow < h; ++fileRow) {
        const int y = topDown ? fileRow : h - 1 - fileRow;
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &b[54 + fileRow * stride + x * bpp];
            p[0] = std::uint8_t(10 * y + x);  // blue
            p[1] = 100;
            p[2] = std::uint8_t(200 + x);  // red
        }
    }
    return b;
}

TEST(BmpReader, ReadsBothRowOrdersAndBothDepths) {
    for (int bits : {24, 32})
        for (bool topDown : {false, true}) {
            const auto file = MakeBmp(bits, topDown);
            tsy::RgbImage image;
            std::string error;
            ASSERT_TRUE(tsy::DecodeBmp(file.data(), file.size(), image, error)) << error;
            ASSERT_EQ(image.width, 3);
            ASSERT_EQ(image.height, 2);
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < 3; ++x) {
                    const std::uint8_t* q = &image.rgb[(y * 3 + x) * 3];
                    EXPECT_EQ(q[0], 200 + x);
                    EXPECT_EQ(q[1], 100);
                    EXPECT_EQ(q[2], 10 * y + x);
                }
        }
}

TEST(BmpReader, RefusesHostileHeadersWithoutReadingPastTheEnd) {
    auto put = [](std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = std::uint8_t(v >> 8 * i);
    };
    struct Damage {
        const char* what;
        void (*apply)(std::vector<std::uint8_t>&, decltype(put)&);
    };
    const Damage cases[] = {
        {"signature", [](auto& b, auto&) { b[1] = 'X'; }},
        {"negative width", [](auto& b, auto& p) { p(b, 18, std::uint32_t(-3)); }},
        {"zero height", [](auto& b, auto& p) { p(b, 22, 0); }},
        {"INT_MIN height", [](auto& b, auto& p) { p(b, 22, 0x80000000u); }},
        {"huge width", [](auto& b, auto& p) { p(b, 18, 0x7FFFFFFFu); }},
        {"huge both", [](auto& b, auto& p) { p(b, 18, 0x10000), p(b, 22, 0x10000); }},
        {"width past data", [](auto& b, auto& p) { p(b, 18, 5); }},
        {"offset past end", [](auto& b, auto& p) { p(b, 10, 0xFFFFFFF0u); }},
        {"offset in header", [](auto& b, auto& p) { p(b, 10, 20); }},
        {"offset near end", [](auto& b, auto& p) { p(b, 10, std::uint32_t(b.size() - 2)); }},
        {"header size", [](auto& b, auto& p) { p(b, 14, 0xFFFFFFFFu); }},
        {"declared size", [](auto& b, auto& p) { p(b, 2, std::uint32_t(b.size() + 1)); }},
        {"image size", [](auto& b, auto& p) { p(b, 34, 0xFFFFFF00u); }},
        {"8 bits", [](auto& b, auto&) { b[28] = 8; }},
        {"RLE", [](auto& b, auto& p) { p(b, 30, 1); }},
        {"two planes", [](auto& b, auto&) { b[26] = 2; }},
        {"truncated rows", [](auto& b, auto& p) { b.resize(b.size() - 5), p(b, 2, 0); }},
        {"only headers", [](auto& b, auto& p) { b.resize(54), p(b, 2, 0); }},
        {"cut header", [](auto& b, auto&) { b.resize(30); }},
    };
    for (const Damage& d : cases) {
        auto file = MakeBmp(24, false);
        d.apply(file, put);
        // Exactly sized heap copy, so the sanitizer sees any over-read.
        std::vector<std::uint8_t> exact(file.begin(), file.end());
        tsy::RgbImage image;
        std::string error;
        EXPECT_FALSE(tsy::DecodeBmp(exact.data(), exact.size(), image, error)) << d.what;
        EXPECT_FALSE(error.empty()) << d.what;
        EXPECT_TRUE(image.rgb.empty()) << d.what;
    }
    tsy::RgbImage image;
    std::string error;
    EXPECT_FALSE(tsy::ReadBmp("/nonexistent/x.bmp", image, error));
}

}  // namespace
