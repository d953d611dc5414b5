#include "batch/BatchConverter.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <new>
#include <optional>
#include <tuple>
#include <utility>

#include "base/Exists.h"
#include "base/PictureBuffer.h"
#include "base/Progress.h"
#include "base/ReplaceFile.h"
#include "batch/LoadViews.h"
#include "input/CameraParallax.h"
#include "input/MappedFile.h"
#include "output/SaveFormats.h"
#include "output/SaveName.h"
#include "prepare/SideBySide.h"
#include "prepare/StereoAlign.h"
#include "render/BlendPipeline.h"
#include "render/Methods.h"

namespace tsy {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

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

namespace {

bool SameSize(const PictureBuffer& a, const PictureBuffer& b) {
    return a.width() == b.width() && a.height() == b.height();
}

std::string SizeText(const PictureBuffer& p) {
    return std::to_string(p.width()) + " x " + std::to_string(p.height());
}

}  // namespace

BatchConverter::BatchConverter(BatchOptions options) : options_(std::move(options)) {
    std::vector<std::string> inputs = options_.files;
    if (!options_.right.empty()) inputs.push_back(options_.right);
    for (const std::string& path : inputs) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) inputs_.emplace_back(st.st_dev, st.st_ino);
    }
}

BatchConverter::~BatchConverter() = default;

bool BatchConverter::IsInput(const std::string& path) const {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    const std::pair<std::uint64_t, std::uint64_t> id(st.st_dev, st.st_ino);
    return std::find(inputs_.begin(), inputs_.end(), id) != inputs_.end();
}

bool BatchConverter::Save(const PictureBuffer& result, const std::string& output, int threads,
                          std::string& error) const {
    const SaveFormat* format = SaveFormatByName(options_.format);
    if (!format) {
        error = "unknown format " + options_.format;
        return false;
    }
    SaveSettings settings;
    settings.quality = options_.quality;
    settings.threads = threads;
    FileReplacer file(output);
    if (!file.Open(error) || !format->write(result, settings, file, error)) return false;
    std::lock_guard lock(commitMutex_);
    if (stopped_) {
        error = "stopped";
        return false;
    }
    // Checked again here: the input may have been linked to this name since.
    if (IsInput(output)) {
        error = output + " is an input of this run and is never replaced";
        return false;
    }
    // Without --overwrite the commit refuses an existing file atomically.
    if (file.Commit(error, options_.overwrite)) {
        ++committed_;
        return true;
    }
    if (!options_.overwrite && KindOfPath(output) != PathKind::None)
        error = output + " exists already (--overwrite replaces it)";
    return false;
}

bool BatchConverter::Build(const std::string& input, int threads, Workspace& work,
                           FileOutcome& outcome) const {
    const BatchOptions& o = options_;
    const std::string& output = outcome.output;
    std::string& error = outcome.error;
    if (output.empty()) {
        error = "no output name can be made from this path";
        return false;
    }
    if (IsInput(output)) {
        error = output + " is an input of this run and is never replaced";
        return false;
    }
    if (!o.overwrite && KindOfPath(output) != PathKind::None) {
        if (o.skipExisting) {
            outcome.skipped = true;
            return true;
        }
        error = output + " exists already (--overwrite replaces it)";
        return false;
    }
    PictureBuffer &image1 = work.image1, &image2 = work.image2, &result = work.result;
    if (!LoadViews(o, input, threads, image1, image2, outcome.warnings, error)) return false;
    if (!o.sideBySide && !SameSize(image1, image2))
        outcome.warnings.push_back("the views differ in size (image 1 " + SizeText(image1) +
                                   ", image 2 " + SizeText(image2) +
                                   " pixels); image 2 is cut or filled with black to match");
    const int picW = image1.width();
    const int picH = image1.height();
    if (o.sideBySide) SplitSideBySide(image1, picW, picH, o.stretch, image1, image2);
    if (o.swap) image1.swap(image2);
    SizeWorkingBuffers(image1, image2, result, picW, picH, o.stretch);
    int dx = o.dx;
    if ((o.align || o.dxFrom != BatchOptions::Dx::Given) &&
        !Align(input, threads, work, dx, outcome))
        return false;
    // Views moved a whole picture apart no longer overlap: the file would be black.
    for (const auto& [name, offset, side] :
         {std::tuple{"--dx", dx, image1.width()}, std::tuple{"--dy", o.dy, image1.height()}})
        if (std::abs(offset) >= side) {
            error = std::string(name) + " " + std::to_string(offset) + " is not smaller than the " +
                    (name[3] == 'x' ? "width" : "height") + " of the picture (" +
                    std::to_string(side) + " pixels)";
            return false;
        }

    AnaglyphSettings settings;
    settings.methodNumber = MethodNumberFor(o.glasses, o.method);
    settings.brightness = o.brightness;
    settings.offsetX = dx;
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
    return Save(result, output, threads, error);
}

