#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "../batch/TestMpo.h"
#include "TestJpeg.h"
#include "input/CameraParallax.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

using tsy::test::Put;

// A little-endian IFD of one entry at `at` in b (grown to fit).
void Entry(Bytes& b, std::size_t at, std::uint32_t tag, std::uint32_t type, std::uint32_t count,
           std::uint32_t value) {
    if (b.size() < at + 18) b.resize(at + 18);
    for (const auto& [v, n] : {std::pair{1u, 2}, {tag, 2}, {type, 2}, {count, 4}, {value, 4}})
        Put(b, at, v, n), at += std::size_t(n);
}

// TIFF data of an Exif segment whose Exif IFD holds this maker note; the
// note is built by `note` knowing where it will lie in the TIFF data.
template <class F>
Bytes ExifWithNote(F note) {
    Bytes t = {'I', 'I', 42, 0, 8, 0, 0, 0};
    Entry(t, 8, 0x8769, 4, 1, 26);
    const std::size_t noteAt = 26 + 18;
    const Bytes n = note(std::uint32_t(noteAt));
    Entry(t, 26, 0x927C, 7, std::uint32_t(n.size()), std::uint32_t(noteAt));
    t.insert(t.end(), n.begin(), n.end());
    return t;
}

Bytes Nintendo(float parallax) {
    return ExifWithNote([&](std::uint32_t at) {
        Bytes n;
        Entry(n, 0, 0x1101, 7, 0x58, at + 18);
        Bytes block(0x58, 0);
        std::memcpy(block.data(), "3DS1", 4);
        std::uint32_t bits;
        std::memcpy(&bits, &parallax, 4);
        Put(block, 0x28, bits, 4);
        n.insert(n.end(), block.begin(), block.end());
        return n;
    });
}

Bytes FujiTag(std::uint32_t ifdAt, std::int32_t num, std::int32_t den, std::uint32_t dataAt) {
    Bytes n;
    Entry(n, ifdAt, 0xB211, 10, 1, dataAt);
    n.resize(std::max<std::size_t>(n.size(), dataAt + 8));
    Put(n, dataAt, std::uint32_t(num), 4);
    Put(n, dataAt + 4, std::uint32_t(den), 4);
    return n;
}

Bytes Fuji(std::int32_t num, std::int32_t den, std::uint32_t dataAt = 30) {
    return ExifWithNote([&](std::uint32_t) {
        Bytes n = FujiTag(12, num, den, dataAt);
        std::memcpy(n.data(), "FUJIFILM", 8);
        Put(n, 8, 12, 4);
        if (dataAt > 100) n.resize(40);  // the value lies past the note's end
        return n;
    });
}

Bytes MpAttributes(std::int32_t num, std::int32_t den) {
    Bytes t = FujiTag(8, num, den, 26);
    std::memcpy(t.data(), "II*\0", 4);
    Put(t, 4, 8, 4);
    return t;
}

// A JPEG with the given segment after its start.
Bytes View(int seed, std::uint8_t code, const char* magic, std::size_t magicSize,
           const Bytes& tiff) {
    Bytes v = tsy::test::MakeJpeg(32, 24, seed);
    if (tiff.empty()) return v;
    Bytes seg = {0xFF, code, 0, 0};
    seg.insert(seg.end(), magic, magic + magicSize);
    seg.insert(seg.end(), tiff.begin(), tiff.end());
    const std::size_t len = seg.size() - 2;
    seg[2] = std::uint8_t(len >> 8);
    seg[3] = std::uint8_t(len);
    v.insert(v.begin() + 2, seg.begin(), seg.end());
    return v;
}

struct Case {
    const char* name;
    Bytes exif1, exif2, mp2;
    int width;
    std::optional<double> offset;
};

TEST(CameraParallax, ReadsTheCameraNotes) {
    const Case cases[] = {
        {"3DS note in image 1", Nintendo(-24.0f), {}, {}, 640, -24.0},
        {"3DS note, wider view", Nintendo(10.5f), {}, {}, 1280, 21.0},
        {"Fujifilm note in image 2", {}, Fuji(3, 2), {}, 1000, -15.0},
        {"Fujifilm tag in image 2's MP attributes", {}, {}, MpAttributes(-2, 1), 1000, 20.0},
        {"no note", {}, {}, {}, 640, std::nullopt},
        {"Fujifilm value past the note", {}, Fuji(3, 2, 400), {}, 1000, std::nullopt},
        {"Fujifilm zero denominator", {}, Fuji(3, 0), {}, 1000, std::nullopt},
    };
    for (const Case& c : cases) {
        const Bytes v1 = View(1, 0xE1, "Exif\0\0", 6, c.exif1);
        Bytes v2 = View(2, 0xE1, "Exif\0\0", 6, c.exif2);
        if (!c.mp2.empty()) v2 = View(2, 0xE2, "MPF\0", 4, c.mp2);
        const Bytes file = tsy::test::JoinAsMpo(v1, v2);
        EXPECT_NEAR(tsy::CameraOffsetX(file, c.width).value_or(1e9), c.offset.value_or(1e9), 1e-4)
            << c.name;
        // Cut anywhere, the file gives an answer or none, never a crash.
        for (std::size_t n = 0; n < file.size(); n += 7)
            tsy::CameraOffsetX(std::span<const std::uint8_t>(file.data(), n), c.width);
    }
}

}  // namespace
