#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <zlib.h>

#include <limits>

#include "OutputTestFiles.h"
#include "output/BmpWriter.h"
#include "output/PngOptimiser.h"
#include "output/png/Coders.h"
#include "window/rules/PngScript.h"

namespace {

using tsy::RgbImage;
using Bytes = std::vector<std::uint8_t>;

struct Png {
    int colorType = -1, depth = -1;
    RgbImage image;
};

// Decoded by libpng, independently of the encoder.
Png DecodePng(const Bytes& file) {
    Png out;
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&img, file.data(), file.size())) return out;
    img.format = PNG_FORMAT_RGB;
    out.image = {int(img.width), int(img.height), Bytes(PNG_IMAGE_SIZE(img))};
    if (!png_image_finish_read(&img, nullptr, out.image.rgb.data(), 0, nullptr)) return Png{};
    out.depth = file[24], out.colorType = file[25];  // IHDR
    return out;
}

RgbImage Make(int w, int h, const std::function<void(int, int, std::uint8_t*)>& f) {
    RgbImage im{w, h, Bytes(std::size_t(w) * h * 3)};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            f(x, y, &im.rgb[(std::size_t(y) * w + x) * 3]);
    return im;
}

RgbImage Photo(int w, int h) {
    std::mt19937 rng(7);
    return Make(w, h, [&](int x, int y, std::uint8_t* p) {
        p[0] = std::uint8_t(x * 2 + rng() % 9);
        p[1] = std::uint8_t(y * 3 + (x > w / 2 ? 80 : 0) + rng() % 5);
        p[2] = std::uint8_t((x + y) + rng() % 17);
    });
}

Bytes Encode(const RgbImage& image, tsy::PngOptions options) {
    Bytes png;
    std::string error;
    EXPECT_TRUE(tsy::EncodePng(image, options, png, error)) << error;
    return png;
}

TEST(PngOptimiser, EveryEffortAndFilterIsLossless) {
    const RgbImage photo = Photo(61, 37);
    for (int effort = 0; effort <= 4; ++effort)
        for (int filter = -1; filter <= 5; ++filter) {
            const Png back = DecodePng(Encode(photo, {effort, filter, 2}));
            ASSERT_EQ(back.image.rgb, photo.rgb) << effort << " " << filter;
            EXPECT_EQ(back.colorType, 2);
        }
}

TEST(PngOptimiser, OwnChunksGoBeforeThePixelsOfTheSameFile) {
    using P = std::uint8_t*;
    const RgbImage images[] = {Photo(61, 37),
                               Make(23, 11, [](int x, int, P p) { p[0] = std::uint8_t(40 * (x % 5)); })};
    const tsy::PngChunk chunk{{'s', 'T', 'E', 'R'}, {1}};
    // Length, type, data and the CRC of type and data.
    Bytes framed = {0, 0, 0, 1, 's', 'T', 'E', 'R', 1};
    const std::uint32_t crc = std::uint32_t(crc32(0, framed.data() + 4, 5));
    for (int s = 24; s >= 0; s -= 8) framed.push_back(std::uint8_t(crc >> s));
    for (const RgbImage& image : images) {
        const Bytes plain = Encode(image, {4, -1, 1});
        Bytes with;
        std::string error;
        ASSERT_TRUE(tsy::EncodePng(image, {4, -1, 1}, with, error, {}, {&chunk, 1})) << error;
        const std::string text(plain.begin(), plain.end());
        const std::size_t idat = text.find("IDAT") - 4;
        Bytes want(plain.begin(), plain.begin() + std::ptrdiff_t(idat));
        want.insert(want.end(), framed.begin(), framed.end());
        want.insert(want.end(), plain.begin() + std::ptrdiff_t(idat), plain.end());
        EXPECT_EQ(with, want) << image.width;
        EXPECT_EQ(DecodePng(with).image.rgb, image.rgb);
    }
}

