#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "TestJpeg.h"
#include "input/MpoReader.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

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

struct MpoParts {
    bool big = false;
    std::uint32_t ifdGap = 0;  // index IFD at 8 + ifdGap
    int extras = 0;            // ImageUIDList and TotalFrames: 1 before MPEntry, 2 after
    bool mpf = true;
    bool thumbnail = false;                 // EXIF APP1 holding a small JPEG
    std::size_t pad = 0;                    // COM bytes in image 1's header
    Bytes gap = {};                         // bytes between the two images
    std::int64_t size1 = -1, offset2 = -1;  // -1: the true values
    std::uint32_t type2 = 0x020002;         // image 2's MP type: a disparity view
};

struct Mpo {
    Bytes file;
    std::size_t image2 = 0, size1 = 0, mpStart = 0, thumb = 0;
};

void Put(Bytes& b, std::size_t at, std::uint64_t v, int n, bool big) {
    for (int i = 0; i < n; ++i)
        b[at + i] = std::uint8_t(v >> 8 * (big ? n - 1 - i : i));
}

void Segment(Bytes& f, std::uint8_t code, const Bytes& payload) {
    const std::size_t len = payload.size() + 2;
    f.insert(f.end(), {0xFF, code, std::uint8_t(len >> 8), std::uint8_t(len)});
    f.insert(f.end(), payload.begin(), payload.end());
}

// Two JPEGs (48x32, then 40x24) joined as a camera writes them.
Mpo BuildMpo(const MpoParts& s) {
    const Bytes view1 = tsy::test::MakeJpeg(48, 32, 1), view2 = tsy::test::MakeJpeg(40, 24, 2);
    Mpo m;
    Bytes& f = m.file;
    f = {0xFF, 0xD8};
    if (s.thumbnail) {
        Bytes app1 = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0};
        m.thumb = f.size() + 4 + app1.size();
        const Bytes t = tsy::test::MakeJpeg(16, 16, 3);
        app1.insert(app1.end(), t.begin(), t.end());
        Segment(f, 0xE1, app1);
    }
    std::size_t entryAt = 0;
    if (s.mpf) {
        std::vector<std::uint16_t> tags = {0xB000, 0xB001, 0xB002};
        if (s.extras == 1) tags = {0xB000, 0xB001, 0xB003, 0xB004, 0xB002};
        if (s.extras == 2) tags = {0xB000, 0xB001, 0xB002, 0xB003, 0xB004};
        const std::size_t ifd = 8 + s.ifdGap, list = ifd + 2 + 12 * tags.size() + 4;
        Bytes mp(list + 32 + (s.extras ? 66 : 0), 0);
        std::memcpy(mp.data(), s.big ? "MM\0*" : "II*\0", 4);
        Put(mp, 4, ifd, 4, s.big);
        Put(mp, ifd, tags.size(), 2, s.big);
        for (std::size_t i = 0; i < tags.size(); ++i) {
            const std::size_t e = ifd + 2 + 12 * i;
            const bool undefined = tags[i] != 0xB001 && tags[i] != 0xB004;
            const std::uint32_t count = tags[i] == 0xB000 ? 4 : tags[i] == 0xB002 ? 32 : 66;
            Put(mp, e, tags[i], 2, s.big);
            Put(mp, e + 2, undefined ? 7 : 4, 2, s.big);
            Put(mp, e + 4, undefined ? count : 1, 4, s.big);
            if (tags[i] == 0xB000) std::memcpy(&mp[e + 8], "0100", 4);
            if (tags[i] == 0xB001) Put(mp, e + 8, 2, 4, s.big);
            if (tags[i] == 0xB002) Put(mp, e + 8, list, 4, s.big);
            if (tags[i] == 0xB003) Put(mp, e + 8, list + 32, 4, s.big);
            if (tags[i] == 0xB004) Put(mp, e + 8, 1, 4, s.big);
        }
        m.mpStart = f.size() + 8;
        entryAt = m.mpStart + list;
        mp.insert(mp.begin(), {'M', 'P', 'F', 0});
        Segment(f, 0xE2, mp);
    }
    for (std::size_t left = s.pad; left > 0;) {
        const std::size_t n = std::min<std::size_t>(left, 65533);
        Segment(f, 0xFE, Bytes(n, 'c'));
        left -= n;
    }
    f.insert(f.end(), view1.begin() + 2, view1.end());
    m.size1 = f.size();
    f.insert(f.end(), s.gap.begin(), s.gap.end());
    m.image2 = f.size();
    f.insert(f.end(), view2.begin(), view2.end());
    if (s.mpf) {
        Put(f, entryAt, 0x20020002, 4, s.big);
        Put(f, entryAt + 4, s.size1 < 0 ? m.size1 : std::uint64_t(s.size1), 4, s.big);
        Put(f, entryAt + 16, s.type2, 4, s.big);
        Put(f, entryAt + 20, view2.size(), 4, s.big);
        Put(f, entryAt + 24, s.offset2 < 0 ? m.image2 - m.mpStart : std::uint64_t(s.offset2), 4,
            s.big);
    }
    return m;
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

