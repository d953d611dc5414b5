#include "base/FileType.h"

namespace tsy {

std::string FileTypeOf(std::string_view name) {
    std::string type(name.substr(name.size() > 4 ? name.size() - 4 : 0));
    for (char& c : type)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return type;
}

}  // namespace tsy
