#include "window/rules/PngScript.h"

namespace tsy {

PngSavePaths PngSavePathsIn(std::string_view tempDir) {
    std::string dir(tempDir);
    if (dir.empty() || dir.back() != '/') dir += '/';
    return {dir + std::string(kPngScriptName), dir + std::string(kOptimiserName),
            dir + std::string(kPngTempImageName)};
}

std::string ShellQuote(std::string_view text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    quoted += '\'';
    return quoted;
}

std::string OptimiserCommand(std::string_view optimiser, std::string_view image,
                             std::string_view output) {
    return ShellQuote(optimiser) + " " + ShellQuote(image) + " " + ShellQuote(output) +
           " /S2 /F5 /Y";
}

std::string PngSaveScript(const PngSavePaths& paths, std::string_view output) {
    const std::string o = ShellQuote(paths.optimiser);
    // About two seconds at most before giving up on an optimiser that stays.
    return "#!/bin/sh\n"
           " " +
           OptimiserCommand(paths.optimiser, paths.image, output) +
           "\n"
           "n=0\n"
           "while :; do\n"
           " rm -f " +
           o +
           " 2>/dev/null\n"
           " if [ ! -e " +
           o + " ] && [ ! -L " + o +
           " ]; then break; fi\n"
           " n=$((n + 1))\n"
           " if [ \"$n\" -ge 20 ]; then break; fi\n"
           " sleep 0.1 2>/dev/null || sleep 1\n"
           "done\n"
           " rm -f " +
           ShellQuote(paths.image) +
           "\n"
           " rm -f " +
           ShellQuote(paths.script) + "\n";
}

}  // namespace tsy