// Any grey levels, two, five colours, 300 colours (no palette), one pixel; type * 100 + depth.
TEST(PngOptimiser, ReducesColourTypeOnlyWhereLossless) {
    using P = std::uint8_t*;
    const std::pair<RgbImage, int> cases[] = {
        {Make(33, 9, [](int x, int y, P p) { p[0] = p[1] = p[2] = std::uint8_t(x * 7 + y); }), 8},
        {Make(17, 5, [](int x, int y, P p) { p[0] = p[1] = p[2] = (x + y) % 3 ? 255 : 0; }), 1},
        {Make(23, 11, [](int x, int, P p) { p[0] = std::uint8_t(40 * (x % 5)), p[1] = 9; }), 304},
        {Make(300, 2, [](int x, int, P p) { p[0] = std::uint8_t(x), p[1] = x > 255; }), 208},
        {Make(1, 1, [](int, int, P p) { p[0] = 1, p[1] = 2, p[2] = 3; }), 301},
    };
    for (const auto& [image, type] : cases)
        for (int effort : {1, 4}) {
            const Png back = DecodePng(Encode(image, {effort, -1, 0}));
            EXPECT_EQ(back.image.rgb, image.rgb) << image.width;
            if (effort < 4) continue;  // the thorough search may also pick a palette for grey
            EXPECT_EQ(back.colorType * 100 + back.depth, type) << image.width;
        }
}

Bytes Inflate(const Bytes& z, std::size_t expected) {
    Bytes out(expected + 1);
    uLongf size = uLongf(out.size());
    if (uncompress(out.data(), &size, z.data(), uLong(z.size())) != Z_OK) return {};
    out.resize(size);
    return out;
}

// libdeflate's 8 MiB slices must splice into one stream; our Huffman coder must
// cope with codes past 15 bits and split blocks where the statistics change.
TEST(PngCoders, StreamsInflateToTheSourceAndSizesMatch) {
    using enum tsy::png::Coder;
    std::mt19937 rng(11);
    std::vector<Bytes> inputs = {{}, {42}, Bytes(100000, 7), RandomBytes(300000, rng, 200)};
    for (std::size_t n : {8191u, 8192u, 8193u})
        inputs.push_back(RandomBytes(n, rng));
    // Frequencies that double from symbol to symbol ask for codes longer than 15 bits.
    Bytes skewed;
    for (int s = 0; s < 20; ++s)
        skewed.insert(skewed.end(), std::size_t(1) << s, std::uint8_t(s));
    inputs.push_back(skewed);
    Bytes phases = RandomBytes(600000, rng, 4);
    for (std::size_t k = 300000; k < phases.size(); ++k)
        phases[k] = std::uint8_t(128 + rng() % 64);
    inputs.push_back(phases);
    // Sparse, but busy where the first slice ends; the last slice is one byte.
    Bytes large((std::size_t(8) << 20) + 1);
    for (std::size_t k = 0; k < large.size(); k += k + 300000 < large.size() ? 97 : 1)
        large[k] = std::uint8_t(rng() % 6);
    const std::size_t unlimited = std::numeric_limits<std::size_t>::max();
    const auto check = [&](const Bytes& in, tsy::png::Coder c) {
        SCOPED_TRACE(in.size() * 10 + std::size_t(c));
        tsy::png::MemorySource source(in.data(), in.size());
        Bytes z;
        const std::size_t measured = tsy::png::Compress(c, source, unlimited, nullptr);
        const std::size_t made = tsy::png::Compress(c, source, unlimited, &z);
        EXPECT_EQ(made, z.size());
        EXPECT_EQ(Inflate(z, in.size()), in);
        EXPECT_GE(measured, z.size());
        EXPECT_LE(measured, z.size() + 5 * (in.size() >> 23));
        EXPECT_EQ(tsy::png::Compress(c, source, z.size(), nullptr), 0u);
        return z.size();
    };
    for (const auto& in : inputs)
        for (auto c : {kHuffmanSplit, kRle, kDeflate6})
            check(in, c);
    check(large, kDeflate6);
    // One table for both halves would cost 5 bits a byte, one each 4 on average.
    EXPECT_LT(check(phases, kHuffmanSplit), phases.size() * 9 / 16);
}

