#include <gtest/gtest.h>

#include <random>
#include <string>

#include "OutputTestFiles.h"
#include "TestJpeg.h"
#include "input/JpegDecoder.h"
#include "input/JpegStream.h"
#include "input/MpoReader.h"
#include "input/StereoStreams.h"

using namespace tsy::test;
using Kind = tsy::StreamKind;

namespace {

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// The block some 3D tablets append: the count of fields {type, size, data},
// the fields, the block's offset from the end of the file and 0x1E 0x1A.
// Field data starts 12 bytes into the block.
Bytes Lif(const Bytes& picture, int type, const std::string& json, const Bytes& extra = {}) {
    Bytes b(4);
    const auto field = [&](std::uint32_t t, const Bytes& data) {
        b.resize(b.size() + 8);
        Put(b, b.size() - 8, t, 4, true), Put(b, b.size() - 4, data.size(), 4, true);
        b.insert(b.end(), data.begin(), data.end());
    };
    field(5, picture);
    if (!extra.empty()) field(6, extra);
    field(std::uint32_t(type), Bytes(json.begin(), json.end()));
    Put(b, 0, extra.empty() ? 2 : 3, 4, true);
    b.resize(b.size() + 6);
    Put(b, b.size() - 6, b.size(), 4, true);
    b[b.size() - 2] = 0x1E, b[b.size() - 1] = 0x1A;
    return b;
}

// Two views with their pictures' ids (-1: the file's first JPEG) and camera
// positions.
std::string Views(const char* key, int id0, int id1, double x0 = 0, double x1 = 0) {
    const auto view = [&](int id, double x) {
        return "{\"" + std::string(key) + "\":{\"blob_id\":" + std::to_string(id) +
               "},\"position\":[" + std::to_string(x) + ",0,0]}";
    };
    return "{\"views\":[" + view(id0, x0) + "," + view(id1, x1) + "]}";
}

tsy::StereoStreams Find(const Bytes& f) {
    return tsy::FindStereoStreams(std::span<const std::uint8_t>(f));
}

// Where a view lies in f as "offset+size"; "-" for none.
std::string At(const Bytes& f, std::span<const std::uint8_t> v) {
    return v.empty() ? "-" : std::to_string(v.data() - f.data()) + "+" + std::to_string(v.size());
}

}  // namespace

// Each file: what it is, where its views lie ("all": the file, one picture)
// and whether the reader is told something.
TEST(StereoStreams, FindsTheViewsOfEveryKindOfFile) {
    const Bytes a = MakeJpeg(48, 32, 1), b = MakeJpeg(48, 32, 2), small = MakeJpeg(24, 16, 3);
    const Bytes gainMap =
        WithSegment(b, 0xE1, "http://ns.adobe.com/xap/1.0/", {'h', 'd', 'r', 'g', 'm', ':'});
    const Bytes jps = WithSegment(a, 0xE3, "_JPSJPS_", {0, 4, 0, 4, 2, 1});
    const std::string A = "0+" + std::to_string(a.size()), B = std::to_string(a.size()) + "+",
                      inBlock = std::to_string(a.size() + 12) + "+";
    const std::string sb = std::to_string(b.size()), ss = std::to_string(small.size());
    const std::tuple<std::string, Bytes, std::string, bool> cases[] = {
        {"one JPEG", a, "all -", false},
        {"two JPEGs", Join({a, b}), A + " " + B + sb, false},
        {"stray bytes", Join({a, b, {0xFF, 0xD8, 0xFF, 0x00, 1}}), A + " " + B + sb, false},
        {"second smaller", Join({a, small}), "all -", true},
        {"three", Join({a, b, b}), "all -", true},
        {"gain map", Join({a, gainMap}), "all -", false},
        {"JPS and thumbnail", Join({jps, small}), "all -", false},
        {"no JPEG", {0x89, 'P', 'N', 'G'}, "all -", false},
        {"cut at 3", Join({a, Bytes(b.begin(), b.begin() + 3)}), "all -", true},
        {"cut at end", Join({a, Bytes(b.begin(), b.end() - 1)}), "all -", true},
        // Views named by a metadata block: the right one may live inside it,
        // in either order, in older files under another key, of another size.
        {"named", Join({a, Lif(b, 8, Views("image", -1, 5))}), A + " " + inBlock + sb, false},
        {"older", Join({a, Lif(b, 7, Views("albedo", 5, -1))}), inBlock + sb + " " + A, false},
        {"swapped", Join({a, Lif(b, 8, Views("image", -1, 5, 1, -1))}), inBlock + sb + " " + A,
         false},
        {"named smaller", Join({a, Lif(small, 8, Views("image", -1, 5))}), A + " " + inBlock + ss,
         true},
        // Without usable names, the pictures in the block count as they are.
        {"missing", Join({a, Lif(b, 8, Views("image", -1, 9))}), A + " " + inBlock + sb, false},
        {"broken JSON", Join({a, Lif(b, 8, "{\"views\": [")}), A + " " + inBlock + sb, false},
        {"depth map", Join({a, Lif(b, 8, "{\"views\":[{}]}", small)}), "all -", true},
    };
    for (const auto& [name, file, views, note] : cases) {
        const tsy::StereoStreams s = Find(file);
        EXPECT_EQ(At(file, s.view1) + " " + At(file, s.view2),
                  views.substr(0, 3) == "all" ? At(file, file) + " -" : views)
            << name;
        EXPECT_EQ(s.kind == Kind::Single, views.back() == '-') << name;
        EXPECT_EQ(!s.notes.empty(), note) << name << ": " << (note ? "" : s.notes[0]);
        EXPECT_EQ(s.sizesDiffer, name == "named smaller") << name;
    }
}

