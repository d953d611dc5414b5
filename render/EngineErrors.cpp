#include "render/EngineErrors.h"

namespace tsy {

std::string EngineErrorText(EngineError error, const std::string& detail) {
    switch (error) {
        case EngineError::UnknownMethod:
            return "Invalid colour method " + detail;
        case EngineError::OutOfMemory:
            return "Not enough free memory!";
    }
    return "Error " + std::to_string(int(error));
}

}  // namespace tsy
