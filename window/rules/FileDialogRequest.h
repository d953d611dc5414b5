#pragma once

#include <string>
#include <vector>

namespace tsy {

struct FileDialogFilter {
    std::string description;            // "PNG (*.png)"
    std::vector<std::string> patterns;  // "*.png", "*.jpg", ...
};

// What an open or save dialog is to show, worked out from the caller's
// compact arguments; the window hands it to the toolkit.
struct FileDialogRequest {
    bool show = false;  // false: unknown mode, no dialog, the answer is ""
    bool save = false;  // save dialogs also confirm replacing a file
    std::string title;
    std::vector<FileDialogFilter> filters;
    int selectedFilter = 0;     // index into filters
    std::string initialDir;     // with its trailing "/", or "" for the default
    std::string initialName;    // save only: proposed name without extension
    std::string defaultSuffix;  // proposed name's extension without its dot
    // Save only: the name each filter proposes, like initialName; while the
    // name is still a proposal, choosing a filter proposes its own. Empty:
    // the name stays.
    std::vector<std::string> filterNames;
};

// mode 0 = open, 1 = save, anything else = no dialog. name is the proposed
// file ("*.*" for opening, the full path for saving); filter alternates
// description and pattern separated by "|", patterns holding masks separated
// by ";". An empty title gives the usual German default of the mode.
FileDialogRequest MakeFileDialogRequest(int mode, const std::string& name, const std::string& title,
                                        const std::string& filter);

}  // namespace tsy
