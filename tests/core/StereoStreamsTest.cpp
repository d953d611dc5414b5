#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "../batch/TestMpo.h"
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

// The block some 3D tablets append: fields {type, size, data} counted first,
// then the block's offset from the end of the file and 0x1E 0x1A.
Bytes LifBlock(const std::vector<std::pair<std::uint32_t, Bytes>>& fields) {
    Bytes b(4);
    Put(b, 0, fields.size(), 4, true);
    for (const auto& [type, data] : fields) {
        const std::size_t at = b.size();
        b.resize(at + 8);
        Put(b, at, type, 4, true);
        Put(b, at + 4, data.size(), 4, true);
        b.insert(b.end(), data.begin(), data.end());
    }
    const std::size_t total = b.size() + 6;
    b.resize(total);
    Put(b, total - 6, total, 4, true);
    b[total - 2] = 0x1E, b[total - 1] = 0x1A;
    return b;
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

std::string Views(const char* key, int id0, int id1, double x0 = 0, double x1 = 0) {
    char json[300];
    std::snprintf(json, sizeof json,
                  R"({"views":[{"%s":{"blob_id":%d},"position":[%g,0,0]},)"
                  R"({"%s":{"blob_id":%d},"position":[%g,0,0]}]})",
                  key, id0, x0, key, id1, x1);
    return json;
}

tsy::StereoStreams Find(const Bytes& f) {
    return tsy::FindStereoStreams(std::span<const std::uint8_t>(f));
}

// Where a view's bytes lie in f, as "offset+size", or "-" for none.
std::string At(const Bytes& f, std::span<const std::uint8_t> v) {
    if (v.empty()) return "-";
    return std::to_string(v.data() - f.data()) + "+" + std::to_string(v.size());
}

std::string At(std::size_t offset, const Bytes& part) {
    return std::to_string(offset) + "+" + std::to_string(part.size());
}

}  // namespace

// Each case: the file, what it is, where its views lie and whether the
// reader is told something.
TEST(StereoStreams, FindsTheViewsOfEveryKindOfFile) {
    const Bytes a = MakeJpeg(48, 32, 1), b = MakeJpeg(48, 32, 2), small = MakeJpeg(24, 16, 3);
    const Bytes gainMap =
        WithSegment(b, 0xE1, "http://ns.adobe.com/xap/1.0/", Text("hdrgm:Version"));
    const Bytes jps = WithSegment(a, 0xE3, "_JPSJPS_", {0, 4, 0, 4, 2, 1});
    const std::string left = At(0, a), right = At(a.size(), b);
    struct Case {
        std::string name;
        Bytes file;
        Kind kind;
        std::string view1, view2;
        bool note;
    };
    std::vector<Case> cases = {
        {"one JPEG", a, Kind::Single, "all", "-", false},
        {"two JPEGs", Join({a, b}), Kind::TwoStream, left, right, false},
        {"then stray bytes", Join({a, b, {0xFF, 0xD8, 0xFF, 0x00, 1}}), Kind::TwoStream, left,
         right, false},
        {"second smaller", Join({a, small}), Kind::Single, "all", "-", true},
        {"three JPEGs", Join({a, b, b}), Kind::Single, "all", "-", true},
        {"gain map", Join({a, gainMap}), Kind::Single, "all", "-", false},
        {"JPS with thumbnail", Join({jps, small}), Kind::Single, "all", "-", false},
        {"no JPEG", Text("\x89PNG\r\n\x1A\n"), Kind::Single, "all", "-", false},
    };
    // A second stream cut short anywhere is one picture, with a note.
    for (const std::size_t cut : {std::size_t(2), std::size_t(3), std::size_t(200), b.size() - 1}) {
        const Bytes f = Join({a, Bytes(b.begin(), b.begin() + std::ptrdiff_t(cut))});
        cases.push_back({"cut at " + std::to_string(cut), f, Kind::Single, "all", "-", cut > 2});
    }
    // A metadata block naming the views: the right one may live inside it,
    // in either order, even of another size.
    const Bytes named = LifBlock({{5, b}, {8, Text(Views("image", -1, 5))}});
    cases.push_back(
        {"named", Join({a, named}), Kind::TwoStream, left, At(a.size() + 12, b), false});
    const Bytes older = LifBlock({{3, b}, {7, Text(Views("albedo", 3, -1, 0.1, 0.2))}});
    cases.push_back({"older, right first", Join({a, older}), Kind::TwoStream, At(a.size() + 12, b),
                     left, false});
    const Bytes swapped = LifBlock({{5, b}, {8, Text(Views("image", -1, 5, 0.03, -0.03))}});
    cases.push_back({"positions swapped", Join({a, swapped}), Kind::TwoStream, At(a.size() + 12, b),
                     left, false});
    const Bytes odd = LifBlock({{5, small}, {8, Text(Views("image", -1, 5))}});
    cases.push_back(
        {"named, smaller", Join({a, odd}), Kind::TwoStream, left, At(a.size() + 12, small), true});
    // A block without usable names: the pictures inside it count as they are.
    const Bytes broken = LifBlock({{5, b}, {8, Text("{\"views\": [")}});
    cases.push_back(
        {"broken JSON", Join({a, broken}), Kind::TwoStream, left, At(a.size() + 12, b), false});
    const Bytes depth = LifBlock({{5, b}, {6, small}, {8, Text("{\"views\":[{}]}")}});
    const Bytes withDepth = Join({a, depth});
    cases.push_back({"with depth map", withDepth, Kind::Single, "all", "-", true});
    const Bytes missing = LifBlock({{8, Text(Views("image", -1, 9))}});
    const Bytes lost = Join({a, missing});
    cases.push_back({"named view missing", lost, Kind::Single, "all", "-", false});

    for (const Case& c : cases) {
        const tsy::StereoStreams s = Find(c.file);
        EXPECT_EQ(s.kind, c.kind) << c.name;
        const std::string all = At(0, c.file);
        EXPECT_EQ(At(c.file, s.view1) + " " + At(c.file, s.view2),
                  (c.view1 == "all" ? all : c.view1) + " " + c.view2)
            << c.name;
        EXPECT_EQ(!s.notes.empty(), c.note)
            << c.name << ": " << (s.notes.empty() ? "" : s.notes[0]);
        EXPECT_EQ(s.sizesDiffer, c.name == "named, smaller") << c.name;
    }
}

