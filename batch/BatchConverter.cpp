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
#include "base/FixedText.h"
#include "base/PictureBuffer.h"
#include "base/ReplaceFile.h"
#include "convert/Convert.h"
#include "output/SaveName.h"
#include "platform/PairLoader.h"
#include "render/Methods.h"

namespace tsy {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string BatchConverter::OutputPathFor(const std::string& input) const {
    const Recipe& r = options_.recipe;
    const char* suffix = kGlasses[r.glasses()].saveSuffix;
    const FileFormat& format = r.format();
    std::string name = ProposedSaveName(input, suffix, format);
    // Without an extension the window proposes nothing; a batch needs a name,
    // and a final dot makes the whole name the part before the extension.
    if (name.empty()) name = ProposedSaveName(input + ".", suffix, format);
    if (name.empty() || options_.outDir.empty()) return name;
    return (fs::path(options_.outDir) / fs::path(name).filename()).string();
}

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

bool BatchConverter::Commit(FileReplacer& file, const std::string& output,
                            std::string& error) const {
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

namespace {

// "aligned FILE: vertical V px, ...": for scripts, on standard output. The
// misalignment found in image 2, not the correction applied to it.
std::string AlignedLine(const std::string& input, const ConvertReport& report) {
    const AlignResult& r = report.alignment->result;
    std::string line = "aligned " + OneLine(input) + ": vertical " + FormatFixed(r.found.verticalPx, 2) +
                       " px, roll " + FormatFixed(r.found.rollDeg, 2) + " deg, scale " +
                       FormatFixed(r.found.scale, 4) + ", window " +
                       FormatFixed(report.offsetX, 2) + " px, residual " +
                       FormatFixed(r.residualPx, 2) + " px, inliers " + std::to_string(r.inliers);
    if (report.depth) line += ", " + DepthText(*report.depth);
    return line;
}

}  // namespace

bool BatchConverter::Build(const std::string& input, int threads, ConvertWork& work,
                           FileOutcome& outcome) const {
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
    if (!options_.overwrite && KindOfPath(output) != PathKind::None) {
        if (options_.skipExisting) {
            outcome.skipped = true;
            return true;
        }
        error = output + " exists already (--overwrite replaces it)";
        return false;
    }
    FileReplacer file(output);
    if (!file.Open(error)) return false;
    ToolkitPairDecoder decoder;
    ConvertReport report;
    const bool converted = tsy::Convert(options_.recipe, input, options_.right, decoder, threads, work,
                                   file, report, error);
    outcome.warnings = std::move(report.warnings);
    if (report.alignment) outcome.aligned = AlignedLine(input, report);
    return converted && Commit(file, output, error);
}

FileOutcome BatchConverter::ConvertFile(const std::string& input, int threads) const {
    ConvertWork work;
    return Convert(input, threads, work);
}

FileOutcome BatchConverter::Convert(const std::string& input, int threads, ConvertWork& work) const {
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
