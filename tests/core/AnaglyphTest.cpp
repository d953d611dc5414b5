#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "OutputTestFiles.h"
#include "render/Anaglyph.h"
#include "render/AnaglyphKernel.h"

using tsy::PictureBuffer;
using tsy::anaglyph::Isa;

namespace {

// The anaglyph from its definition, in double precision, sharing nothing with the engine.
struct Img {
    int w = 0, h = 0, bpp = 4, rowPixels = 0;
    std::vector<std::uint8_t> bytes;  // empty: no picture, reads as black
};

struct Px {
    int r = 0, g = 0, b = 0;
    bool operator==(const Px&) const = default;
};

Px Sample(const Img& im, double x, double y) {
    x = std::nearbyint(x), y = std::nearbyint(y);
    if (im.bytes.empty() || x < 0 || y < 0 || x > im.rowPixels - 1 || y > im.h - 1) return {};
    const std::uint8_t* p = &im.bytes[(std::size_t(y) * im.rowPixels + std::size_t(x)) * im.bpp];
    return {p[2], p[1], p[0]};
}

int Lum(Px p) {
    return int(std::nearbyint(p.r * 0.299)) + int(std::nearbyint(p.g * 0.587)) +
           int(std::nearbyint(p.b * 0.114));
}

int Mix(Px p) {
    volatile double g = p.g * 0.7, b = p.b * 0.3;  // two rounded products, never fused
    return int(std::nearbyint(g + b));
}

// Each result pixel from pixel(left, right) of the samples at x +- offset / 2, brightened;
// out gives the bytes not written (X, and padding past the rows).
template <class F>
std::vector<std::uint8_t> Expected(const Img& R, const Img& L, std::vector<std::uint8_t> out,
                                   int brightness, int ox, int oy, F pixel) {
    for (int y = 0; y < R.h; ++y)
        for (int x = 0; x < R.rowPixels; ++x) {
            const std::array<int, 3> v =
                pixel(Sample(L, x + ox / 2.0, y + oy / 2.0), Sample(R, x - ox / 2.0, y - oy / 2.0));
            std::uint8_t* p = &out[(std::size_t(y) * R.rowPixels + x) * R.bpp];
            for (int c = 0; c < 3; ++c)
                p[2 - c] = std::uint8_t(std::clamp(v[c] + brightness, 0, 255));
        }
    return out;
}

// A method's recipe read letter by letter (the worked pixels check the letters).
std::vector<std::uint8_t> Reference(const Img& R, const Img& L, std::vector<std::uint8_t> out,
                                    int method, int brightness, int ox, int oy) {
    const std::string_view rgb = tsy::RecipeFor(method)->channels;
    return Expected(R, L, std::move(out), brightness, ox, oy, [&](Px l, Px r) {
        const int lc[3] = {l.r, l.g, l.b}, rc[3] = {r.r, r.g, r.b};
        std::array<int, 3> v{};
        for (int c = 0; c < 3; ++c) {
            const int choice[] = {Lum(l), Lum(r), Mix(l), lc[c], rc[c]};
            v[c] = choice[std::string_view("LRMlr").find(rgb[c])];
        }
        return v;
    });
}

// Every method offered but the least-squares ones (exact within a byte, checked below).
const std::vector<int> kMethods = [] {
    std::vector<int> v;
    for (int g = 0; g < tsy::kGlassesCount; ++g)
        for (int c = 0; c < tsy::kColourMethodCount; ++c)
            if (const int m = tsy::MethodNumberFor(g, c); m && tsy::RecipeFor(m)->channels)
                v.push_back(m);
    return v;
}();

Img RandomImg(int w, int h, int bpp, std::mt19937& rng) {
    const int rowPixels = tsy::RowPixelsFor(w, bpp);
    return {w, h, bpp, rowPixels, RandomBytes(std::size_t(rowPixels) * h * bpp, rng)};
}

// Every value of every channel, and every green/blue pair of the left view for the mix.
std::pair<Img, Img> Ramps(int bpp) {
    Img R{256, 256, bpp, 256, std::vector<std::uint8_t>(256 * 256 * bpp)}, L = R;
    for (int i = 0; i < 256 * 256; ++i) {
        const int x = i % 256, y = i / 256;
        std::uint8_t *r = &R.bytes[i * bpp], *l = &L.bytes[i * bpp];
        r[0] = std::uint8_t(y), r[1] = std::uint8_t(x), r[2] = std::uint8_t(x ^ y);
        l[0] = std::uint8_t(x), l[1] = std::uint8_t(y), l[2] = std::uint8_t(255 - x);
    }
    return {R, L};
}

tsy::PixelBlock Block(Img& im) {
    return {im.bytes.empty() ? nullptr : im.bytes.data(), im.w, im.h, im.bpp, im.rowPixels};
}

Img FromBuffer(const PictureBuffer& b) {
    Img im{b.width(), b.height(), 4, b.width(), {}};
    if (b.hasImage()) im.bytes.assign(b.bits(), b.bits() + b.byteCount());
    return im;
}

PictureBuffer Filled(int w, int h, Px c) {
    return MakePicture(w, h, [c](int, int) { return 0xFF000000u | c.r << 16 | c.g << 8 | c.b; });
}

Px At(const PictureBuffer& p, int x, int y) {
    const std::uint32_t v = p.pixel(x, y);
    return {int(v >> 16 & 0xFF), int(v >> 8 & 0xFF), int(v & 0xFF)};
}

struct Recorder : tsy::ProgressSink {
    std::vector<std::string> calls;
    void SetCap(const std::string& text) override { calls.push_back(text); }
    void LetEventsRun() override { calls.push_back("events"); }
    void ReportError(int number, const std::string& detail) override {
        calls.push_back("error " + std::to_string(number) + ": " +
                        tsy::EngineErrorText(tsy::EngineError(number), detail));
    }
};

void ForEachIsa(auto body) {
    const Isa saved = tsy::anaglyph::ActiveIsa();
    for (Isa isa : {Isa::Sse2, Isa::Avx2}) {
        if (!tsy::anaglyph::IsaAvailable(isa)) continue;
        tsy::anaglyph::UseIsa(isa);
        SCOPED_TRACE(isa == Isa::Avx2 ? "avx2" : "sse2");
        body();
    }
    tsy::anaglyph::UseIsa(saved);
}

Px OnePixel(int method, Px left, Px right) {
    PictureBuffer r = Filled(1, 1, right), l = Filled(1, 1, left), out;
    tsy::SilentProgress quiet;
    EXPECT_TRUE(tsy::Anaglyph(r, l, out, {method, 0, 0, 0, 0}, quiet));
    return At(out, 0, 0);
}

}  // namespace