// An MP index of two same-sized pictures is a pair whatever it types them
// and in either byte order; previews and pictures of another size are not.
TEST(StereoStreams, MpIndexOfAnyType) {
    const Bytes a = MakeJpeg(48, 32, 1), b = MakeJpeg(48, 32, 2), c = MakeJpeg(40, 24, 3);
    for (const bool big : {false, true})
        for (const auto& [type, second, pair] : {std::tuple{0x020002u, &b, true},
                                                 {0x000000u, &b, true},
                                                 {0x020003u, &b, true},
                                                 {0x030000u, &b, true},
                                                 {0x010001u, &b, false},
                                                 {0x010002u, &b, false},
                                                 {0x000000u, &c, false}}) {
            const MpoFile m = BuildMpo(a, *second, {.big = big, .type2 = type});
            const tsy::StereoStreams s = Find(m.file);
            SCOPED_TRACE(testing::Message() << std::hex << type << " big " << big);
            EXPECT_EQ(s.kind, pair ? Kind::Mpo : Kind::Single);
            EXPECT_EQ(At(m.file, s.view2), pair ? At(m.image2, *second) : "-");
            EXPECT_EQ(tsy::IsStereoFile("x.jpg", m.file), pair || type == 0x020002);
            // Cut inside view 2: one picture, and the reader is told.
            const Bytes cut(m.file.begin(), m.file.end() - 10);
            const tsy::StereoStreams t = Find(cut);
            EXPECT_EQ(t.kind, Kind::Single);
            EXPECT_EQ(t.notes.empty(), type == 0x010001 || type == 0x010002);
        }
}

