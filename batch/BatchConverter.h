#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tsy {

// Everything the command line can say. Names and ranges follow the window's
// controls: glasses and method are the OpGlass and OpColor indexes, dx and dy
// the values the user would read in the X and Y boxes once everything else
// (swap included) has been applied.
struct BatchOptions {
    std::vector<std::string> files;
    std::string right;        // image 2 for the one FILE; empty: from the file itself
    bool sideBySide = false;  // each FILE holds both views next to each other
    bool stretch = true;      // side-by-side halves widened back to the whole width
    bool swap = false;
    int glasses = 0;  // a row of kGlasses: 0 red/cyan
    int method = 2;   // a row of kColourMethods: 2 full colour
    int brightness = 0;
    int dx = 0;
    int dy = 0;
    // --align: image 2 aligned with image 1 (height, tilt, size); strict
    // fails a file that cannot be. --dx auto or camera take the horizontal
    // offset from the stereo window or the camera's notes instead of dx.
    bool align = false;
    bool alignStrict = false;
    enum class Dx { Given, Auto, Camera } dxFrom = Dx::Given;
    std::string format = "jpg";  // "jpg", "png" or "bmp"
    int quality = 95;
    std::string outDir;  // empty: beside each input
    int jobs = 0;        // files at once; 0: one per core
    bool overwrite = false;
};

enum class BatchCommand { Run, Help, Version, UsageError };

// Reads the arguments after the program name. On UsageError, message says
// what is wrong in words for the user.
BatchCommand ParseBatchArguments(const std::vector<std::string>& args, BatchOptions& options,
                                 std::string& message);

std::string BatchUsage();
std::string BatchVersionText();  // "tessaly-batch 1.34"

struct FileOutcome {
    std::string input;
    std::string output;  // where it was (or would have been) written
    std::string error;   // empty on success
    double seconds = 0;
    std::string aligned;  // the "aligned FILE: ..." line, when it was aligned
    std::string warning;  // converted, but not as asked (say, left unaligned)
    bool ok() const { return error.empty(); }
};

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
    // converted. The lines of aligned files go to results, for scripts.
    bool Run(std::ostream& log, bool terminal = false, int terminalWidth = 80,
             std::ostream* results = nullptr);

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
