#pragma once

#include <string>
#include <string_view>

namespace tsy {

// The file type as this program decides it: the last four characters of the
// name in lower case (".png", ".jpg", ".bmp", ".mpo" match; ".jpeg" does not).
std::string FileTypeOf(std::string_view name);

}  // namespace tsy
