#pragma once

#include <string>
#include <string_view>

namespace tsy {

// Names on command lines and in file types compare without regard to case;
// only ASCII letters fold, so no locale can change a name's meaning.
std::string LowerAscii(std::string_view text);
bool SameIgnoringCase(std::string_view a, std::string_view b);

}  // namespace tsy
