#include "batch/BatchConverter.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <new>
#include <ostream>
#include <system_error>
#include <thread>
#include <utility>

#include "base/Exists.h"
#include "base/PictureBuffer.h"
#include "base/Progress.h"
#include "base/WorkerPool.h"
#include "batch/LoadViews.h"
#include "output/SaveFormats.h"
#include "output/SaveName.h"
#include "prepare/SideBySide.h"
#include "render/BlendPipeline.h"
#include "render/Methods.h"

namespace tsy {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

BatchConverter::BatchConverter(BatchOptions options) : options_(std::move(options)) {}

std::string BatchConverter::OutputPathFor(const std::string& input) const {
    const char* suffix = kGlasses[options_.glasses].saveSuffix;
    const std::string format = "." + options_.format;
    std::string name = ProposedSaveName(input, suffix, format);
    // Without an extension the window proposes nothing; a batch needs a name,
    // and a final dot makes the whole name the part before the extension.
    if (name.empty()) name = ProposedSaveName(input + ".", suffix, format);
    if (name.empty() || options_.outDir.empty()) return name;
    return (fs::path(options_.outDir) / fs::path(name).filename()).string();
}

namespace {

// Engine failures arrive as error reports; the captions mean nothing here.
class QuietSink final : public ProgressSink {
public:
    void SetCap(const std::string&) override {}
    void ReportError(int number, const std::string& message) override {
        error = message + " (error " + std::to_string(number) + ")";
    }
    std::string error;
};

}  // namespace

struct BatchConverter::Workspace {
    PictureBuffer image1, image2, result;
};

namespace {

struct Job {
    const BatchOptions& o;
    const std::string& input;
    const std::string& output;
    int threads;

    bool Save(const PictureBuffer& result, std::string& error) const {
        const SaveFormat* format = SaveFormatByName(o.format);
        if (!format) {
            error = "unknown format " + o.format;
            return false;
        }
        SaveSettings settings;
        settings.quality = o.quality;
        settings.threads = threads;
        // Without --overwrite the commit refuses an existing file atomically.
        if (SavePicture(*format, result, output, settings, o.overwrite, error)) return true;
        if (!o.overwrite && KindOfPath(output) != PathKind::None)
            error = output + " exists already (--overwrite replaces it)";
        return false;
    }

    bool Convert(PictureBuffer& image1, PictureBuffer& image2, PictureBuffer& result,
                 std::string& error) const {
        if (output.empty()) {
            error = "no output name can be made from this path";
            return false;
        }
        if (!o.overwrite && KindOfPath(output) != PathKind::None) {
            error = output + " exists already (--overwrite replaces it)";
            return false;
        }
        if (!LoadViews(o, input, threads, image1, image2, error)) return false;
        const int picW = image1.width();
        const int picH = image1.height();
        if (o.sideBySide) SplitSideBySide(image1, picW, picH, o.stretch, image1, image2);
        if (o.swap) image1.swap(image2);
        SizeWorkingBuffers(image1, image2, result, picW, picH, o.stretch);

        AnaglyphSettings settings;
        settings.methodNumber = MethodNumberFor(o.glasses, o.method);
        settings.brightness = o.brightness;
        settings.offsetX = o.dx;
        settings.offsetY = o.dy;
        // As in the window, the engine starts from a result without picture.
        result.clear();
        QuietSink sink;
        if (!BuildAnaglyph(image1, image2, result, settings, sink, threads)) {
            error = "the anaglyph could not be built: " + sink.error;
            return false;
        }
        // A PNG takes seconds to code and needs room for its RGB rows: the
        // views go back to the system, whose fresh pages then cost the next
        // file a fraction of a per cent. JPEG keeps them.
        if (o.format == "png") image1 = PictureBuffer(), image2 = PictureBuffer();
        return Save(result, error);
    }
};

}  // namespace

FileOutcome BatchConverter::ConvertFile(const std::string& input, int threads) const {
    Workspace work;
    return Convert(input, threads, work);
}

FileOutcome BatchConverter::Convert(const std::string& input, int threads, Workspace& work) const {
    const auto start = Clock::now();
    FileOutcome outcome;
    outcome.input = input;
    outcome.output = OutputPathFor(input);
    try {
        std::string error;
        const Job job{options_, input, outcome.output, std::max(threads, 1)};
        if (!job.Convert(work.image1, work.image2, work.result, error))
            outcome.error = error.empty() ? "failed" : error;
    } catch (const std::bad_alloc&) {
        outcome.error = "not enough memory";
    } catch (const std::exception& e) {
        outcome.error = e.what();
    }
    outcome.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return outcome;
}

bool BatchConverter::Run(std::ostream& log, bool terminal, int terminalWidth) {
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
    const int jobs = std::clamp(options_.jobs > 0 ? options_.jobs : cores, 1, std::max(count, 1));
    const int threads = std::max(1, cores / jobs);

    BatchReporter reporter(log, terminal, terminalWidth, count);
    std::atomic<int> next{0};
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    int running = jobs;

    auto worker = [&] {
        Workspace work;
        for (int i; (i = next.fetch_add(1)) < count;) {
            const std::size_t k = std::size_t(i);
            reporter.Started(files[k]);
            FileOutcome o;
            if (!preset[k].empty())
                o = {files[k], OutputPathFor(files[k]), preset[k], 0};
            else
                o = Convert(files[k], threads, work);
            outcomes_[k] = o;
            reporter.Finished(o);
        }
        std::lock_guard lock(doneMutex);
        if (--running == 0) doneSignal.notify_all();
    };

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
            if (terminal) reporter.Tick();
    }
    for (std::thread& t : workers)
        t.join();
    reporter.Summary();
    return std::all_of(outcomes_.begin(), outcomes_.end(),
                       [](const FileOutcome& o) { return o.ok(); });
}

}  // namespace tsy
