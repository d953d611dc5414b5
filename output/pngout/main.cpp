// The PNG optimiser the save flow writes out and runs:
//   tsy-pngout <input.bmp> <output.png> [/S<n>] [/F<n>] [/Y]
// Exit 0 only when the PNG is completely in place. Prints "N%" lines as the
// search goes on.
#include <cctype>
#include <cstdio>
#include <string>

#include "output/PngOptimiser.h"

namespace {

void Usage() {
    std::fprintf(stderr,
                 "usage: tsy-pngout <input.bmp> <output.png> [/S<n>] [/F<n>] [/Y]\n"
                 "  /S0../S4  search effort, 0 most thorough, 2 usual (default), 4 fastest\n"
                 "  /F0../F4  that PNG filter on every row, /F5 a choice per row\n"
                 "  /Y        replace an existing output\n"
                 "  options may also start with '-'\n");
}

// A one-digit value in [0, max] after the option letter.
bool Digit(const std::string& arg, int max, int& value) {
    if (arg.size() != 3 || !std::isdigit(static_cast<unsigned char>(arg[2]))) return false;
    value = arg[2] - '0';
    return value <= max;
}

}  // namespace

int main(int argc, char** argv) {
    // The two paths come first, so a path that looks like an option stays a path.
    if (argc < 3) {
        Usage();
        return 2;
    }
    tsy::PngOptions options;
    bool replace = false;
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        const char letter = arg.size() >= 2 && (arg[0] == '/' || arg[0] == '-')
                                ? char(std::toupper(static_cast<unsigned char>(arg[1])))
                                : '\0';
        bool ok = false;
        if (letter == 'S') ok = Digit(arg, 4, options.effort);
        if (letter == 'F') ok = Digit(arg, 5, options.filter);
        if (letter == 'Y') ok = replace = arg.size() == 2;
        if (!ok) {
            std::fprintf(stderr, "tsy-pngout: unknown option %s\n", arg.c_str());
            Usage();
            return 2;
        }
    }
    // The saving window shows these on its caption.
    const auto progress = [](int percent) {
        std::printf("%d%%\n", percent);
        std::fflush(stdout);
    };
    std::string error;
    if (!tsy::OptimiseBmpToPng(argv[1], argv[2], options, replace, error, progress)) {
        std::fprintf(stderr, "tsy-pngout: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
