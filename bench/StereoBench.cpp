// Reading stereo pictures of 6000 x 4000 views as the batch does, through
// the one loader: a JPS (12000 x 4000, full side by side, right view first)
// and a half side-by-side picture (6000 x 4000) opened, decoded and split,
// beside the decode alone; what --layout auto adds on a plain 24 MP photo;
// the layout guess on each picture and the search for the views of
// two-stream files and plain JPEGs.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "TestStereoScene.h"
#include "convert/PairSource.h"
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
    std::string dir, paths[3];  // jps, half_sbs, photo on disk, for the loader
    Files() = default;
    Files(Files&&) = default;
    ~Files() {
        for (const std::string& p : paths)
            ::unlink(p.c_str());
        if (!dir.empty()) ::rmdir(dir.c_str());
    }
};

std::string Write(const std::string& dir, const char* name, const Bytes& bytes) {
    const std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

const Files& Made() {
    static const Files files = [] {
        Files f;
        PictureBuffer left, right;
        tsy::test::StereoScene({6000, 4000, 0, 0, 1, -0.06, 1}).Render(left, right);
        AddSensorNoise(left, 1), AddSensorNoise(right, 2);
        // The JPS: both whole views, right view first.
        f.jpsPicture = SideBySide(right, left, 6000, 0, 1);
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
        char dir[] = "/tmp/tsy-bench-XXXXXX";
        f.dir = ::mkdtemp(dir) ? dir : "/tmp";
        f.paths[0] = Write(f.dir, "pair.jps", f.jps);
        f.paths[1] = Write(f.dir, "pair-half.jpg", f.halfSbs);
        f.paths[2] = Write(f.dir, "photo.jpg", f.photo);
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

double CpuMs() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// The decode as the batch's decoder runs it: damage refused.
void Decode(tsy::FileBytes bytes, PictureBuffer& out) {
    std::string error;
    if (!tsy::DecodeJpeg(bytes, out, error, tsy::kDefaultJpegPixelLimit, true))
        throw std::runtime_error(error);
}

struct Phases {
    double open = 0, decode = 0, views = 0;  // wall ms summed
};

// What the batch does with a JPS or side-by-side file before the anaglyph:
// the loader finds the view, the decoder decodes it and the loader splits
// it. The JPS is read by its marks (--layout auto), the half side-by-side
// picture as named (--layout sbs-lr-half). Gives the layout split.
tsy::StereoLayout Read(int i, PictureBuffer& image1, PictureBuffer& image2,
                       PictureBuffer& scratch, int threads, Phases& phases) {
    const tsy::StereoLayout asked =
        i == 0 ? tsy::StereoLayout{tsy::Arrangement::Auto}
               : tsy::StereoLayout{tsy::Arrangement::SideBySide, true, true, 0};
    tsy::PairSource source;
    std::vector<std::string> warnings;
    std::string error;
    auto t = Clock::now();
    if (!source.Open(asked, Made().paths[i], "", warnings, error))
        throw std::runtime_error(error);
    phases.open += Since(t), t = Clock::now();
    Decode(source.view1(), image1);
    phases.decode += Since(t), t = Clock::now();
    tsy::StereoLayout split;
    if (!source.MakeViews(image1, image2, scratch, threads, warnings, error, &split))
        throw std::runtime_error(error);
    phases.views += Since(t);
    return split;
}

// The decode of the file alone and the whole read, both in every iteration,
// taking turns at going first, so that both meet the same load on a shared
// machine; process CPU time besides wall time. The buffers are kept between
// files, as the batch keeps its own, so that no run pays for first touching
// memory.
void BM_ReadOverDecode(benchmark::State& state) {
    const int i = int(state.range(0));
    const Bytes& file = FileOf(i);
    static PictureBuffer decoded, image1, image2, scratch;
    const int threads = int(state.range(1));
    Decode(file, decoded);
    Phases phases;
    tsy::StereoLayout split;
    for (int k = 0; k < 2; ++k)  // image1 and scratch both at the whole size
        split = Read(i, image1, image2, scratch, threads, phases);
    phases = {};
    if (image1.width() != 6000 || image1.height() != 4000 || image2.width() != 6000)
        state.SkipWithError("the views are not 6000 x 4000");
    double decodeCpu = 0, readCpu = 0, decodeWall = 0, readWall = 0;
    bool decodeFirst = true;
    for (auto _ : state) {
        for (int k = 0; k < 2; ++k) {
            const double c = CpuMs();
            const auto w = Clock::now();
            if (k == 0 ? decodeFirst : !decodeFirst) {
                Decode(file, decoded);
                decodeWall += Since(w), decodeCpu += CpuMs() - c;
            } else {
                Read(i, image1, image2, scratch, threads, phases);
                readWall += Since(w), readCpu += CpuMs() - c;
            }
        }
        decodeFirst = !decodeFirst;
    }
    const double n = double(state.iterations());
    state.counters["decode_ms"] = decodeWall / n;
    state.counters["read_ms"] = readWall / n;
    state.counters["wall_ratio"] = readWall / decodeWall;
    state.counters["cpu_ratio"] = readCpu / decodeCpu;
    state.counters["open_ms"] = phases.open / n;
    state.counters["decode_in_read_ms"] = phases.decode / n;
    state.counters["views_ms"] = phases.views / n;
    state.SetLabel(std::string(NameOf(i)) + " as " + tsy::LayoutName(split) + ", split on " +
                   std::to_string(threads) + " thread(s)");
}

// What --layout auto adds to the read of a plain 24 MP photo: the loader's
// look at the file (its streams, its JPS marks) and the layout guess on the
// decoded picture, which finds one picture.
void BM_AutoOnPhoto(benchmark::State& state) {
    const Files& f = Made();
    double openWall = 0, guessWall = 0, cpu = 0;
    tsy::LayoutGuess g;
    for (auto _ : state) {
        const double c = CpuMs();
        auto w = Clock::now();
        tsy::PairSource source;
        std::vector<std::string> warnings;
        std::string error;
        if (!source.Open({tsy::Arrangement::Auto}, f.paths[2], "", warnings, error))
            throw std::runtime_error(error);
        openWall += Since(w);
        w = Clock::now();
        benchmark::DoNotOptimize(g = source.Layout(f.photoPicture));
        guessWall += Since(w), cpu += CpuMs() - c;
    }
    const double n = double(state.iterations());
    state.counters["open_ms"] = openWall / n;
    state.counters["guess_ms"] = guessWall / n;
    state.counters["cpu_ms"] = cpu / n;
    state.SetLabel(g.pair ? "photo -> " + tsy::LayoutName(g.layout) : "photo -> single");
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
    ->Iterations(4)
    ->Repetitions(7)
    ->ReportAggregatesOnly();
BENCHMARK(BM_AutoOnPhoto)
    ->Unit(benchmark::kMillisecond)
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