bool Scanned(const Captions& c) {
    return !c.Percents().empty();
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
        const Mpo m = BuildMpo(s);
        Captions c;
        EXPECT_EQ(Find(m.file, &c), std::int64_t(m.image2))
            << s.big << " " << s.ifdGap << " " << s.extras << " " << s.size1 << " " << s.pad;
        EXPECT_EQ(c.seen, std::vector<std::string>{kSearching});
    }
}

// No index, an index pointing past the end, into image 1 or at the EXIF
// thumbnail (a JPEG stream too, but never image 2), or a damaged index field.
TEST(MpoScan, FindsViewsTheIndexCannotGive) {
    std::vector<Mpo> files;
    for (MpoParts s : {MpoParts{.mpf = false}, MpoParts{.size1 = 0xFFFFFFFF, .offset2 = 0x7FFFFFF0},
                      MpoParts{.size1 = 100, .offset2 = 3}}) {
        s.gap.resize(21 - BuildMpo(s).size1 % 16);  // image 2 at 5 past a multiple of 16
        files.push_back(BuildMpo(s));
        ASSERT_EQ(files.back().image2 % 16, 5u);
    }
    files.push_back(BuildMpo({.mpf = false, .thumbnail = true}));
    files.push_back(
        BuildMpo({.thumbnail = true, .size1 = std::int64_t(files.back().thumb), .offset2 = 0}));
    ASSERT_EQ(files.back().file[files.back().thumb + 1], 0xD8);
    const Mpo good = BuildMpo({});
    const std::size_t entry3 = good.mpStart + 8 + 2 + 24;  // the MPEntry field
    const std::pair<std::size_t, std::uint32_t> patches[] = {
        {good.mpStart, 0x2A4D4949},  // byte-order mark
        {good.mpStart + 4, 0xFFFFFFF0},
        {good.mpStart + 4, 60000},  // IFD offset
        {good.mpStart + 8, 0xFFFF},
        {entry3 + 4, 0xFFFFFFFF},  // counts
        {entry3 + 4, 3},
        {entry3 + 8, 0xFFFFFFF0},  // list offset
        {entry3, 0xB001},          // no MPEntry tag at all
    };
    for (const auto& [at, value] : patches) {
        files.push_back(good);
        Put(files.back().file, at, value, at == good.mpStart + 8 || at == entry3 ? 2 : 4, false);
    }
    // Image 1 no more than a start and one segment: image 2 begins right
    // where its header walk ends, so the scan must start on that very byte.
    Bytes f = {0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 0, 0};
    const Bytes view2 = tsy::test::MakeJpeg(8, 8, 2);
    f.insert(f.end(), view2.begin(), view2.end());
    files.push_back({f, 8});
    for (std::size_t i = 0; i < files.size(); ++i) {
        Captions c;
        EXPECT_EQ(Find(files[i].file, &c), std::int64_t(files[i].image2)) << "case " << i;
        EXPECT_TRUE(Scanned(c)) << "case " << i;
    }
}

TEST(MpoRobustness, TruncatedAtManyCutPoints) {
    const Mpo m = BuildMpo({.extras = 2, .thumbnail = true});
    for (std::size_t cut = 0; cut <= m.file.size();
         cut += (cut < 1500 || cut + 40 > m.image2) && cut < m.image2 + 40 ? 1 : 29) {
        const std::int64_t want = cut >= m.image2 + 2 ? std::int64_t(m.image2) : 0;
        ASSERT_EQ(Find(Cut(m.file, cut)), want) << "cut at " << cut;
    }
}

