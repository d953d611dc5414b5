#pragma once

#include <string>

namespace tsy {

// Why the engine stopped. The value is the error number users are shown.
enum class EngineError {
    UnknownMethod = 5,  // detail: the method number asked for
    OutOfMemory = 480,  // no detail
};

// The reason for users, without the number: "Not enough free memory!". The
// window and the batch program each set it in their own message.
std::string EngineErrorText(EngineError error, const std::string& detail = {});

}  // namespace tsy
