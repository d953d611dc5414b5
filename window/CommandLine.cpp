#include "window/CommandLine.h"

#include <algorithm>

#include "base/ProgVer.h"
#include "output/FileFormats.h"

namespace tsy {

namespace {

// In the usual layout ("or:" lines, "Options:") that the man page is made from.
std::string Usage() {
    return "Usage: tessaly [FILE]\n"
           "  or:  tessaly LEFT RIGHT\n"
           "  or:  tessaly --sbs FILE\n"
           "Turns a stereo pair into an anaglyph.\n"
           "\n"
           "FILE opens as image 1; an MPO file (or a JPEG holding a second view) fills\n"
           "both views. LEFT and RIGHT open as a pair of single pictures. Further files\n"
           "(as a file manager passes a selection) are left out; the window says so.\n" +
           ReadableFormatsText() +
           " are read.\n"
           "\n"
           "Options:\n"
           "  --sbs       FILE holds both views side by side\n"
           "  -h, --help  show this help\n"
           "  --version   show the version\n";
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    const auto fail = [](std::string message) {
        return CommandLine{CommandLine::Action::Error, {}, {}, false, std::move(message), 0};
    };
    CommandLine c;
    std::vector<std::string> files;
    bool options = true;
    for (const std::string& a : args) {
        if (options && a == "--") {
            options = false;
        } else if (options && (a == "-h" || a == "--help")) {
            return {CommandLine::Action::Help, {}, {}, false, Usage(), 0};
        } else if (options && a == "--version") {
            return {CommandLine::Action::Version, {}, {}, false, "tessaly " + ProgVer() + "\n", 0};
        } else if (options && a == "--sbs") {
            c.sideBySide = true;
        } else if (options && a.size() > 1 && a[0] == '-') {
            return fail("tessaly: unknown option " + a);
        } else {
            files.push_back(a);
        }
    }
    if (c.sideBySide && files.empty()) return fail("tessaly: --sbs takes one FILE");
    const std::size_t opened = std::min<std::size_t>(files.size(), c.sideBySide ? 1 : 2);
    if (opened >= 1) c.image1 = files[0];
    if (opened == 2) c.image2 = files[1];
    c.leftOut = int(files.size() - opened);
    return c;
}

}  // namespace tsy
