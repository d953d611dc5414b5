// The PNG optimiser's encoder and the JPEG chroma choice, on a generated
// 1 MP anaglyph, and the JPEG encoder at 24 MP. Sizes and errors are reported
// as counters.
#include <benchmark/benchmark.h>

#include <turbojpeg.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>

#include "AnaglyphScene.h"
#include "output/png/HuffmanDeflate.h"
#include "base/WorkerPool.h"
#include "output/FileFormats.h"
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

const tsy::PictureBuffer& Scene24MP(std::uint32_t seed) {
    static tsy::PictureBuffer pics[3];
    if (!pics[seed].hasImage()) tsy::bench::MakeAnaglyphScene(pics[seed], 6000, 4000, seed);
    return pics[seed];
}

// The JPEG encoder on a 24 MP anaglyph at quality 95, on one core and in
// strips on every core.
void BM_EncodeJpeg24MP(benchmark::State& state) {
    const tsy::PictureBuffer& pic = Scene24MP(1);
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

// Every stereo format written to a file from a 24 MP pair through its row
// of the format table, as both programs write it, beside the save of one
// 24 MP anaglyph (the jpg row: 4:4:4 at quality 95, strips on every core).
// Run with --benchmark_enable_random_interleaving and repetitions, so that a
// busy machine weighs on every row alike; the CPU column is the whole
// process's, the helper threads included.
const char* const kRows[] = {"jpg",   "mpo",  "jps",       "sbs-lr.jpg", "sbs-lr-half.jpg",
                             "tb-lr-half.jpg", "gif", "webp", "sbs-lr.png", "sbs-lr-half.png"};
void BM_StereoSave24MP(benchmark::State& state) {
    const tsy::FileFormat& row = *tsy::SaveFormatByName(kRows[state.range(0)]);
    state.SetLabel(std::string(row.name));
    tsy::SaveSettings settings;
    settings.threads = tsy::HardwareThreads();
    if (state.range(1) == 444) settings.stereo.chroma = tsy::JpegChroma::k444;
    const std::string path = "/tmp/tsy-bench-stereo-" + std::to_string(::getpid());
    const tsy::PictureBuffer &left = Scene24MP(1), &right = Scene24MP(2);
    tsy::SaveInput input;
    input.anaglyph = &left;  // an anaglyph codes like a photo of its size
    input.left = &left;
    input.right = &right;
    std::string error;
    for (auto _ : state) {
        tsy::FileReplacer file(path);
        if (!file.Open(error) || !row.Write(input, settings, file, error) || !file.Commit(error))
            return state.SkipWithError(error.c_str());
    }
    struct stat st {};
    ::stat(path.c_str(), &st);
    ::unlink(path.c_str());
    state.counters["bytes"] = double(st.st_size);
}
BENCHMARK(BM_StereoSave24MP)
    ->ArgNames({"format", "chroma"})
    ->ArgsProduct({{0, 1, 2, 3, 4, 5, 6, 7}, {420}})
    ->Args({1, 444})
    ->Args({2, 444})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(BM_StereoSave24MP)
    ->ArgNames({"format", "chroma"})
    ->Args({8, 420})
    ->Args({9, 420})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
