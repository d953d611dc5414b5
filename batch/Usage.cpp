// The help text, made from the option table.
#include <string>

#include "base/ProgVer.h"
#include "batch/Options.h"
#include "output/FileFormats.h"
#include "render/Methods.h"

namespace tsy {

namespace {

using T = BatchOption::Takes;

// "\"-RC\", \"-GM\" or \"-AB\"": the glasses' parts of output names.
std::string Suffixes() {
    std::string text;
    for (int i = 0; i < kGlassesCount; ++i) {
        if (i > 0) text += i + 1 < kGlassesCount ? ", " : " or ";
        text.append("\"").append(kGlasses[i].saveSuffix).append("\"");
    }
    return text;
}

}  // namespace

std::string BatchUsage() {
    constexpr std::size_t kHelpColumn = 20;
    std::string text =
        "Usage: tessaly-batch [options] FILE...\n"
        "Turns stereo pictures into anaglyphs, as the Tessaly window does.\n"
        "\n"
        "Each FILE is a stereo file from a camera (an MPO, or a JPEG whose index holds\n"
        "a second view; both views are read from it) or, with --sbs, a side-by-side\n"
        "picture. --right pairs one FILE (image 1, left eye) with a second picture\n"
        "(image 2, right eye). " +
        ReadableFormatsText() +
        " are read;\n"
        "pictures are turned upright as their camera orientation asks.\n"
        "\n"
        "Options:\n";
    for (const BatchOption& row : BatchOptionTable()) {
        std::string left = "  " + (row.alias.empty() ? "" : row.alias + ", ") + row.name;
        if (row.takes == T::Value) left += " " + row.value;
        if (row.takes == T::OptionalValue) left += "[=" + row.value + "]";
        // A long option name puts its help on the next line.
        if (left.size() + 2 > kHelpColumn) left += "\n";
        left.append(kHelpColumn - (left.back() == '\n' ? 0 : left.size()), ' ');
        text += left;
        for (char c : row.help)
            text += c == '\n' ? "\n" + std::string(kHelpColumn, ' ') : std::string(1, c);
        text += "\n";
    }
    text +=
        "\n"
        "An output is named like its input with \"_3D\", " +
        Suffixes() +
        " and the\n"
        "format's extension: IMG_0042.MPO gives IMG_0042_3D-RC.jpg; a name without\n"
        "extension is kept whole (scan gives scan_3D-RC.jpg). Existing files are kept\n"
        "unless --overwrite is given; an input of the run is never replaced.\n"
        "Interrupted (Ctrl+C), the run keeps the files it finished and leaves no\n"
        "partial ones.\n"
        "\n"
        "Every report line (ok, FAILED, warning, aligned, ...) is one line: in the\n"
        "names and messages on it a backslash and control characters are written as\n"
        "in C (\\\\, \\n, \\t, \\r, \\xHH), so a name holding a line break cannot split it.\n"
        "\n"
        "Exit status: 0 all files converted (or skipped), 1 some failed, 2 wrong usage,\n"
        "130 or 143 stopped by SIGINT or SIGTERM.\n";
    return text;
}

std::string BatchVersionText() {
    return "tessaly-batch " + ProgVer();
}

}  // namespace tsy
