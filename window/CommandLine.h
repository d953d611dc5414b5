#pragma once

#include <string>
#include <vector>

namespace tsy {

// What the command line asks the window to open, read before the toolkit
// starts so that --help and --version need no display.
struct CommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    std::string image1;  // empty: start without a picture
    std::string image2;
    bool sideBySide = false;
    std::string message;  // the help, version or error text
    int leftOut = 0;      // FILEs after those opened, which are not
};

// args without the program name: [--sbs] [FILE [FILE]], --help, --version.
// Files beyond the two of a pair (the one with --sbs) are left out.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

}  // namespace tsy
