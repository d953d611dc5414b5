#include "batch/BatchConverter.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <ostream>
#include <system_error>

#include "base/WorkerPool.h"
#include "batch/LoadViews.h"
#include "batch/MemoryBudget.h"
#include "input/JpegDecoder.h"
#include "input/MappedFile.h"
#include "platform/PictureLoader.h"

namespace tsy {

namespace fs = std::filesystem;

namespace {

// What one job holds for each pixel of its file: both views, the result and
// the encoder's copy (measured: 0.77 GB for a 48-megapixel pair).
constexpr std::uint64_t kBytesPerPixel = 16;

// The kernel's estimate of what can be had without swapping; 0 when unknown.
std::uint64_t AvailableMemory() {
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    std::uint64_t kib = 0;
    while (meminfo >> key >> kib) {
        if (key == "MemAvailable:") return kib * 1024;
        meminfo.ignore(256, '\n');
    }
    return 0;
}

// What converting a file holds at most, from the headers of its pictures
// (0 when they tell nothing): kBytesPerPixel for each pixel, and while the
// views decode, the coefficients a progressive JPEG keeps of each.
std::uint64_t BytesToConvert(const std::string& path, int views) {
    const std::int64_t pixels = PicturePixels(path);
    MappedFile file;
    std::string ignored;
    const std::uint64_t coefficients =
        file.open(path, ignored) ? JpegDecoderBytes(file.bytes()) : 0;
    return std::uint64_t(std::max<std::int64_t>(pixels, 0)) * kBytesPerPixel +
           std::uint64_t(views) * coefficients;
}

std::string Megabytes(std::uint64_t bytes) {
    return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MB";
}

}  // namespace

void BatchConverter::LimitMemory(std::uint64_t bytes) {
    memoryLimit_ = bytes;
}

std::uint64_t BatchConverter::BytesFor(const std::string& input) const {
    const Arrangement a = options_.recipe.layout().arrangement;
    const int views = a == Arrangement::SideBySide || a == Arrangement::TopBottom ? 1 : 2;
    std::uint64_t bytes = BytesToConvert(input, views);
    if (!options_.right.empty()) bytes = std::max(bytes, BytesToConvert(options_.right, views));
    return bytes;
}

bool BatchConverter::Run(std::ostream& log, bool terminal, int terminalWidth,
                         std::ostream* results) {
    const std::vector<std::string>& files = options_.files;
    const int count = int(files.size());
    outcomes_.assign(files.size(), FileOutcome{});

    // Two inputs that map to one output would overwrite each other or fail
    // by chance of timing; the later ones fail before any work.
    std::map<std::string, std::string> claimed;
    std::vector<std::string> preset(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string out = OutputPathFor(files[i]);
        if (out.empty()) continue;
        std::error_code ec;
        fs::path key = fs::absolute(out, ec).lexically_normal();
        const auto [it, fresh] = claimed.emplace(key.string(), files[i]);
        if (!fresh) preset[i] = "same output name as " + it->second + " (" + out + ")";
    }

    if (!options_.outDir.empty()) {
        std::error_code ec;
        fs::create_directories(options_.outDir, ec);
        if (ec || !fs::is_directory(options_.outDir)) {
            log << "tessaly-batch: cannot make the folder " << OneLine(options_.outDir) << ": "
                << (ec ? ec.message() : "a file of that name is in the way") << "\n";
            for (std::size_t i = 0; i < files.size(); ++i)
                outcomes_[i] = {files[i], OutputPathFor(files[i]), "no output folder", 0};
            return false;
        }
    }

    // One job per core unless told; each file is admitted against the memory
    // still free, so the run never holds more than was available at its start.
    const int cores = HardwareThreads();
    const int jobs = std::clamp(options_.jobs > 0 ? options_.jobs : cores, 1, std::max(count, 1));
    const int threads = std::max(1, cores / jobs);
    MemoryBudget budget(memoryLimit_ ? memoryLimit_ : AvailableMemory());

    auto shared = std::make_shared<BatchReporter>(log, terminal, terminalWidth, count);
    BatchReporter& reporter = *shared;
    {
        std::lock_guard lock(reporterMutex_);
        reporter_ = shared;
    }
    std::atomic<int> next{0};
    std::mutex resultsMutex;

    const auto worker = [&](int) {
        ConvertWork work;
        std::uint64_t held = 0;
        for (int i; (i = next.fetch_add(1)) < count;) {
            const std::size_t k = std::size_t(i);
            FileOutcome o;
            if (!preset[k].empty()) {
                o = {files[k], OutputPathFor(files[k]), preset[k], 0};
            } else if (const std::uint64_t need = BytesFor(files[k]);
                       !budget.Take(held, need, [&work] { work = ConvertWork(); })) {
                o = {files[k], OutputPathFor(files[k]),
                     "needs about " + Megabytes(need) + " of memory, more than the " +
                         Megabytes(budget.total()) + " available",
                     0};
            }
            reporter.Started(k, files[k]);
            if (o.input.empty()) o = Convert(files[k], threads, work);
            if (results && !o.aligned.empty()) {
                std::lock_guard lock(resultsMutex);
                *results << o.aligned << "\n" << std::flush;
            }
            outcomes_[k] = o;
            reporter.Finished(k, o);
        }
        work = ConvertWork();
        budget.Give(held);
    };

    PreparePictureLoading();
    // The time left keeps counting down between finished files.
    ParallelForWhileWaiting(jobs, jobs, worker, std::chrono::milliseconds(500),
                            [&reporter] { reporter.Tick(); });
    memoryPeak_ = budget.peak();
    reporter.Summary();
    {
        std::lock_guard lock(reporterMutex_);
        reporter_.reset();
    }
    return std::all_of(outcomes_.begin(), outcomes_.end(),
                       [](const FileOutcome& o) { return o.ok(); });
}

}  // namespace tsy
