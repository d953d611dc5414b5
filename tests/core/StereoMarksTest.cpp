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

// What exiftool, an independent reader, makes of a file: "Tag: value" lines.
std::string Exiftool(const std::string& path, const std::string& tags) {
    std::string out;
    if (FILE* p = ::popen(("exiftool -s2 -n " + tags + " '" + path + "'").c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p))
            out += buf;
        EXPECT_EQ(::pclose(p), 0) << "exiftool is needed (scripts/install-deps.sh)";
    }
    return out;
}

// A JPEG whose APP3 holds "_JPSJPS_" and the given descriptor bytes.
Bytes Jps(const Bytes& descriptor) {
    return WithSegment(MakeJpeg(32, 16, 1), 0xE3, "_JPSJPS_", descriptor);
}

void Chunk(Bytes& png, const char* type, const Bytes& data) {
    const std::size_t at = png.size();
    png.resize(at + 8);
    Put(png, at, data.size(), 4, true);
    std::memcpy(&png[at + 4], type, 4);
    png.insert(png.end(), data.begin(), data.end());
    const uLong crc = crc32(crc32(0, &png[at + 4], 4), data.data(), uInt(data.size()));
    png.resize(png.size() + 4);
    Put(png, png.size() - 4, crc, 4, true);
}

// A gray 8 x 2 PNG with the sTER data before or after its pixels.
Bytes Png(const Bytes& ster, bool before = true) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Chunk(png, "IHDR", {0, 0, 0, 8, 0, 0, 0, 2, 8, 0, 0, 0, 0});
    Bytes rows(18, 0), packed(64);
    uLongf size = packed.size();
    compress(packed.data(), &size, rows.data(), rows.size());
    packed.resize(size);
    if (before && !ster.empty()) Chunk(png, "sTER", ster);
    Chunk(png, "IDAT", packed);
    if (!before) Chunk(png, "sTER", ster);
    Chunk(png, "IEND", {});
    return png;
}

}  // namespace

TEST(StereoMarks, JpsDescriptors) {
    using S = tsy::JpsStatus;
    using L = tsy::JpsLayout;
    // Bytes after "_JPSJPS_": block length, separation, flags, layout, type.
    const std::tuple<Bytes, S, L, int, int> cases[] = {
        {{0, 4, 10, 6, 2, 1, 0, 2, 'h', 'i'}, S::Valid, L::SideBySide, 6, 10},
        {{0, 4, 0, 1, 3, 1}, S::Valid, L::OverUnder, 1, 0},
        {{0, 4, 0, 0, 1, 1}, S::Valid, L::Interleaved, 0, 0},
        {{0, 8, 0, 4, 4, 1, 9, 9, 9, 9}, S::Valid, L::Anaglyph, 4, 0},
        {{0, 4, 0, 0, 2, 0}, S::Valid, L::SideBySide, 0, 0},  // mono: right eye
        {{0, 4, 0, 0, 5, 1}, S::Invalid, {}, 0, 0},           // unknown layout
        {{0, 4, 0, 0, 0, 1}, S::Invalid, {}, 0, 0},
        {{0, 4, 0, 0, 3, 0}, S::Invalid, {}, 0, 0},  // mono, unknown eye
        {{0, 4, 0, 0, 2, 7}, S::Invalid, {}, 0, 0},  // unknown type
        {{0, 2, 0, 0, 2, 1}, S::Invalid, {}, 0, 0},  // header shorter than 4
        {{0, 4, 0, 0}, S::Invalid, {}, 0, 0},        // cut short
        {{}, S::Invalid, {}, 0, 0},
    };
    for (const auto& [bytes, status, layout, flags, separation] : cases) {
        const tsy::JpsRead r = tsy::ReadJpsDescriptor(Jps(bytes));
        SCOPED_TRACE(testing::PrintToString(bytes));
        EXPECT_EQ(r.status, status);
        EXPECT_EQ(r.reason.empty(), status == S::Valid) << r.reason;
        if (status != S::Valid) continue;
        const tsy::JpsDescriptor& d = r.descriptor;
        EXPECT_EQ(d.stereo, bytes[5] == 1);
        EXPECT_TRUE(!d.stereo || d.layout == layout);
        EXPECT_EQ(d.halfHeight + 2 * d.halfWidth + 4 * d.leftFirst, flags);
        EXPECT_EQ(d.separation, separation);
    }
    EXPECT_EQ(tsy::ReadJpsDescriptor(MakeJpeg(8, 8, 1)).status, S::Absent);
    EXPECT_EQ(
        tsy::ReadJpsDescriptor(WithSegment(MakeJpeg(8, 8, 1), 0xE3, "_JPSJPX_", {0, 4})).status,
        S::Absent);
}