// Pillow writes MPO files with the second picture typed 0; read as a pair
// in the order written, whatever the name.
TEST(StereoStreams, PillowMpoIsAPair) {
    ScratchDir dir("-pillow");
    const std::string path = dir / "pair.jpg";
    const std::string script =
        "from PIL import Image\n"
        "a = Image.new('RGB', (64, 48), (200, 30, 30))\n"
        "b = Image.new('RGB', (64, 48), (30, 30, 200))\n"
        "a.save('" +
        path + "', format='MPO', save_all=True, append_images=[b])\n";
    WriteAll(dir / "make.py", script);
    ASSERT_EQ(std::system(("/usr/bin/python3 " + dir / "make.py").c_str()), 0);
    const Bytes f = ReadAll(path);
    const tsy::StereoStreams s = Find(f);
    ASSERT_EQ(s.kind, Kind::Mpo);
    EXPECT_TRUE(tsy::IsStereoFile(path, f));
    tsy::PictureBuffer views[2];
    std::string error;
    ASSERT_TRUE(tsy::DecodeJpeg(s.view1, views[0], error)) << error;
    ASSERT_TRUE(tsy::DecodeJpeg(s.view2, views[1], error)) << error;
    EXPECT_GT(views[0].pixel(5, 5) >> 16 & 255, 150u);  // red first
    EXPECT_GT(views[1].pixel(5, 5) & 255, 150u);        // then blue
}

// The stream walk ends exactly at the EOI of baseline and progressive
// streams, skips a JPEG inside APP1, and knows a cut from broken bytes.
TEST(StereoStreams, StreamEnds) {
    const Bytes px = Pattern(40, 24, 1);
    const Bytes progressive = [&] {
        tjhandle tj = tjInitCompress();
        unsigned char* buf = nullptr;
        unsigned long size = 0;
        tjCompress2(tj, px.data(), 40, 0, 24, TJPF_RGB, &buf, &size, TJSAMP_420, 90,
                    TJFLAG_PROGRESSIVE);
        Bytes out(buf, buf + size);
        tjFree(buf);
        tjDestroy(tj);
        return out;
    }();
    for (const Bytes& j : {MakeJpeg(40, 24, 1), progressive,
                           WithSegment(MakeJpeg(40, 24, 1), 0xE1, "Exif", MakeJpeg(8, 8, 2))}) {
        const Bytes f = Join({j, {1, 2, 3}});
        EXPECT_EQ(tsy::JpegStreamEnd(f, 0).end, j.size());
        for (std::size_t cut = 0; cut < j.size(); cut += 7) {
            const tsy::JpegStreamSpan s =
                tsy::JpegStreamEnd(Bytes(j.begin(), j.begin() + std::ptrdiff_t(cut)), 0);
            ASSERT_EQ(s.end, 0u) << cut;
            ASSERT_EQ(s.cutShort, cut >= 2) << cut;
        }
    }
    Bytes broken = MakeJpeg(40, 24, 1);
    broken[2] = 0x12;  // no marker where one must be
    EXPECT_EQ(tsy::JpegStreamEnd(broken, 0).end + tsy::JpegStreamEnd(broken, 0).cutShort, 0u);
}

// Damaged anywhere, a file gives views inside it that start as JPEG streams.
TEST(StereoStreams, DamagedFilesNeverMisread) {
    const Bytes a = MakeJpeg(48, 32, 1), b = MakeJpeg(48, 32, 2);
    const Bytes good = Join({a, LifBlock({{5, b}, {8, Text(Views("image", -1, 5))}})});
    std::mt19937 rng(7);
    int pairs = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes f = good;
        for (int i = 0, n = 1 + int(rng() % 4); i < n; ++i)
            f[rng() % f.size()] = std::uint8_t(rng());
        if (rng() % 3 == 0) f.resize(rng() % f.size());
        const tsy::StereoStreams s = Find(f);
        pairs += s.kind != Kind::Single;
        for (const auto v : {s.view1, s.view2}) {
            if (v.empty()) continue;
            ASSERT_TRUE(v.data() >= f.data() && v.data() + v.size() <= f.data() + f.size());
            if (s.kind != Kind::Single) {
                ASSERT_TRUE(v.size() >= 4 && v[0] == 0xFF && v[1] == 0xD8) << round;
                ASSERT_TRUE(v[v.size() - 2] == 0xFF && v[v.size() - 1] == 0xD9) << round;
            }
        }
    }
    EXPECT_GT(pairs, 1000);
}
