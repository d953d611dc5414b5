#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "batch/Options.h"
#include "batch/Reporter.h"

namespace tsy {

// Turns stereo files into anaglyph files with the window's own pipeline:
// the same loader, split, swap, buffer sizing and engine, so the pixels
// equal those of the window's result for the same files and settings.
class BatchConverter {
public:
    explicit BatchConverter(BatchOptions options);

    const BatchOptions& options() const { return options_; }

    // The name the window would propose, in the output folder or beside the
    // input. An input without extension keeps its whole name ("scan" gives
    // "scan_3D-RC.jpg"). Empty when no name can be made (a path ending in "/").
    std::string OutputPathFor(const std::string& input) const;

    // Converts one file, the engine and the PNG coder using up to `threads`
    // threads. Never throws; a failure leaves no output file behind.
    FileOutcome ConvertFile(const std::string& input, int threads) const;

    // Converts every file, options().jobs at a time, and reports on log: a
    // bar redrawn in place when log is a terminal of that width, otherwise a
    // line per file. Ends with a summary line. True when every file was
    // converted.
    bool Run(std::ostream& log, bool terminal = false, int terminalWidth = 80);

    // Per input file, in the order given, after Run().
    const std::vector<FileOutcome>& outcomes() const { return outcomes_; }

private:
    // The pictures a worker keeps from file to file. Same-sized files then
    // need no fresh memory, whose first touch cost a third of each file.
    struct Workspace;
    FileOutcome Convert(const std::string& input, int threads, Workspace& work) const;

    BatchOptions options_;
    std::vector<FileOutcome> outcomes_;
};

}  // namespace tsy
