#pragma once

#include <functional>
#include <string>
#include <vector>

#include "convert/Recipe.h"

namespace tsy {

// Everything the command line can say: the recipe of every conversion and
// what the run itself needs.
struct BatchOptions {
    Recipe recipe;
    std::vector<std::string> files;
    std::string right;   // image 2 for the one FILE; empty: from the file itself
    std::string outDir;  // empty: beside each input
    int jobs = 0;        // files at once; 0: one per core
    bool overwrite = false;
    bool skipExisting = false;  // an existing output counts as done
    std::vector<std::string> notes;  // what the user should know about the options
};

enum class BatchCommand { Run, Help, Version, UsageError };

// One command-line option. The parser and the help text both read these
// rows; those of the recipe come from its declarations.
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
};

const std::vector<BatchOption>& BatchOptionTable();

// Reads the arguments after the program name. On UsageError, message says
// what is wrong in words for the user.
BatchCommand ParseBatchArguments(const std::vector<std::string>& args, BatchOptions& options,
                                 std::string& message);

std::string BatchUsage();
std::string BatchVersionText();  // "tessaly-batch 1.34"

}  // namespace tsy