// An MP index of two same-sized pictures is a pair whatever it types them
// and in either byte order; previews and pictures of another size are not.
TEST(StereoStreams, MpIndexOfAnyType) {
    const Bytes a = MakeJpeg(48, 32, 1), b = MakeJpeg(48, 32, 2), c = MakeJpeg(40, 24, 3);
    for (const bool big : {false, true})
        for (const auto& [type, second, pair] : {std::tuple{0x020002u, &b, true},
                                                 {0x000000u, &b, true},
                                                 {0x030000u, &b, true},
                                                 {0x010001u, &b, false},
                                                 {0x010002u, &b, false},
                                                 {0x000000u, &c, false}}) {
            const MpoFile m = BuildMpo(a, *second, {.big = big, .type2 = type});
            SCOPED_TRACE(testing::Message() << std::hex << type << " big " << big);
            const tsy::StereoStreams s = Find(m.file);
            EXPECT_EQ(s.kind, pair ? Kind::Mpo : Kind::Single);
            EXPECT_EQ(s.view2.data(), pair ? m.file.data() + m.image2 : nullptr);
            EXPECT_EQ(tsy::IsStereoFile("x.jpg", m.file), pair || type == 0x020002);
            // Cut inside view 2: one picture, and the reader is told.
            const tsy::StereoStreams t = Find(Bytes(m.file.begin(), m.file.end() - 10));
            EXPECT_EQ(t.kind, Kind::Single);
            EXPECT_EQ(t.notes.empty(), type == 0x010001 || type == 0x010002);
        }
}

// Pillow, an independent writer, types the second picture of an MPO 0.
TEST(StereoStreams, PillowMpoIsAPair) {
    ScratchDir dir("-pillow");
    const std::string path = dir / "pair.jpg";
    WriteAll(dir / "make.py",
             "from PIL import Image\n"
             "a = Image.new('RGB', (64, 48), (200, 30, 30))\n"
             "b = Image.new('RGB', (64, 48), (30, 30, 200))\n"
             "a.save('" +
                 path + "', 'MPO', save_all=True, append_images=[b])\n");
    ASSERT_EQ(std::system(("/usr/bin/python3 " + dir / "make.py").c_str()), 0);
    const Bytes f = ReadAll(path);
    const tsy::StereoStreams s = Find(f);
    ASSERT_EQ(s.kind, Kind::Mpo);
    EXPECT_TRUE(tsy::IsStereoFile(path, f));
    tsy::PictureBuffer first, second;
    std::string error;
    ASSERT_TRUE(tsy::DecodeJpeg(s.view1, first, error) && tsy::DecodeJpeg(s.view2, second, error));
    EXPECT_GT(first.pixel(5, 5) >> 16 & 255, 150u);  // red first
    EXPECT_GT(second.pixel(5, 5) & 255, 150u);       // then blue
}

// The walk ends right after the EOI of baseline and progressive streams,
// steps over a JPEG inside APP1, and tells a cut from broken bytes.
TEST(StereoStreams, StreamEnds) {
    const Bytes progressive =
        Compress(Pattern(40, 24, 1), 40, 24, TJPF_RGB, TJSAMP_420, 90, TJFLAG_PROGRESSIVE);
    for (const Bytes& j : {MakeJpeg(40, 24, 1), progressive,
                           WithSegment(MakeJpeg(40, 24, 1), 0xE1, "Exif", MakeJpeg(8, 8, 2))}) {
        EXPECT_EQ(tsy::JpegStreamEnd(Join({j, {1, 2, 3}}), 0).end, j.size());
        for (std::size_t cut = 0; cut < j.size(); cut += 7) {
            const auto s = tsy::JpegStreamEnd(Bytes(j.begin(), j.begin() + std::ptrdiff_t(cut)), 0);
            ASSERT_EQ(s.end * 2 + s.cutShort, cut >= 2 ? 1u : 0u) << cut;
        }
    }
    Bytes broken = MakeJpeg(40, 24, 1);
    broken[2] = 0x12;  // no marker where one must be
    const auto s = tsy::JpegStreamEnd(broken, 0);
    EXPECT_EQ(s.end + s.cutShort, 0u);
}

// Damaged anywhere, a file read as a pair gives two complete streams inside it.
TEST(StereoStreams, DamagedFilesNeverMisread) {
    const Bytes good =
        Join({MakeJpeg(48, 32, 1), Lif(MakeJpeg(48, 32, 2), 8, Views("image", -1, 5))});
    std::mt19937 rng(7);
    int pairs = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes f = good;
        for (int i = 0, n = 1 + int(rng() % 4); i < n; ++i)
            f[rng() % f.size()] = std::uint8_t(rng());
        // A copy whose block ends where the data does, for the sanitizer.
        if (rng() % 3 == 0) f = Bytes(f.begin(), f.begin() + std::ptrdiff_t(rng() % f.size()));
        const tsy::StereoStreams s = Find(f);
        ASSERT_EQ(s.view2.empty(), s.kind == Kind::Single) << round;
        if (s.kind == Kind::Single) continue;
        ++pairs;
        for (const auto v : {s.view1, s.view2}) {
            ASSERT_TRUE(v.data() >= f.data() && v.data() + v.size() <= f.data() + f.size());
            ASSERT_TRUE(v.size() >= 4 && v[0] == 0xFF && v[1] == 0xD8 && v.back() == 0xD9) << round;
        }
    }
    EXPECT_GT(pairs, 1000);
}