// The descriptors as exiftool reads them, so that the bytes above are the
// format's and not only this reader's idea of it.
TEST(StereoMarks, ExiftoolReadsTheSameJps) {
    ScratchDir dir("-jps");
    const std::tuple<Bytes, std::string> cases[] = {
        {{0, 4, 10, 6, 2, 1, 0, 2, 'h', 'i'},
         "JPSSeparation: 10\nJPSFlags: 6\nJPSLayout: 2\nJPSType: 1\nJPSComment: hi\n"},
        {{0, 4, 0, 1, 3, 1, 0, 0}, "JPSSeparation: 0\nJPSFlags: 1\nJPSLayout: 3\nJPSType: 1\n"},
    };
    for (const auto& [bytes, want] : cases) {
        const std::string path = dir / "x.jps";
        const Bytes f = Jps(bytes);
        WriteAll(path, std::string(f.begin(), f.end()));
        EXPECT_EQ(Exiftool(path, "-JPS:all"), want);
        const tsy::JpsDescriptor d = tsy::ReadJpsDescriptor(f).descriptor;
        EXPECT_EQ(want.find("JPSFlags: " +
                            std::to_string(d.halfHeight + 2 * d.halfWidth + 4 * d.leftFirst)),
                  want.find("JPSFlags"));
        EXPECT_NE(want.find("JPSLayout: " + std::to_string(int(d.layout))), std::string::npos);
    }
}

TEST(StereoMarks, PngSter) {
    using S = tsy::SterStatus;
    ScratchDir dir("-ster");
    const Bytes whole = Png({1});
    const auto cut = [&](std::ptrdiff_t n) { return Bytes(whole.begin(), whole.begin() + n); };
    const std::tuple<Bytes, S, bool> cases[] = {
        {Png({0}), S::Valid, false},   {Png({1}), S::Valid, true},
        {Png({2}), S::Invalid, false}, {Png({1, 0}), S::Invalid, false},
        {Png({}), S::Absent, false},   {Png({1}, false), S::Absent, false},
        {cut(42), S::Valid, true},     {cut(41), S::Absent, false},
        {cut(36), S::Absent, false},   {MakeJpeg(8, 8, 1), S::Absent, false},
    };
    for (const auto& [png, status, leftFirst] : cases) {
        const tsy::PngSter s = tsy::ReadPngSter(png);
        EXPECT_EQ(s.status, status) << png.size();
        EXPECT_EQ(s.reason.empty(), status != S::Invalid) << s.reason;
        EXPECT_EQ(s.leftFirst, leftFirst);
    }
    // exiftool reads the whole marks the same way.
    for (const int mode : {0, 1}) {
        const Bytes png = Png({std::uint8_t(mode)});
        WriteAll(dir / "s.png", std::string(png.begin(), png.end()));
        EXPECT_EQ(Exiftool(dir / "s.png", "-StereoMode"),
                  "StereoMode: " + std::to_string(mode) + "\n");
    }
}

// Each view as wide as the other and the second on a multiple of 8, at
// most 7 columns of padding, or no pair.
TEST(StereoMarks, SterGeometry) {
    for (int width = 0; width <= 80; ++width) {
        int view = -1, second = -1;
        const bool ok = tsy::SterGeometry(width, view, second);
        bool fits = false;
        for (int v = 1; 2 * v <= width; ++v)
            fits |= (width - v) % 8 == 0 && width - 2 * v <= 7;
        ASSERT_EQ(ok, fits) << width;
        ASSERT_TRUE(!ok || (second % 8 == 0 && second + view == width && second - view <= 7))
            << width;
    }
}
