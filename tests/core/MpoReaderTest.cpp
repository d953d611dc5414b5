#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <random>

#include "../batch/TestMpo.h"
#include "OutputTestFiles.h"
#include "TestJpeg.h"
#include "input/MpoReader.h"

using namespace tsy::test;

namespace {

const std::string kSearching = "Searching for Image 2 ...";
const std::string kScanning = "Scanning for Image 2: ";
const std::string kExtracting = "Extracting Image 2 ...";

struct Captions : tsy::ProgressSink {
    std::vector<std::string> seen;
    void SetCap(const std::string& text) override { seen.push_back(text); }
    void LetEventsRun() override { ADD_FAILURE() << "the search must not let events run"; }
    std::vector<int> Percents() const {
        std::vector<int> p;
        for (const std::string& s : seen)
            if (s.rfind(kScanning, 0) == 0 && s.back() == '%')
                p.push_back(std::atoi(s.c_str() + kScanning.size()));
        return p;
    }
};

// Two JPEGs (48x32, then 40x24) joined as a camera writes them.
MpoFile Build(const MpoParts& s = {}) {
    return BuildMpo(MakeJpeg(48, 32, 1), MakeJpeg(40, 24, 2), s);
}

// A copy whose heap block ends exactly where the data does, so that the
// sanitizer build reports any read past the end.
Bytes Cut(const Bytes& b, std::size_t n) {
    return Bytes(b.begin(), b.begin() + std::ptrdiff_t(n));
}

std::int64_t Find(const Bytes& f, Captions* seen = nullptr) {
    Captions local;
    return tsy::FindImage2Offset(std::span<const std::uint8_t>(f), seen ? *seen : local);
}

std::string Write(const ScratchDir& dir, const std::string& name, const Bytes& b) {
    WriteAll(dir / name, std::string(b.begin(), b.end()));
    return dir / name;
}

}  // namespace

TEST(MpoIndex, GivesImage2WithoutAScan) {
    // A stray stream start right behind image 1, where its size points.
    const Bytes stray = {0xFF, 0xD8, 0xFF, 0xE0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    std::vector<MpoParts> variants;
    for (const bool big : {false, true}) {
        for (const std::uint32_t ifdGap : {0u, 22u})
            for (const int extras : {0, 1, 2})
                variants.push_back({.big = big, .ifdGap = ifdGap, .extras = extras});
        // The second entry's offset comes before the first entry's size, and
        // a first image of 16 MiB needs all four size bytes.
        variants.push_back({.big = big, .gap = stray});
        variants.push_back({.big = big, .size1 = 12345});
        variants.push_back({.big = big, .pad = std::size_t(16) << 20, .offset2 = 0});
    }
    for (const MpoParts& s : variants) {
        const MpoFile m = Build(s);
        Captions c;
        EXPECT_EQ(Find(m.file, &c), std::int64_t(m.image2))
            << s.big << " " << s.ifdGap << " " << s.extras << " " << s.size1 << " " << s.pad;
        EXPECT_EQ(c.seen, std::vector<std::string>{kSearching});
    }
}

// No index, an index pointing past the end, into image 1 or at the EXIF
// thumbnail (a JPEG stream too, but never image 2), or a damaged index field.
TEST(MpoScan, FindsViewsTheIndexCannotGive) {
    const Bytes thumbnail = MakeJpeg(16, 16, 3);
    std::vector<MpoFile> files;
    for (MpoParts s : {MpoParts{.mpf = false}, MpoParts{.size1 = 0xFFFFFFFF, .offset2 = 0x7FFFFFF0},
                       MpoParts{.size1 = 100, .offset2 = 3}}) {
        s.gap.resize(21 - Build(s).size1 % 16);  // image 2 at 5 past a multiple of 16
        files.push_back(Build(s));
    }
    files.push_back(Build({.mpf = false, .thumbnail = thumbnail}));
    files.push_back(
        Build({.thumbnail = thumbnail, .size1 = std::int64_t(files.back().thumb), .offset2 = 0}));
    const MpoFile good = Build();
    const std::size_t entry3 = good.mpStart + 8 + 2 + 24;  // the MPEntry field
    // Byte-order mark, IFD offset, counts, list offset, no MPEntry tag at all.
    const std::pair<std::size_t, std::uint32_t> patches[] = {
        {good.mpStart, 0x2A4D4949}, {good.mpStart + 4, 0xFFFFFFF0},
        {good.mpStart + 4, 60000},  {good.mpStart + 8, 0xFFFF},
        {entry3 + 4, 0xFFFFFFFF},   {entry3 + 4, 3},
        {entry3 + 8, 0xFFFFFFF0},   {entry3, 0xB001}};
    for (const auto& [at, value] : patches) {
        files.push_back(good);
        Put(files.back().file, at, value, at == good.mpStart + 8 || at == entry3 ? 2 : 4);
    }
    // Image 1 no more than a start and one segment: image 2 begins right
    // where its header walk ends, so the scan must start on that very byte.
    files.push_back(
        BuildMpo({0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 0, 0}, MakeJpeg(8, 8, 2), {.mpf = false}));
    ASSERT_EQ(files.back().image2, 8u);
    for (std::size_t i = 0; i < files.size(); ++i) {
        Captions c;
        EXPECT_EQ(Find(files[i].file, &c), std::int64_t(files[i].image2)) << "case " << i;
        EXPECT_FALSE(c.Percents().empty()) << "case " << i;
    }
}

// Cut anywhere, image 2 is found once its start is there; damaged anywhere,
// what is found is a stream start inside the file.
TEST(MpoRobustness, TruncatedOrRandomlyDamagedCopies) {
    const MpoFile m = Build({.extras = 2, .thumbnail = MakeJpeg(16, 16, 3)});
    for (std::size_t cut = 0; cut <= m.file.size();
         cut += (cut < 1500 || cut + 40 > m.image2) && cut < m.image2 + 40 ? 1 : 29) {
        const std::int64_t want = cut >= m.image2 + 2 ? std::int64_t(m.image2) : 0;
        ASSERT_EQ(Find(Cut(m.file, cut)), want) << "cut at " << cut;
    }
    std::mt19937 rng(20240611);
    int found = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes f = m.file;
        for (int i = 0, hits = 1 + int(rng() % 6); i < hits; ++i) {
            // Mostly the header segments, where the parsing happens.
            const std::size_t span = rng() % 4 ? std::min<std::size_t>(f.size(), 1200) : f.size();
            f[rng() % span] = std::uint8_t(rng() % 3 ? rng() : 0xFF);
        }
        if (rng() % 4 == 0) f = Cut(f, rng() % f.size());
        const std::int64_t off = Find(f);
        if (off != 0) {
            ASSERT_TRUE(off > 0 && std::size_t(off) + 2 <= f.size()) << off;
            ASSERT_TRUE(f[off] == 0xFF && f[off + 1] == 0xD8) << off;
        }
        found += off == std::int64_t(m.image2);
    }
    EXPECT_GT(found, 1000);
}

