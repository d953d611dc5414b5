#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdio>
#include <string>

#include "OutputTestFiles.h"
#include "TestJpeg.h"
#include "input/JpsDescriptor.h"
#include "input/PngStereo.h"

using namespace tsy::test;

namespace {

// What exiftool, an independent reader, makes of the bytes: "Tag: value" lines.
std::string Exiftool(const Bytes& file, const std::string& tags) {
    ScratchDir dir("-marks");
    WriteAll(dir / "f", std::string(file.begin(), file.end()));
    std::string out;
    FILE* p = ::popen(("exiftool -s2 -n " + tags + " " + dir / "f").c_str(), "r");
    for (char buf[256]; p && std::fgets(buf, sizeof buf, p);)
        out += buf;
    EXPECT_TRUE(p && ::pclose(p) == 0) << "exiftool is needed (scripts/install-deps.sh)";
    return out;
}

// A JPEG whose APP3 holds "_JPSJPS_" and the given descriptor bytes.
Bytes Jps(const Bytes& descriptor) {
    return WithSegment(MakeJpeg(32, 16, 1), 0xE3, "_JPSJPS_", descriptor);
}

// A gray 8 x 2 PNG with an sTER chunk of the given data before its pixels
// (none when empty) or after them.
Bytes Png(const Bytes& ster, bool before = true) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto chunk = [&](const char* type, const Bytes& data) {
        const std::size_t at = png.size();
        png.resize(at + 8);
        Put(png, at, data.size(), 4, true);
        std::memcpy(&png[at + 4], type, 4);
        png.insert(png.end(), data.begin(), data.end());
        png.resize(png.size() + 4);
        Put(png, png.size() - 4, crc32(0, &png[at + 4], uInt(data.size() + 4)), 4, true);
    };
    Bytes rows(18, 0), packed(64);
    uLongf size = packed.size();
    compress(packed.data(), &size, rows.data(), rows.size());
    packed.resize(size);
    chunk("IHDR", {0, 0, 0, 8, 0, 0, 0, 2, 8, 0, 0, 0, 0});
    if (before && !ster.empty()) chunk("sTER", ster);
    chunk("IDAT", packed);
    if (!before) chunk("sTER", ster);
    chunk("IEND", {});
    return png;
}

}  // namespace

TEST(StereoMarks, JpsDescriptors) {
    using S = tsy::JpsStatus;
    // After "_JPSJPS_": block length, separation, flags, layout, type; the
    // flags read back as half height + 2 half width + 4 left first.
    const std::tuple<Bytes, S, int, int> cases[] = {
        {{0, 4, 10, 6, 2, 1, 0, 2, 'h', 'i'}, S::Valid, 6, 10},
        {{0, 4, 0, 1, 3, 1}, S::Valid, 1, 0},
        {{0, 4, 0, 0, 1, 1}, S::Valid, 0, 0},
        {{0, 8, 0, 4, 4, 1, 9, 9, 9, 9}, S::Valid, 4, 0},
        {{0, 4, 0, 0, 2, 0}, S::Valid, 0, 0},    // one picture: the right eye's
        {{0, 4, 0, 0, 5, 1}, S::Invalid, 0, 0},  // unknown layout
        {{0, 4, 0, 0, 0, 1}, S::Invalid, 0, 0},
        {{0, 4, 0, 0, 3, 0}, S::Invalid, 0, 0},  // one picture, unknown eye
        {{0, 4, 0, 0, 2, 7}, S::Invalid, 0, 0},  // unknown type
        {{0, 2, 0, 0, 2, 1}, S::Invalid, 0, 0},  // header shorter than 4
        {{0, 4, 0, 0}, S::Invalid, 0, 0},        // cut short
        {{}, S::Invalid, 0, 0},
    };
    for (const auto& [bytes, status, flags, separation] : cases) {
        const tsy::JpsRead r = tsy::ReadJpsDescriptor(Jps(bytes));
        const tsy::JpsDescriptor& d = r.descriptor;
        SCOPED_TRACE(testing::PrintToString(bytes));
        EXPECT_EQ(r.status, status);
        EXPECT_EQ(r.reason.empty(), status == S::Valid) << r.reason;
        if (status != S::Valid) continue;
        EXPECT_EQ(d.stereo, bytes[5] == 1);
        EXPECT_TRUE(!d.stereo || int(d.layout) == bytes[4]);
        EXPECT_EQ(d.halfHeight + 2 * d.halfWidth + 4 * d.leftFirst, flags);
        EXPECT_EQ(d.separation, separation);
    }
    EXPECT_EQ(tsy::ReadJpsDescriptor(MakeJpeg(8, 8, 1)).status, S::Absent);
    EXPECT_EQ(tsy::ReadJpsDescriptor(WithSegment(MakeJpeg(8, 8, 1), 0xE3, "_JPSJPX_", {0})).status,
              S::Absent);
    // exiftool reads the same bytes the same way: they are the format's.
    EXPECT_EQ(Exiftool(Jps({0, 4, 10, 6, 2, 1, 0, 2, 'h', 'i'}), "-JPS:all"),
              "JPSSeparation: 10\nJPSFlags: 6\nJPSLayout: 2\nJPSType: 1\nJPSComment: hi\n");
    EXPECT_EQ(Exiftool(Jps({0, 4, 0, 1, 3, 1, 0, 0}), "-JPS:all"),
              "JPSSeparation: 0\nJPSFlags: 1\nJPSLayout: 3\nJPSType: 1\n");
}

TEST(StereoMarks, PngSter) {
    using S = tsy::SterStatus;
    const Bytes whole = Png({1});
    const auto cut = [&](std::ptrdiff_t n) { return Bytes(whole.begin(), whole.begin() + n); };
    const std::tuple<Bytes, S, bool> cases[] = {
        {Png({0}), S::Valid, false},
        {Png({1}), S::Valid, true},
        {Png({2}), S::Invalid, false},
        {Png({1, 0}), S::Invalid, false},
        {Png({}), S::Absent, false},
        {Png({1}, false), S::Absent, false},  // after the pixels
        {cut(42), S::Valid, true},
        {cut(41), S::Absent, false},
        {MakeJpeg(8, 8, 1), S::Absent, false},
    };
    for (const auto& [png, status, leftFirst] : cases) {
        const tsy::PngSter s = tsy::ReadPngSter(png);
        EXPECT_EQ(s.status, status) << png.size();
        EXPECT_EQ(s.reason.empty(), status != S::Invalid) << s.reason;
        EXPECT_EQ(s.leftFirst, leftFirst);
    }
    for (const int mode : {0, 1})
        EXPECT_EQ(Exiftool(Png({std::uint8_t(mode)}), "-StereoMode"),
                  "StereoMode: " + std::to_string(mode) + "\n");
}