TEST(Anaglyph, WorkedPixelsRoundHalvesToEven) {
    // lum(left) = 60 + 59 + 6, lum(right) = 9 + 35 + 10, mix = 70 + 15.
    const std::pair<int, Px> worked[] = {
        {1, {125, 54, 54}},   {2, {125, 60, 90}},   {3, {200, 60, 90}},  {4, {85, 60, 90}},
        {17, {54, 125, 54}},  {18, {30, 125, 90}},  {19, {30, 100, 90}}, {20, {30, 85, 90}},
        {33, {125, 125, 54}}, {34, {200, 100, 54}}, {35, {200, 100, 90}}};
    for (const auto& [method, rgb] : worked)
        EXPECT_EQ(OnePixel(method, {200, 100, 50}, {30, 60, 90}), rgb) << "method " << method;
    EXPECT_EQ(OnePixel(1, {0, 0, 250}, {255, 255, 255}), (Px{28, 255, 255}));  // 28.5
    EXPECT_EQ(OnePixel(4, {0, 0, 15}, {}).r, 4);                               // 4.5
    EXPECT_EQ(OnePixel(4, {0, 0, 5}, {}).r, 2);                                // 1.5
    EXPECT_EQ(OnePixel(20, {0, 1, 36}, {}).g, 11);  // 11.4999..., 11.5 if fused
}

