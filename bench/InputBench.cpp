// Loading a 24 MP camera MPO: finding image 2 (MP index and scan), getting
// the file's bytes (mapping against reading), and decoding both views.
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "base/PictureBuffer.h"
#include "base/Progress.h"
#include "base/WorkerPool.h"
#include "input/JpegDecoder.h"
#include "input/MappedFile.h"
#include "input/MpoReader.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A 6000 x 4000 view with fine texture, so that it compresses to a size
// typical of camera files (several megabytes at quality 95).
Bytes CameraJpeg(int seed) {
    const int w = 6000, h = 4000;
    Bytes rgb(std::size_t(w) * h * 3);
    std::uint32_t r = 2463534242u + std::uint32_t(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            r ^= r << 13;
            r ^= r >> 17;
            r ^= r << 5;
            std::uint8_t* p = &rgb[(std::size_t(y) * w + x) * 3];
            p[0] = std::uint8_t(x / 24 + (r & 31));
            p[1] = std::uint8_t(y / 16 + (r >> 8 & 31));
            p[2] = std::uint8_t((x + y) / 40 + (r >> 16 & 31) + seed * 40);
        }
    tjhandle tj = tjInitCompress();
    unsigned char* buf = nullptr;
    unsigned long size = 0;
    tjCompress2(tj, rgb.data(), w, 0, h, TJPF_RGB, &buf, &size, TJSAMP_420, 95, 0);
    Bytes out(buf, buf + size);
    tjFree(buf);
    tjDestroy(tj);
    return out;
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = std::uint8_t(v >> 8 * i);
}

// Two views behind each other, image 1 carrying a little-endian MP index.
struct Mpo {
    Bytes file;
    std::size_t image2 = 0;
};

const Mpo& CameraMpo() {
    static const Mpo mpo = [] {
        const Bytes v1 = CameraJpeg(0), v2 = CameraJpeg(1);
        Bytes mp(8 + 2 + 3 * 12 + 4 + 32, 0);
        std::memcpy(mp.data(), "II*\0", 4);
        Put32(mp, 4, 8);
        mp[8] = 3;
        const std::uint16_t tags[] = {0xB000, 0xB001, 0xB002};
        for (int i = 0; i < 3; ++i) {
            const std::size_t e = 10 + 12 * i;
            mp[e] = std::uint8_t(tags[i]);
            mp[e + 1] = std::uint8_t(tags[i] >> 8);
            mp[e + 2] = i == 1 ? 4 : 7;
            Put32(mp, e + 4, i == 0 ? 4 : i == 1 ? 1 : 32);
            Put32(mp, e + 8, i == 0 ? 0x30303130 : i == 1 ? 2 : 50);
        }
        const std::size_t seg = mp.size() + 6;
        const std::uint8_t head[] = {
            0xFF, 0xD8, 0xFF, 0xE2, std::uint8_t(seg >> 8), std::uint8_t(seg), 'M', 'P', 'F', 0};
        Mpo m;
        m.file.resize(sizeof head + mp.size() + v1.size() - 2 + v2.size());
        std::size_t at = 0;
        const auto append = [&](const std::uint8_t* p, std::size_t n) {
            std::memcpy(m.file.data() + at, p, n);
            at += n;
        };
        append(head, sizeof head);
        const std::size_t mpStart = at;
        append(mp.data(), mp.size());
        append(v1.data() + 2, v1.size() - 2);
        m.image2 = at;
        append(v2.data(), v2.size());
        Put32(m.file, mpStart + 50 + 4, std::uint32_t(m.image2));
        Put32(m.file, mpStart + 50 + 20, std::uint32_t(v2.size()));
        Put32(m.file, mpStart + 50 + 24, std::uint32_t(m.image2 - mpStart));
        return m;
    }();
    return mpo;
}

// Image 1 alone: the scan then runs through its whole entropy-coded data.
const Bytes& PlainJpeg() {
    static const Bytes plain = CameraJpeg(2);
    return plain;
}

std::string SaveTo(const std::string& name, const Bytes& b) {
    const std::string path = "/tmp/tsy-bench-" + std::to_string(getpid()) + "-" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    return path;
}

void BM_FindByIndex(benchmark::State& state) {
    const Mpo& m = CameraMpo();
    tsy::SilentProgress quiet;
    if (tsy::FindImage2Offset(m.file, quiet) != std::int64_t(m.image2))
        state.SkipWithError("image 2 not found through the index");
    for (auto _ : state)
        benchmark::DoNotOptimize(tsy::FindImage2Offset(m.file, quiet));
    state.counters["file_MB"] = double(m.file.size()) / 1e6;
}