// Aligns image 2 (with the result as room) and picks dx as asked; the
// outcome gets the line for standard output or a warning.
bool BatchConverter::Align(const std::string& input, int threads, Workspace& work, int& dx,
                           FileOutcome& outcome) const {
    const BatchOptions& o = options_;
    PictureBuffer &image1 = work.image1, &image2 = work.image2, &scratch = work.result;
    std::optional<double> camera;
    MappedFile file;
    std::string ignored;
    if (!o.sideBySide && o.right.empty() && file.open(input, ignored)) {
        camera = CameraOffsetX(file.bytes(), image2.width());
        if (camera && o.swap) camera = -*camera;
    }
    const bool fromCamera = o.dxFrom == BatchOptions::Dx::Camera;
    if (fromCamera && !o.align) {
        if (camera)
            dx = int(std::lround(*camera));
        else
            outcome.warnings.push_back("no camera parallax in this file; --dx 0 used");
        return true;
    }
    SilentProgress quiet;
    const AlignOutcome a = AlignPair(image1, image2, scratch, camera,
                                     fromCamera ? OffsetSource::Camera : OffsetSource::Window,
                                     o.align, quiet, threads);
    if (!a.result.aligned && o.alignStrict) {
        outcome.error = "could not align: " + a.result.failure;
        return false;
    }
    if (o.dxFrom != BatchOptions::Dx::Given) dx = a.offsetX.value_or(0);
    if (!a.result.aligned)
        outcome.warnings.push_back(
            "could not align: " + a.result.failure +
            (a.fromCamera ? "; the camera's parallax used (--dx " + std::to_string(dx) + ")"
                          : "; left as it is"));
    else if (fromCamera && !a.fromCamera)
        outcome.warnings.push_back("no camera parallax in this file; the stereo window used");
    if (!o.align || !a.result.aligned) return true;
    image2.swap(scratch);
    const AlignResult& r = a.result;
    outcome.aligned =
        "aligned " + OneLine(input) + ": vertical " + FormatFixed(r.transform.verticalPx, 2) +
        " px, roll " + FormatFixed(r.transform.rollDeg, 2) + " deg, scale " +
        FormatFixed(r.transform.scale, 4) + ", window " + FormatFixed(dx, 2) + " px, residual " +
        FormatFixed(r.residualPx, 2) + " px, inliers " + std::to_string(r.inliers);
    return true;
}

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
        if (!Build(input, std::max(threads, 1), work, outcome) && outcome.error.empty())
            outcome.error = "failed";
    } catch (const std::bad_alloc&) {
        outcome.error = "not enough memory";
    } catch (const std::exception& e) {
        outcome.error = e.what();
    }
    outcome.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return outcome;
}

void BatchConverter::Stop() {
    {
        std::lock_guard lock(commitMutex_);
        stopped_ = true;
    }
    RemovePendingTemporaries();
    std::lock_guard lock(reporterMutex_);
    if (reporter_) reporter_->Stopped(committed_);
}

}  // namespace tsy