// Written in place, column 1 would read the view's column 0 already overwritten.
TEST(Anaglyph, ResultMayBeOneOfTheViews) {
    for (const bool intoLeft : {true, false}) {
        tsy::SilentProgress quiet;
        PictureBuffer r = Filled(5, 2, {1, 2, 3}), l = Filled(5, 2, {4, 5, 6});
        PictureBuffer& out = intoLeft ? l : r;
        ASSERT_TRUE(tsy::Anaglyph(r, l, out, {3, 0, 0, intoLeft ? -2 : 2, 0}, quiet));
        EXPECT_EQ(At(out, 0, 0), intoLeft ? (Px{0, 2, 3}) : (Px{4, 0, 0}));
        EXPECT_EQ(At(out, 1, 1), (Px{4, 2, 3}));
    }
}

TEST(Anaglyph, ProgressCaptionsAndEvents) {
    const auto run = [](int h, int threads) {
        PictureBuffer r = Filled(3, h, {1, 1, 1}), l, out;
        Recorder rec;
        EXPECT_TRUE(tsy::Anaglyph(r, l, out, {1, 0, 0, 0, 0}, rec, threads));
        return rec.calls;
    };
    const auto calc = [](int p) { return "Calculating ...  " + std::to_string(p) + "%"; };
    std::vector<std::string> want{"Initializing ..."};
    for (int p = 1; p < 100; ++p) {
        if (p % 5 == 0) want.push_back("events");
        want.push_back(calc(p));
    }
    EXPECT_EQ(run(400, 1), want);
    EXPECT_EQ(run(400, 3), want);
    EXPECT_EQ(run(1, 1), std::vector<std::string>{"Initializing ..."});
    EXPECT_EQ(run(8, 2), (std::vector<std::string>{"Initializing ...", calc(12), "events", calc(25),
                                                   calc(37), "events", calc(50), calc(62), "events",
                                                   calc(75), calc(87)}));
}

TEST(Anaglyph, FailuresAreReportedOnceAndChangeNothing) {
    PictureBuffer r = Filled(2, 2, {1, 2, 3}), l = Filled(2, 2, {4, 5, 6});
    PictureBuffer out = Filled(2, 2, {7, 8, 9});
    for (int method : {0, 6, 16, 22, 36, -3}) {
        Recorder rec;
        EXPECT_FALSE(tsy::Anaglyph(r, l, out, {method, 0, 0, 0, 0}, rec));
        EXPECT_EQ(rec.calls, (std::vector<std::string>{
                                 "Initializing ...",
                                 "error 5: Invalid colour method " + std::to_string(method)}));
    }
    PictureBuffer huge(40000, 40000);  // more pixels than any buffer may hold
    Recorder rec;
    EXPECT_FALSE(tsy::Anaglyph(huge, l, out, {3, 0, 0, 0, 0}, rec));
    EXPECT_EQ(rec.calls,
              (std::vector<std::string>{"Initializing ...", "error 480: Not enough free memory!"}));
    EXPECT_EQ(At(out, 1, 1), (Px{7, 8, 9}));

    std::uint8_t a[64] = {}, b[64] = {};
    const struct {
        tsy::PixelBlock r, l, o;
        int method;
        tsy::BlockStatus want;
    } blocks[] = {
        {{a, 2, 2, 4, 2}, {a, 2, 2, 4, 2}, {b, 2, 2, 4, 3}, 3, tsy::BlockStatus::BadBlocks},
        {{a, 3, 2, 3, 4}, {a, 3, 2, 4, 3}, {b, 3, 2, 3, 4}, 3, tsy::BlockStatus::BadBlocks},
        {{a, 2, 2, 4, 2}, {b, 2, 2, 4, 2}, {a + 4, 2, 2, 4, 2}, 3, tsy::BlockStatus::BadBlocks},
        {{a, 2, 2, 4, 2}, {a, 2, 2, 4, 2}, {b, 2, 2, 4, 2}, 6, tsy::BlockStatus::UnknownMethod},
    };
    for (const auto& k : blocks)
        EXPECT_EQ(tsy::AnaglyphBlock(k.r, k.l, k.o, {k.method}), k.want);
}

