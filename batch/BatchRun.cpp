#include "batch/BatchConverter.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <ostream>
#include <system_error>
#include <thread>

#include "base/WorkerPool.h"
#include "batch/LoadViews.h"
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

}  // namespace

int DefaultJobs(int cores, std::uint64_t available, std::uint64_t perJob) {
    cores = std::max(cores, 1);
    if (available == 0 || perJob == 0) return cores;
    return int(std::clamp<std::uint64_t>(available / perJob, 1, std::uint64_t(cores)));
}

int BatchConverter::JobsFor(int cores) const {
    if (options_.jobs > 0) return options_.jobs;
    const std::int64_t pixels = options_.files.empty() ? 0 : PicturePixels(options_.files[0]);
    return DefaultJobs(cores, AvailableMemory(), std::uint64_t(pixels) * kBytesPerPixel);
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
            log << "tessaly-batch: cannot make the folder " << options_.outDir << ": "
                << (ec ? ec.message() : "a file of that name is in the way") << "\n";
            for (std::size_t i = 0; i < files.size(); ++i)
                outcomes_[i] = {files[i], OutputPathFor(files[i]), "no output folder", 0};
            return false;
        }
    }

    const int cores = HardwareThreads();
    const int jobs = std::clamp(JobsFor(cores), 1, std::max(count, 1));
    const int threads = std::max(1, cores / jobs);

    auto shared = std::make_shared<BatchReporter>(log, terminal, terminalWidth, count);
    BatchReporter& reporter = *shared;
    {
        std::lock_guard lock(reporterMutex_);
        reporter_ = shared;
    }
    std::atomic<int> next{0};
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    int running = jobs;

    auto worker = [&] {
        ConvertWork work;
        for (int i; (i = next.fetch_add(1)) < count;) {
            const std::size_t k = std::size_t(i);
            reporter.Started(k, files[k]);
            FileOutcome o;
            if (!preset[k].empty())
                o = {files[k], OutputPathFor(files[k]), preset[k], 0};
            else
                o = Convert(files[k], threads, work);
            if (results && !o.aligned.empty()) {
                std::lock_guard lock(doneMutex);
                *results << o.aligned << "\n" << std::flush;
            }
            outcomes_[k] = o;
            reporter.Finished(k, o);
        }
        std::lock_guard lock(doneMutex);
        if (--running == 0) doneSignal.notify_all();
    };

    PreparePictureLoading();
    std::vector<std::thread> workers;
    for (int j = 0; j < jobs; ++j) {
        try {
            workers.emplace_back(worker);
        } catch (const std::system_error&) {
            std::lock_guard lock(doneMutex);
            --running;  // fewer workers; the others take its share
        }
    }
    if (workers.empty()) {
        running = 1;
        worker();
    }
    {
        // The time left keeps counting down between finished files.
        std::unique_lock lock(doneMutex);
        while (!doneSignal.wait_for(lock, std::chrono::milliseconds(500),
                                    [&] { return running == 0; }))
            reporter.Tick();
    }
    for (std::thread& t : workers)
        t.join();
    reporter.Summary();
    {
        std::lock_guard lock(reporterMutex_);
        reporter_.reset();
    }
    return std::all_of(outcomes_.begin(), outcomes_.end(),
                       [](const FileOutcome& o) { return o.ok(); });
}

}  // namespace tsy