TEST(MpoRobustness, RandomlyDamagedCopies) {
    const Mpo m = BuildMpo({.extras = 1, .thumbnail = true});
    std::mt19937 rng(20240611);
    int found = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes f = m.file;
        const int hits = 1 + int(rng() % 6);
        for (int i = 0; i < hits; ++i) {
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

class MpoFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tsy-mpo-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = std::string(tmpl) + "/";
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Write(const std::string& name, const Bytes& b) {
        std::ofstream(dir + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
        return dir + name;
    }
    static Bytes Read(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    std::string dir;
};

TEST_F(MpoFiles, ExtractCopiesTheTailOfAnMpoNamedFile) {
    const Mpo m = BuildMpo({.big = true});
    const std::string path = Write("pair.MPO", m.file);
    Write("StereoR.jpg", Bytes(100000, 7));  // an old one is replaced
    Captions c;
    EXPECT_EQ(tsy::ExtractMpoImage2(path, dir, c), dir + "StereoR.jpg");
    EXPECT_EQ(Read(dir + "StereoR.jpg"),
              Bytes(m.file.begin() + std::ptrdiff_t(m.image2), m.file.end()));
    ASSERT_FALSE(c.seen.empty());
    EXPECT_EQ(c.seen.front(), kSearching);
    EXPECT_EQ(c.seen.back(), kExtracting);

    fs::remove(dir + "StereoR.jpg");
    Captions none;
    EXPECT_EQ(tsy::ExtractMpoImage2(Write("plain.jpg", tsy::test::MakeJpeg(8, 8, 1)), dir, none),
              "");
    EXPECT_EQ(tsy::ExtractMpoImage2(dir + "missing.jpg", dir, none), "");
    EXPECT_TRUE(none.seen.empty());
    EXPECT_FALSE(fs::exists(dir + "StereoR.jpg"));
    EXPECT_EQ(tsy::FindImage2Offset(path, none), std::int64_t(m.image2));
}

TEST(MpoKind, TheIndexDecidesBeforeTheName) {
    const struct {
        MpoParts parts;
        const char* name;
        bool pair;
    } cases[] = {
        {{}, "IMG_1.JPG", true},                    // disparity view
        {{.big = true}, "IMG_1.jpeg", true},        //
        {{.type2 = 0x010001}, "PXL_1.MPO", false},  // large thumbnail only
        {{.type2 = 0x010002}, "PXL_1.jpg", false},  //
        {{.type2 = 0x020003}, "angle.jpg", false},  // other kinds: the name decides
        {{.type2 = 0x020003}, "angle.mpo", true},   //
        {{.mpf = false}, "pair.jpg", false},        // no index: the name decides
        {{.mpf = false}, "pair.mpo", true},         //
    };
    for (const auto& c : cases) {
        const Mpo m = BuildMpo(c.parts);
        Captions seen;
        const auto view2 =
            tsy::LocateMpoImage2(c.name, std::span<const std::uint8_t>(m.file), seen);
        EXPECT_EQ(view2.data(), c.pair ? m.file.data() + m.image2 : nullptr) << c.name;
        EXPECT_EQ(view2.size(), c.pair ? m.file.size() - m.image2 : 0) << c.name;
        EXPECT_EQ(seen.seen.empty() ? "" : seen.seen.back(), c.pair ? kExtracting : "") << c.name;
    }
}

// A plain JPEG named .mpo is scanned to its end, one caption per percent.
TEST_F(MpoFiles, PlainTinyMissingAndLinkedFilesGiveNothing) {
    const std::string path = Write("plain.mpo", tsy::test::MakeJpeg(120, 90, 4));
    Captions c;
    EXPECT_EQ(tsy::ExtractMpoImage2(path, dir, c), "");
    EXPECT_FALSE(fs::exists(dir + "StereoR.jpg"));
    EXPECT_EQ(c.seen.front(), kSearching);
    const std::vector<int> pct = c.Percents();
    ASSERT_FALSE(pct.empty());
    EXPECT_EQ(c.seen.size(), pct.size() + 1);
    EXPECT_GT(pct.front(), 0);
    EXPECT_LT(pct.front(), 50);  // starts after image 1's headers
    EXPECT_EQ(pct.back(), 100);
    for (std::size_t i = 1; i < pct.size(); ++i)
        EXPECT_EQ(pct[i], pct[i - 1] + 1);
    for (const Bytes& b : {Bytes{}, Bytes{0xFF, 0xD8, 0xFF}}) {
        Captions c;
        EXPECT_EQ(tsy::ExtractMpoImage2(Write("tiny.mpo", b), dir, c), "");
        EXPECT_EQ(tsy::FindImage2Offset(dir + "tiny.mpo", c), 0);
        EXPECT_EQ(Find(b), 0);
    }
    EXPECT_EQ(tsy::FindImage2Offset(dir + "missing.mpo", c), 0);
    // A link planted at the output name is neither followed nor replaced.
    const std::string target = Write("victim.txt", Bytes{'k', 'e', 'e', 'p'});
    ASSERT_EQ(symlink(target.c_str(), (dir + "StereoR.jpg").c_str()), 0);
    EXPECT_EQ(tsy::ExtractMpoImage2(Write("pair.mpo", BuildMpo({}).file), dir, c), "");
    EXPECT_EQ(Read(target), (Bytes{'k', 'e', 'e', 'p'}));
    EXPECT_TRUE(fs::is_symlink(dir + "StereoR.jpg"));
}