// Many sizes, padded three-byte rows, ramps, row bands on threads; nothing written past the block.
TEST(AnaglyphReference, BlocksMatchBitForBit) {
    std::mt19937 rng(11);
    const auto check = [&](Img& R, Img& L, int method, int bright, int ox, int oy, int threads) {
        const auto before = RandomBytes(std::size_t(R.rowPixels) * R.h * R.bpp + 7, rng);
        Img O{R.w, R.h, R.bpp, R.rowPixels, before};
        ASSERT_EQ(
            tsy::AnaglyphBlock(Block(R), Block(L), Block(O), {method, bright, 99, ox, oy}, threads),
            tsy::BlockStatus::Ok);
        ASSERT_TRUE(O.bytes == Reference(R, L, before, method, bright, ox, oy))
            << R.w << "x" << R.h << "x" << R.bpp << " m" << method << " " << ox << "," << oy;
    };
    ForEachIsa([&] {
        for (auto [w, h] : {std::pair{1, 1}, {2, 3}, {5, 3}, {37, 11}, {67, 4}, {201, 7}})
            for (int bpp : {3, 4})
                for (int missing : {0, 1, 2}) {
                    Img R = RandomImg(w, h, bpp, rng), L = RandomImg(w, h, bpp, rng);
                    if (missing == 1) R.bytes.clear();
                    if (missing == 2) L.bytes.clear();
                    const int cases[][3] = {
                        {0, 0, 0},    {37, 2, -3},        {-128, -7, 5},          {128, 1, 1},
                        {-5, -1, -2}, {9, w + 5, -h - 3}, {0, -2 * w - 1, h + 1}, {-40, 12, 0}};
                    int run = 0;
                    for (int method : kMethods)
                        for (const auto& c : cases)
                            check(R, L, method, c[0], c[1], c[2], 1 + run++ % 3);
                }
        for (int bpp : {3, 4}) {
            auto [R, L] = Ramps(bpp);
            for (int method : kMethods)
                check(R, L, method, 0, 0, 0, 1);
        }
        Img R = RandomImg(1100, 2600, 4, rng), L = RandomImg(1100, 2600, 4, rng);
        for (int method : {1, 19})
            for (int k : {0, 1})
                check(R, L, method, -20, k ? -6 : 7, k ? 4 : -3, 2 + k);
    });
}

// Left view and result take the right view's size; a result keeps its X bytes, a new one 0xFF.
TEST(AnaglyphReference, BuffersOfOtherSizesOrWithoutPicture) {
    std::mt19937 rng(5);
    const auto fill = [&](int w, int h) {
        return MakePicture(w, h, [&](int, int) { return std::uint32_t(rng()); });
    };
    int run = 0;
    for (auto [lw, lh] : {std::pair{45, 13}, {30, 9}, {50, 20}, {0, 0}})
        for (int pictures = 0; pictures < 4; ++pictures)  // right view, result
            for (int method : kMethods) {
                PictureBuffer r(45, 13), l(lw, lh), out(7, 7);
                if (pictures & 1) r = fill(45, 13);
                if (pictures & 2) out = fill(45, 13);
                if (lw > 0) l = fill(lw, lh);
                // The left view as it reads once cut or widened to 45 x 13.
                Img L{45, 13, 4, 45, std::vector<std::uint8_t>(45 * 13 * 4)};
                for (int y = 0; y < std::min(lh, 13); ++y)
                    std::copy_n(l.row(y), std::min(lw, 45) * 4, &L.bytes[y * 45 * 4]);
                Img O = FromBuffer(out);
                if (!out.hasImage()) O.bytes.assign(45 * 13 * 4, 0xFF);
                const int ox = run % 5 - 2, oy = run % 3 - 1, bright = run % 7 * 20 - 60;
                const auto want = Reference(FromBuffer(r), L, O.bytes, method, bright, ox, oy);
                tsy::SilentProgress quiet;
                ASSERT_TRUE(
                    tsy::Anaglyph(r, l, out, {method, bright, 0, ox, oy}, quiet, 1 + run++ % 3));
                ASSERT_TRUE(l.width() == 45 && l.height() == 13);
                ASSERT_TRUE(FromBuffer(out).bytes == want)
                    << "left " << lw << "x" << lh << " " << pictures << " m" << method;
            }
}

