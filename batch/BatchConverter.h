#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "base/PictureBuffer.h"
#include "batch/Options.h"
#include "batch/Reporter.h"
#include "convert/Convert.h"

namespace tsy {

// Turns stereo files into anaglyph files with the window's own pipeline:
// the same loader, split, swap, buffer sizing and engine, so the pixels
// equal those of the window's result for the same files and settings.
class BatchConverter {
public:
    explicit BatchConverter(BatchOptions options);
    ~BatchConverter();

    const BatchOptions& options() const { return options_; }

    // The name the window would propose, in the output folder or beside the
    // input. An input without extension keeps its whole name ("scan" gives
    // "scan_3D-RC.jpg"). Empty when no name can be made (a path ending in "/").
    std::string OutputPathFor(const std::string& input) const;

    // Converts one file, the engine and the PNG coder using up to `threads`
    // threads. Never throws; a failure leaves no output file behind.
    FileOutcome ConvertFile(const std::string& input, int threads) const;

    // The memory the run may take; by default what the kernel reports as
    // available when Run() starts.
    void LimitMemory(std::uint64_t bytes);

    // Converts every file, options().jobs at a time (one per core when not
    // given) and no more at once than the memory holds, on the shared
    // worker pool, and reports on log: a
    // bar redrawn in place when log is a terminal of that width, otherwise a
    // line per file. Ends with a summary line. True when no file failed.
    // The lines of aligned files go to results, for scripts.
    bool Run(std::ostream& log, bool terminal = false, int terminalWidth = 80,
             std::ostream* results = nullptr);

    // For a stop on a signal, from a thread other than the workers: no file
    // is put in place after it returns, unfinished ones are gone and the
    // summary says how far the run got. The caller then ends the process.
    void Stop();

    // Per input file, in the order given, after Run().
    const std::vector<FileOutcome>& outcomes() const { return outcomes_; }
    // The most memory the files being converted had at once, by the
    // estimates they were admitted with, after Run().
    std::uint64_t memoryPeak() const { return memoryPeak_; }

private:
    FileOutcome Convert(const std::string& input, int threads, ConvertWork& work) const;
    bool Build(const std::string& input, int threads, ConvertWork& work, FileOutcome& outcome) const;
    // Puts a finished file in place unless the run stopped or the name
    // became an input meanwhile.
    bool Commit(FileReplacer& file, const std::string& output, std::string& error) const;
    bool IsInput(const std::string& path) const;
    // What converting input holds at most, from its pictures' headers.
    std::uint64_t BytesFor(const std::string& input) const;

    BatchOptions options_;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> inputs_;  // device, inode
    std::vector<FileOutcome> outcomes_;
    std::uint64_t memoryLimit_ = 0;  // 0: what the kernel reports
    std::uint64_t memoryPeak_ = 0;
    mutable std::mutex commitMutex_;  // held while a file is put in place
    mutable bool stopped_ = false;
    mutable int committed_ = 0;
    std::mutex reporterMutex_;
    std::shared_ptr<BatchReporter> reporter_;  // while Run() runs
};

}  // namespace tsy
