// Reading 24 MP stereo pictures as the loader will: a JPS (full side by
// side, right view first) and a half side-by-side picture decoded and split,
// beside the decode alone; the layout guess on each and on a plain photo;
// and the search for the views of two-stream files and plain JPEGs.
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "TestStereoScene.h"
#include "input/JpegDecoder.h"
#include "input/JpsDescriptor.h"
#include "input/StereoStreams.h"
#include "prepare/LayoutDetect.h"
#include "prepare/StereoLayout.h"
#include "prepare/StereoMetadata.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using tsy::PictureBuffer;

Bytes Jpeg(const PictureBuffer& p, const Bytes& app3 = {}) {
    tjhandle tj = tjInitCompress();
    unsigned char* buf = nullptr;
    unsigned long size = 0;
    tjCompress2(tj, p.bits(), p.width(), 0, p.height(), TJPF_BGRX, &buf, &size, TJSAMP_420, 92, 0);
    Bytes out(buf, buf + size);
    tjFree(buf);
    tjDestroy(tj);
    if (!app3.empty()) {
        Bytes seg = {0xFF, 0xE3, std::uint8_t((app3.size() + 2) >> 8),
                     std::uint8_t(app3.size() + 2)};
        seg.insert(seg.end(), app3.begin(), app3.end());
        out.insert(out.begin() + 2, seg.begin(), seg.end());
    }
    return out;
}

// A camera's grain, so that the files are as large as a camera's (about
// 8 MB at 24 MP) and decoding costs what it costs there.
void AddSensorNoise(PictureBuffer& p, std::uint32_t seed) {
    std::uint32_t r = 2463534242u * seed;
    for (std::size_t i = 0; i < p.byteCount(); ++i) {
        r ^= r << 13, r ^= r >> 17, r ^= r << 5;
        if (i % 4 != 3)
            p.bits()[i] = std::uint8_t(std::clamp(int(p.bits()[i]) + int(r % 25) - 12, 0, 255));
    }
}

// Two views side by side, each made `w` wide by averaging columns in groups
// of `squeeze`, taking columns from `from`.
PictureBuffer SideBySide(const PictureBuffer& first, const PictureBuffer& second, int w, int from,
                         int squeeze, int h = 0) {
    PictureBuffer out;
    out.assign(2 * w, h ? h : first.height());
    for (int y = 0; y < out.height(); ++y)
        for (int v = 0; v < 2; ++v) {
            const std::uint8_t* src = (v ? second : first).row(y);
            std::uint8_t* dst = out.row(y) + std::size_t(v * w) * 4;
            for (int x = 0; x < w; ++x)
                for (int k = 0; k < 4; ++k) {
                    int s = 0;
                    for (int i = 0; i < squeeze; ++i)
                        s += src[std::size_t((from + x) * squeeze + i) * 4 + std::size_t(k)];
                    dst[std::size_t(x) * 4 + std::size_t(k)] = std::uint8_t(s / squeeze);
                }
        }
    return out;
}

struct Files {
    Bytes jps, halfSbs, photo, twoStream;
    PictureBuffer jpsPicture, halfPicture, photoPicture;
};

const Files& Made() {
    static const Files files = [] {
        Files f;
        PictureBuffer left, right;
        tsy::test::StereoScene({6000, 4000, 0, 0, 1, -0.06, 1}).Render(left, right);
        AddSensorNoise(left, 1), AddSensorNoise(right, 2);
        // The JPS: 3:2 views from the middle of each, right view first.
        f.jpsPicture = SideBySide(right, left, 4242, 879, 1, 2828);
        f.jps = Jpeg(f.jpsPicture, {'_', 'J', 'P', 'S', 'J', 'P', 'S', '_', 0, 4, 0, 0, 2, 1});
        f.halfPicture = SideBySide(left, right, 3000, 0, 2);
        f.halfSbs = Jpeg(f.halfPicture);
        f.photo = Jpeg(left);
        f.photoPicture.copyFrom(left);
        f.twoStream = f.photo;
        const Bytes second = Jpeg(right);
        f.twoStream.insert(f.twoStream.end(), second.begin(), second.end());
        std::string error;
        tsy::DecodeJpeg(f.jps, f.jpsPicture, error);  // as the file gives them back
        tsy::DecodeJpeg(f.halfSbs, f.halfPicture, error);
        tsy::DecodeJpeg(f.photo, f.photoPicture, error);
        return f;
    }();
    return files;
}

const Bytes& FileOf(int i) {
    const Files& f = Made();
    return i == 0 ? f.jps : i == 1 ? f.halfSbs : f.photo;
}

const char* NameOf(int i) {
    return i == 0 ? "jps" : i == 1 ? "half_sbs" : "photo";
}