void BM_ScanWholeFile(benchmark::State& state) {
    const Bytes& f = PlainJpeg();
    tsy::SilentProgress quiet;
    if (tsy::FindImage2Offset(f, quiet) != 0) state.SkipWithError("stray stream start");
    for (auto _ : state)
        benchmark::DoNotOptimize(tsy::FindImage2Offset(f, quiet));
    state.SetBytesProcessed(std::int64_t(state.iterations() * f.size()));
    state.counters["file_MB"] = double(f.size()) / 1e6;
}

// The earlier rule, held in memory: the file's first four bytes compared at
// every 16th offset (it read them from the file one position at a time).
void BM_ScanEvery16thReference(benchmark::State& state) {
    const Bytes& f = PlainJpeg();
    for (auto _ : state) {
        std::size_t hit = 0;
        for (std::size_t p = 16; p + 4 <= f.size() && !hit; p += 16)
            if (std::memcmp(&f[p], f.data(), 4) == 0) hit = p;
        benchmark::DoNotOptimize(hit);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * f.size()));
}

// memmem for the three bytes, the other obvious block search.
void BM_ScanMemmemAlternative(benchmark::State& state) {
    const Bytes& f = PlainJpeg();
    static const std::uint8_t soi[] = {0xFF, 0xD8, 0xFF};
    for (auto _ : state)
        benchmark::DoNotOptimize(memmem(f.data() + 1, f.size() - 1, soi, 3));
    state.SetBytesProcessed(std::int64_t(state.iterations() * f.size()));
}

// Getting the bytes and reading every one of them once (as decoding does).
std::uint64_t Touch(std::span<const std::uint8_t> b) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < b.size(); i += 64)
        sum += b[i];
    return sum;
}

void BM_MapFile(benchmark::State& state) {
    const std::string path = SaveTo("map.mpo", CameraMpo().file);
    for (auto _ : state) {
        tsy::MappedFile f(path);
        benchmark::DoNotOptimize(Touch(f.bytes()));
    }
    std::remove(path.c_str());
}

void BM_ReadFile(benchmark::State& state) {
    const std::string path = SaveTo("read.mpo", CameraMpo().file);
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        Bytes b(std::size_t(::lseek(fd, 0, SEEK_END)));
        benchmark::DoNotOptimize(::pread(fd, b.data(), b.size(), 0));
        ::close(fd);
        benchmark::DoNotOptimize(Touch(b));
    }
    std::remove(path.c_str());
}

void BM_DecodeOneView(benchmark::State& state) {
    const Mpo& m = CameraMpo();
    tsy::PictureBuffer pic;
    std::string error;
    for (auto _ : state)
        benchmark::DoNotOptimize(tsy::DecodeJpeg(m.file, pic, error));
}

// What the window does for an MPO opened as image 1: map, locate, decode both
// views, on one thread or two.
void BM_LoadMpo(benchmark::State& state) {
    const std::string path = SaveTo("load.mpo", CameraMpo().file);
    tsy::PictureBuffer pics[2];
    const int threads = int(state.range(0));
    for (auto _ : state) {
        tsy::MappedFile file(path);
        tsy::SilentProgress quiet;
        const std::span<const std::uint8_t> views[2] = {
            file.bytes(), tsy::LocateMpoImage2(path, file.bytes(), quiet)};
        tsy::ParallelFor(2, threads, [&](int i) {
            std::string error;
            tsy::DecodeJpeg(views[i], pics[i], error);
        });
        benchmark::DoNotOptimize(pics[1].bits());
    }
    std::remove(path.c_str());
}

}  // namespace

BENCHMARK(BM_FindByIndex)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly();
BENCHMARK(BM_ScanWholeFile)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly();
BENCHMARK(BM_ScanEvery16thReference)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly();
BENCHMARK(BM_ScanMemmemAlternative)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly();
BENCHMARK(BM_MapFile)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly();
BENCHMARK(BM_ReadFile)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly();
BENCHMARK(BM_DecodeOneView)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(5)
    ->ReportAggregatesOnly();
BENCHMARK(BM_LoadMpo)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(5)
    ->ReportAggregatesOnly()
    ->UseRealTime();

BENCHMARK_MAIN();