TEST(PngOptimiser, FilesAndTheProgram) {
    ScratchDir dir;
    const RgbImage photo = Photo(50, 20);
    const tsy::PictureBuffer pic = MakePicture(50, 20, [&](int x, int y) {
        const std::uint8_t* p = &photo.rgb[std::size_t(y * 50 + x) * 3];
        return 0xFF000000u | p[0] << 16 | p[1] << 8 | p[2];
    });
    std::string error;
    ASSERT_TRUE(tsy::SaveBmp(pic, dir / "in.bmp", error));

    WriteAll(dir / "out.png", "old");
    EXPECT_FALSE(tsy::OptimiseBmpToPng(dir / "in.bmp", dir / "out.png", {}, false, error));
    EXPECT_EQ(ReadAll(dir / "out.png").size(), 3u);
    ASSERT_TRUE(tsy::OptimiseBmpToPng(dir / "in.bmp", dir / "out.png", {}, true, error)) << error;
    EXPECT_EQ(DecodePng(ReadAll(dir / "out.png")).image.rgb, photo.rgb);
    EXPECT_FALSE(tsy::OptimiseBmpToPng(dir / "none.bmp", dir / "x.png", {}, true, error));

    const std::string pq = "'" + dir.path() + "/p q.png'", r = "'" + dir.path() + "/r.png'";
    const std::string exe = TSY_PNGOUT " '" + (dir / "in.bmp") + "' ";
    auto run = [&](std::string a) { return std::system((exe + a + " 2>/dev/null").c_str()); };
    EXPECT_EQ(run(pq + " /S2 /F5 /Y"), 0);
    EXPECT_EQ(DecodePng(ReadAll(dir / "p q.png")).image.rgb, photo.rgb);
    EXPECT_EQ(run(pq + " -s4 -f0"), 1 << 8);  // exists, no /Y
    EXPECT_EQ(run(pq + " -s4 -f0 -y"), 0);
    EXPECT_NE(run(r + " /S9"), 0);
    EXPECT_NE(run(r + " /Q"), 0);
    EXPECT_NE(run(""), 0);
    EXPECT_EQ(dir.Names().size(), 3u);  // in.bmp, out.png, p q.png: nothing partial
}

// A PNG save's three files; the stand-in optimiser copies only given the expected options.
tsy::PngSavePaths Prepare(const std::string& dir, const std::string& output) {
    const tsy::PngSavePaths p = tsy::PngSavePathsIn(dir);
    WriteAll(p.optimiser,
             "#!/bin/sh\n[ \"$3 $4 $5\" = '/S2 /F5 /Y' ] && [ $# -eq 5 ] && cp \"$1\" \"$2\"\n");
    ::chmod(p.optimiser.c_str(), 0755);
    WriteAll(p.image, "pixels");
    WriteAll(p.script, tsy::PngSaveScript(p, output));
    return p;
}

int RunBounded(const std::string& script) {
    // timeout only guards the test run against a hanging script.
    return std::system(("timeout 60 /bin/sh " + tsy::ShellQuote(script)).c_str());
}

TEST(PngScript, RunsTheOptimiserThenRemovesAllThreeFiles) {
    ScratchDir root;
    // Every path survives the shell's quoting.
    const std::string dir = root / "tmp dir 'q' \"d\" $HOME `x` a\\b ''\nz";
    ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
    const std::string output = root / "my $out 'x'.png";
    const tsy::PngSavePaths p = Prepare(dir + "/", output);
    EXPECT_EQ(p.image, tsy::PngSavePathsIn(dir).image);
    ASSERT_EQ(RunBounded(p.script), 0);
    const auto made = ReadAll(output);
    EXPECT_EQ(std::string(made.begin(), made.end()), "pixels");
    EXPECT_TRUE(std::filesystem::is_empty(dir));
}

TEST(PngScript, GivesUpOnAnOptimiserThatCannotBeDeleted) {
    ScratchDir root;
    const tsy::PngSavePaths p = Prepare(root.path(), root / "out.png");
    // A non-empty directory in the optimiser's place survives rm -f.
    ::unlink(p.optimiser.c_str());
    ASSERT_EQ(::mkdir(p.optimiser.c_str(), 0755), 0);
    WriteAll(p.optimiser + "/f", "x");
    const int status = RunBounded(p.script);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 124);  // ended by itself, not by the guard
    EXPECT_EQ(root.Names(), (std::vector<std::string>{p.optimiser.substr(root.path().size() + 1)}));
}

}  // namespace