double ThreadCpuMs() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// What the loader does with a JPS or side-by-side file: its marks, the
// stream search, the decode and the split into two views (half side by side
// where the file has no marks).
void Read(const Bytes& file, PictureBuffer& picture, PictureBuffer& left, PictureBuffer& right,
          int threads) {
    std::string error;
    const tsy::JpsRead jps = tsy::ReadJpsDescriptor(file);
    const tsy::StereoStreams streams = tsy::FindStereoStreams(file);
    tsy::DecodeJpeg(streams.view1, picture, error);
    const tsy::MetadataLayout marks = tsy::LayoutFromJps(jps, false);
    const tsy::StereoLayout halfSbs{tsy::Arrangement::SideBySide, true, true, 0};
    tsy::SplitStereo(picture,
                     marks.verdict == tsy::MetadataLayout::Verdict::Pair ? marks.layout : halfSbs,
                     left, right, threads);
}

// The decode alone and the whole read, one after the other in every
// iteration so that both meet the same load on a shared machine; thread CPU
// time besides wall time. The buffers are kept between files, as the window
// and the batch keep theirs, so that no run pays for first touching memory.
void BM_ReadOverDecode(benchmark::State& state) {
    const Bytes& file = FileOf(int(state.range(0)));
    static PictureBuffer decoded, picture, left, right;
    std::string error;
    tsy::DecodeJpeg(file, decoded, error);
    const int threads = int(state.range(1));
    Read(file, picture, left, right, threads);
    double decodeCpu = 0, readCpu = 0, decodeWall = 0, readWall = 0;
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        const double c0 = ThreadCpuMs();
        const auto w0 = Clock::now();
        tsy::DecodeJpeg(file, decoded, error);
        const double c1 = ThreadCpuMs();
        const auto w1 = Clock::now();
        Read(file, picture, left, right, threads);
        readCpu += ThreadCpuMs() - c1, decodeCpu += c1 - c0;
        readWall += std::chrono::duration<double, std::milli>(Clock::now() - w1).count();
        decodeWall += std::chrono::duration<double, std::milli>(w1 - w0).count();
    }
    const double n = double(state.iterations());
    state.counters["decode_cpu_ms"] = decodeCpu / n;
    state.counters["read_cpu_ms"] = readCpu / n;
    state.counters["cpu_ratio"] = readCpu / decodeCpu;
    state.counters["wall_ratio"] = readWall / decodeWall;
    state.SetLabel(std::string(NameOf(int(state.range(0)))) + ", split on " +
                   std::to_string(threads) + " thread(s)");
}

// The split alone, on one thread: what the read adds to the decode.
void BM_SplitOnly(benchmark::State& state) {
    const Files& f = Made();
    const bool half = state.range(0) == 1;
    const tsy::StereoLayout layout{tsy::Arrangement::SideBySide, half, half, 0};
    static PictureBuffer left, right;
    for (auto _ : state)
        tsy::SplitStereo(half ? f.halfPicture : f.jpsPicture, layout, left, right);
    state.SetLabel(NameOf(int(state.range(0))));
}

void BM_DetectLayout(benchmark::State& state) {
    const Files& f = Made();
    const int i = int(state.range(0));
    const PictureBuffer& p = i == 0 ? f.jpsPicture : i == 1 ? f.halfPicture : f.photoPicture;
    tsy::LayoutGuess g;
    for (auto _ : state)
        benchmark::DoNotOptimize(g = tsy::DetectLayout(p));
    state.SetLabel(std::string(NameOf(i)) +
                   (g.pair ? " -> " + tsy::LayoutName(g.layout) : " -> single"));
}

// The stream search alone: a two-stream file (both views found) and a plain
// photo (walked to its end to see that nothing follows).
void BM_FindStreams(benchmark::State& state) {
    const Files& f = Made();
    const Bytes& file = state.range(0) ? f.twoStream : f.photo;
    tsy::StereoStreams s;
    for (auto _ : state)
        benchmark::DoNotOptimize(s = tsy::FindStereoStreams(file));
    state.SetLabel(state.range(0) ? (s.kind == tsy::StreamKind::TwoStream ? "two-stream pair" : "?")
                                  : "photo");
    state.counters["file_MB"] = double(file.size()) / 1e6;
}

}  // namespace

BENCHMARK(BM_ReadOverDecode)
    ->ArgsProduct({{0, 1}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(7)
    ->ReportAggregatesOnly();
BENCHMARK(BM_SplitOnly)
    ->DenseRange(0, 1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly();
BENCHMARK(BM_DetectLayout)
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Repetitions(7)
    ->ReportAggregatesOnly();
BENCHMARK(BM_FindStreams)
    ->DenseRange(0, 1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

BENCHMARK_MAIN();
