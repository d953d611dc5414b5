#pragma once

#include <string>
#include <string_view>

namespace tsy {

// File names of a PNG save in the temporary directory.
inline constexpr std::string_view kPngScriptName = "TSY-PNG.BAT";
inline constexpr std::string_view kOptimiserName = "PNGOUT.EXE";
inline constexpr std::string_view kPngTempImageName = "TSY-TEMP.BMP";

struct PngSavePaths {
    std::string script;     // B
    std::string optimiser;  // O
    std::string image;      // I
};

// The three paths inside tempDir (a '/' is added when it does not end in one).
PngSavePaths PngSavePathsIn(std::string_view tempDir);

// One word for /bin/sh whatever the text holds: single quotes, with each '
// written as '\''. Blanks, double quotes, $, ` and \ stay literal.
std::string ShellQuote(std::string_view text);

// The optimiser call: O, I and the output name, each quoted, then the options
// " /S2 /F5 /Y" (usual effort, adaptive row filters, replace the output).
std::string OptimiserCommand(std::string_view optimiser, std::string_view image,
                             std::string_view output);

// The shell script that runs the optimiser, then deletes the optimiser
// (retrying a bounded number of times, so a file that cannot go never keeps
// the window waiting), the temporary image and finally itself.
std::string PngSaveScript(const PngSavePaths& paths, std::string_view output);

}  // namespace tsy
