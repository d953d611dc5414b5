#include "base/FileType.h"

#include "base/AsciiCase.h"

namespace tsy {

std::string FileTypeOf(std::string_view name) {
    return LowerAscii(name.substr(name.size() > 4 ? name.size() - 4 : 0));
}

}  // namespace tsy
