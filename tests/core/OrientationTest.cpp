#include <gtest/gtest.h>

#include "OutputTestFiles.h"
#include "TestJpeg.h"
#include "input/ExifOrientation.h"
#include "prepare/Orientation.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

tsy::PictureBuffer Numbered(int w, int h) {
    return MakePicture(w, h, [w](int x, int y) { return std::uint32_t(y * w + x + 1); });
}

std::string Rows(const tsy::PictureBuffer& b) {
    std::string s;
    for (int y = 0; y < b.height(); ++y, s += '/')
        for (int x = 0; x < b.width(); ++x)
            s += std::to_string(b.pixel(x, y) & 0xFFFFFF) + ' ';
    return s;
}

}  // namespace

TEST(Orientation, EachValueTurnsThePictureUpright) {
    // Stored 3 x 2:  1 2 3 / 4 5 6.
    const char* upright[9] = {"1 2 3 /4 5 6 /",  "1 2 3 /4 5 6 /",  "3 2 1 /6 5 4 /",
                              "6 5 4 /3 2 1 /",  "4 5 6 /1 2 3 /",  "1 4 /2 5 /3 6 /",
                              "4 1 /5 2 /6 3 /", "6 3 /5 2 /4 1 /", "3 6 /2 5 /1 4 /"};
    for (int o = 0; o <= 9; ++o) {
        tsy::PictureBuffer b = Numbered(3, 2);
        tsy::ApplyOrientation(b, o);
        EXPECT_EQ(Rows(b), upright[o == 9 ? 1 : o]) << o;
    }
}

TEST(Orientation, TurnsAcrossBlocksComeBack) {
    // Pairs that undo each other, on a picture larger than one block.
    const int pairs[][2] = {{6, 8}, {5, 5}, {7, 7}, {3, 3}};
    const tsy::PictureBuffer original = Numbered(150, 70);
    for (const auto& [there, back] : pairs) {
        tsy::PictureBuffer b = Numbered(150, 70);
        tsy::ApplyOrientation(b, there);
        EXPECT_EQ(b.width(), there >= 5 ? 70 : 150);
        tsy::ApplyOrientation(b, back);
        EXPECT_EQ(Rows(b), Rows(original)) << there;
    }
}

TEST(Orientation, ReadFromTheExifSegment) {
    const Bytes jpeg = tsy::test::MakeJpeg(8, 8, 1);
    const std::pair<Bytes, int> cases[] = {
        {tsy::test::WithExif(jpeg, false, 0x0112, 3, 1, 6), 6},
        {tsy::test::WithExif(jpeg, true, 0x0112, 3, 1, 8), 8},
        {tsy::test::WithExif(jpeg, false, 0x0112, 3, 1, 9), 0},      // out of range
        {tsy::test::WithExif(jpeg, true, 0x0112, 4, 1, 6), 0},       // not a SHORT
        {tsy::test::WithExif(jpeg, false, 0x0110, 3, 1, 6), 0},      // another tag
        {tsy::test::WithExif(jpeg, false, 0x0112, 3, 1, 6, 12), 0},  // entry cut off
        {jpeg, 0},
        {Bytes{0xFF, 0xD8, 0xFF}, 0},
    };
    for (const auto& [file, want] : cases)
        EXPECT_EQ(tsy::ExifOrientation(file), want);
}
