// The PNG optimiser's encoder and the JPEG chroma choice, on a generated
// 1 MP anaglyph, and the JPEG encoder at 24 MP. Sizes and errors are reported
// as counters.
#include <benchmark/benchmark.h>

#include <turbojpeg.h>

#include <cmath>

#include "AnaglyphScene.h"
#include "output/png/HuffmanDeflate.h"
#include "output/JpegWriter.h"
#include "output/PngOptimiser.h"

namespace {

const tsy::PictureBuffer& Scene() {
    static tsy::PictureBuffer pic = [] {
        tsy::PictureBuffer p;
        tsy::bench::MakeAnaglyphScene(p, 1224, 816);
        return p;
    }();
    return pic;
}

const tsy::RgbImage& SceneRgb() {
    static tsy::RgbImage image = [] {
        const tsy::PictureBuffer& p = Scene();
        tsy::RgbImage im{p.width(), p.height(), {}};
        for (int y = 0; y < p.height(); ++y)
            for (int x = 0; x < p.width(); ++x) {
                const std::uint32_t px = p.pixel(x, y);
                im.rgb.push_back(std::uint8_t(px >> 16));
                im.rgb.push_back(std::uint8_t(px >> 8));
                im.rgb.push_back(std::uint8_t(px));
            }
        return im;
    }();
    return image;
}

bool DecodeForBench(const std::vector<std::uint8_t>& jpeg, tsy::PictureBuffer& out) {
    tjhandle tj = tjInitDecompress();
    int w = 0, h = 0, sub = 0, cs = 0;
    bool ok = tjDecompressHeader3(tj, jpeg.data(), jpeg.size(), &w, &h, &sub, &cs) == 0;
    if (ok) {
        std::uint8_t* bits = out.assign(w, h);
        ok = tjDecompress2(tj, jpeg.data(), jpeg.size(), bits, w, 0, h, TJPF_BGRX,
                           TJFLAG_ACCURATEDCT) == 0;
    }
    tjDestroy(tj);
    return ok;
}

void BM_EncodePng(benchmark::State& state) {
    const tsy::PngOptions options{int(state.range(0)), int(state.range(1)), 0};
    std::vector<std::uint8_t> png;
    std::string error;
    for (auto _ : state) {
        if (!tsy::EncodePng(SceneRgb(), options, png, error)) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(png.data());
    }
    state.counters["bytes"] = double(png.size());
}
BENCHMARK(BM_EncodePng)
    ->ArgNames({"S", "F"})
    ->Args({2, 5})
    ->Args({3, 5})
    ->Args({4, 5})
    ->Args({1, -1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_HuffmanOnlyZlib(benchmark::State& state) {
    // Up-filtered rows: residuals like the optimiser's.
    const tsy::RgbImage& im = SceneRgb();
    const std::size_t row = std::size_t(im.width) * 3;
    std::vector<std::uint8_t> data(im.rgb.size());
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = std::uint8_t(im.rgb[i] - (i >= row ? im.rgb[i - row] : 0));
    std::size_t size = 0;
    for (auto _ : state)
        size = tsy::png::HuffmanOnlyZlib(data.data(), data.size()).size();
    state.counters["bytes"] = double(size);
    state.SetBytesProcessed(std::int64_t(state.iterations() * data.size()));
}
BENCHMARK(BM_HuffmanOnlyZlib)->Unit(benchmark::kMillisecond);

// Size and per-channel error of the two chroma layouts; the red channel holds
// the left view on its own.
void BM_JpegChroma(benchmark::State& state) {
    const auto chroma = state.range(0) == 444 ? tsy::JpegChroma::k444 : tsy::JpegChroma::k420;
    const int quality = int(state.range(1));
    std::vector<std::uint8_t> jpeg;
    for (auto _ : state)
        tsy::EncodeJpeg(Scene(), quality, chroma, jpeg);
    state.counters["bytes"] = double(jpeg.size());
    tsy::PictureBuffer decoded;
    if (!DecodeForBench(jpeg, decoded)) return state.SkipWithError("decode failed");
    double se[3] = {};
    const tsy::PictureBuffer& src = Scene();
    for (std::size_t i = 0; i < src.byteCount(); i += 4)
        for (int c = 0; c < 3; ++c) {
            const double d = double(decoded.bits()[i + c]) - double(src.bits()[i + c]);
            se[c] += d * d;
        }
    const double n = double(src.width()) * src.height();
    state.counters["red_rmse"] = std::sqrt(se[2] / n);
    state.counters["green_rmse"] = std::sqrt(se[1] / n);
    state.counters["blue_rmse"] = std::sqrt(se[0] / n);
}
BENCHMARK(BM_JpegChroma)
    ->ArgNames({"chroma", "q"})
    ->Args({444, 95})
    ->Args({420, 95})
    ->Args({444, 80})
    ->Args({420, 80})
    ->Unit(benchmark::kMillisecond);

// The JPEG encoder on a 24 MP anaglyph at quality 95, on one core and in
// strips on every core.
void BM_EncodeJpeg24MP(benchmark::State& state) {
    static tsy::PictureBuffer pic = [] {
        tsy::PictureBuffer p;
        tsy::bench::MakeAnaglyphScene(p, 6000, 4000);
        return p;
    }();
    std::vector<std::uint8_t> jpeg;
    for (auto _ : state)
        tsy::EncodeJpeg(pic, 95, tsy::JpegChroma::k444, jpeg, int(state.range(0)));
    state.counters["bytes"] = double(jpeg.size());
}
BENCHMARK(BM_EncodeJpeg24MP)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
