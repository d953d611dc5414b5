#include "window/CommandLine.h"

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
           "both views. LEFT and RIGHT open as a pair of single pictures.\n" +
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
        return CommandLine{CommandLine::Action::Error, {}, {}, false, std::move(message)};
    };
    CommandLine c;
    std::vector<std::string> files;
    bool options = true;
    for (const std::string& a : args) {
        if (options && a == "--") {
            options = false;
        } else if (options && (a == "-h" || a == "--help")) {
            return {CommandLine::Action::Help, {}, {}, false, Usage()};
        } else if (options && a == "--version") {
            return {CommandLine::Action::Version, {}, {}, false, "tessaly " + ProgVer() + "\n"};
        } else if (options && a == "--sbs") {
            c.sideBySide = true;
        } else if (options && a.size() > 1 && a[0] == '-') {
            return fail("tessaly: unknown option " + a);
        } else {
            files.push_back(a);
        }
    }
    const std::size_t most = c.sideBySide ? 1 : 2;
    if (files.size() > most || (c.sideBySide && files.empty()))
        return fail(c.sideBySide ? "tessaly: --sbs takes one FILE" : "tessaly: at most two FILEs");
    if (!files.empty()) c.image1 = files[0];
    if (files.size() == 2) c.image2 = files[1];
    return c;
}

}  // namespace tsy
