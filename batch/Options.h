#pragma once

#include <functional>
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
    std::string format = "jpg";  // a save format's command-line name
    int quality = 95;
    std::string outDir;  // empty: beside each input
    int jobs = 0;        // files at once; 0: one per core
    bool overwrite = false;
    bool skipExisting = false;  // an existing output counts as done
};

enum class BatchCommand { Run, Help, Version, UsageError };

// One command-line option. The parser and the help text both read these rows,
// so an option is declared once.
struct BatchOption {
    enum class Takes { Nothing, Value, OptionalValue };  // an optional one only as --name=value
    std::string name{};                                  // "--dx"
    std::string alias{};                                 // another spelling ("-h"), or empty
    std::string value{};  // the value's placeholder in the help ("N")
    Takes takes = Takes::Nothing;
    std::string help{};  // lines after the first are indented under it
    // Sets the option from its value (empty for a flag). Returns what the
    // option wants when the value is refused, else empty.
    std::function<std::string(BatchOptions&, const std::string& value)> apply{};
    BatchCommand command = BatchCommand::Run;  // Help and Version end the parsing
    bool once = false;                         // given twice is a usage error
    bool path = false;                         // the value names a file or folder: its case counts
};

const std::vector<BatchOption>& BatchOptionTable();

// Reads the arguments after the program name. On UsageError, message says
// what is wrong in words for the user.
BatchCommand ParseBatchArguments(const std::vector<std::string>& args, BatchOptions& options,
                                 std::string& message);

std::string BatchUsage();
std::string BatchVersionText();  // "tessaly-batch 1.34"

}  // namespace tsy
