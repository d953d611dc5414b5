#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "TestJpeg.h"
#include "input/CameraParallax.h"

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
        {"3DS note in image 1", Nintendo(-24.0f), {}, {}, 640, -24.0},
        {"3DS note, wider view", Nintendo(10.5f), {}, {}, 1280, 21.0},
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

}  // namespace
