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
};

// args without the program name: [--sbs] [FILE [FILE]], --help, --version.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

}  // namespace tsy