namespace {

// The published matrices: per output channel left red, green, blue, then right.
struct Published {
    const char* glasses;
    double m[3][6];
};
const Published kMatrices[] = {
    {"red-cyan",
     {{0.437, 0.449, 0.164, -0.011, -0.032, -0.007},
      {-0.062, -0.062, -0.024, 0.377, 0.761, 0.009},
      {-0.048, -0.050, -0.017, -0.026, -0.093, 1.234}}},
    {"green-magenta",
     {{-0.062, -0.158, -0.039, 0.529, 0.705, 0.024},
      {0.284, 0.668, 0.143, -0.016, -0.015, -0.065},
      {-0.015, -0.027, 0.021, 0.009, 0.075, 0.937}}},
    {"amber-blue",
     {{1.062, -0.205, 0.299, -0.016, -0.123, -0.017},
      {-0.026, 0.908, 0.068, 0.006, 0.062, -0.017},
      {-0.038, -0.173, 0.022, 0.094, 0.185, 0.911}}},
};

double Linear(int v) {
    const double c = v / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

int MethodOf(const Published& p) {
    return tsy::MethodNumberFor(tsy::IndexByName(tsy::kGlasses, p.glasses),
                                tsy::IndexByName(tsy::kColourMethods, "dubois"));
}

// One pixel's red, green and blue before brightness.
std::array<int, 3> Dubois(const Published& p, Px l, Px r) {
    const int in[6] = {l.r, l.g, l.b, r.r, r.g, r.b};
    std::array<int, 3> out{};
    for (int ch = 0; ch < 3; ++ch) {
        double o = 0;
        for (int k = 0; k < 6; ++k)
            o += p.m[ch][k] * Linear(in[k]);
        o = std::clamp(o, 0.0, 1.0);
        o = o <= 0.0031308 ? 12.92 * o : 1.055 * std::pow(o, 1 / 2.4) - 0.055;
        out[ch] = int(std::floor(255 * o + 0.5));
    }
    return out;
}

}  // namespace

// Every brightness, both offset parities, every channel value, missing views; X bytes stay.
TEST(AnaglyphDubois, WithinAByteOfDoublePrecisionAndMostlyEqual) {
    std::mt19937 rng(7);
    for (const Published& p : kMatrices) {
        SCOPED_TRACE(p.glasses);
        std::int64_t bytes = 0, equal = 0;
        int worst = 0;
        const auto check = [&](Img R, Img L, int bright, int ox, int oy) {
            Img O = RandomImg(R.w, R.h, R.bpp, rng);
            const auto want = Expected(R, L, O.bytes, bright, ox, oy,
                                       [&](Px l, Px r) { return Dubois(p, l, r); });
            ASSERT_EQ(tsy::AnaglyphBlock(Block(R), Block(L), Block(O),
                                         {MethodOf(p), bright, 0, ox, oy}, 1 + bright % 2),
                      tsy::BlockStatus::Ok);
            for (std::size_t i = 0; i < want.size(); ++i) {
                const int d = std::abs(O.bytes[i] - want[i]);
                const bool x = R.bpp == 4 && i % 4 == 3;
                ASSERT_TRUE(!x || d == 0);  // X bytes stay
                worst = std::max(worst, x ? 0 : d), equal += !x && d == 0, bytes += !x;
            }
        };
        ForEachIsa([&] {
            for (int bpp : {3, 4}) {
                Img R = RandomImg(37, 9, bpp, rng), L = RandomImg(37, 9, bpp, rng);
                for (auto [ox, oy] : {std::pair{0, 0}, {4, -2}, {3, -1}, {-5, 7}, {40, 0}})
                    for (int bright = -128; bright <= 128; ++bright)
                        check(R, L, bright, ox, oy);
                const auto [R2, L2] = Ramps(bpp);
                for (int missing : {0, 1, 2})
                    check(missing == 1 ? Img{256, 256, bpp, 256, {}} : R2,
                          missing == 2 ? Img{256, 256, bpp, 256, {}} : L2, 0, 0, 0);
            }
        });
        EXPECT_LE(worst, 1);
        EXPECT_GE(double(equal), 0.99 * double(bytes));
    }
}

// Each published row sums to 1, so grey stays grey: a misplaced coefficient breaks this.
TEST(AnaglyphDubois, GreyStaysGrey) {
    for (const Published& p : kMatrices)
        for (int g = 0; g < 256; ++g) {
            const Px out = OnePixel(MethodOf(p), {g, g, g}, {g, g, g});
            for (int c : {out.r, out.g, out.b})
                ASSERT_LE(std::abs(c - g), 1) << p.glasses << " grey " << g;
        }
}