TEST(MpoKind, TheIndexDecidesBeforeTheName) {
    const std::tuple<MpoParts, const char*, bool> cases[] = {
        {{}, "IMG_1.JPG", true},                    // disparity view
        {{.big = true}, "IMG_1.jpeg", true},        //
        {{.type2 = 0x010001}, "PXL_1.MPO", false},  // large thumbnail only
        {{.type2 = 0x010002}, "PXL_1.jpg", false},  //
        {{.type2 = 0x020003}, "angle.jpg", false},  // other kinds: the name decides
        {{.type2 = 0x020003}, "angle.mpo", true},   //
        {{.mpf = false}, "pair.jpg", false},        // no index: the name decides
        {{.mpf = false}, "pair.mpo", true},         //
    };
    for (const auto& [parts, name, pair] : cases) {
        const MpoFile m = Build(parts);
        Captions seen;
        const auto view2 = tsy::LocateMpoImage2(name, std::span<const std::uint8_t>(m.file), seen);
        EXPECT_EQ(view2.data(), pair ? m.file.data() + m.image2 : nullptr) << name;
        EXPECT_EQ(view2.size(), pair ? m.file.size() - m.image2 : 0) << name;
        EXPECT_EQ(seen.seen.empty() ? "" : seen.seen.back(), pair ? kExtracting : "") << name;
    }
}

// An MPO's second view is found; a plain JPEG named .mpo is scanned to its
// end, one caption per percent, and gives nothing.
TEST(MpoFiles, Image2OfAnMpoAndNothingElse) {
    ScratchDir dir("-mpo");
    const MpoFile m = Build({.big = true});
    const std::string path = Write(dir, "pair.MPO", m.file);
    Captions c;
    EXPECT_EQ(tsy::FindImage2Offset(path, c), std::int64_t(m.image2));
    EXPECT_EQ(c.seen, (std::vector<std::string>{kSearching}));

    Captions scan;
    const Bytes plain = MakeJpeg(120, 90, 4);
    EXPECT_TRUE(tsy::LocateMpoImage2("p.mpo", plain, scan).empty());
    // One caption a percent to 100, from a start after image 1's headers.
    ASSERT_EQ(scan.seen.at(0), kSearching);
    std::vector<int> want(scan.seen.size() - 1);
    std::iota(want.begin(), want.end(), 101 - int(want.size()));
    EXPECT_EQ(scan.Percents(), want);
    EXPECT_TRUE(want.size() > 51 && want.size() <= 100) << want.size();
    for (const Bytes& b : {Bytes{}, Bytes{0xFF, 0xD8, 0xFF}}) {
        EXPECT_TRUE(tsy::LocateMpoImage2("tiny.mpo", b, c).empty());
        EXPECT_EQ(tsy::FindImage2Offset(Write(dir, "tiny.mpo", b), c), 0);
    }
    EXPECT_EQ(tsy::FindImage2Offset(dir / "missing.mpo", c), 0);
}
