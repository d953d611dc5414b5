#pragma once

#include <string_view>

namespace tsy {

// text without its leading and trailing blanks; blanks only, as file names
// may hold tabs. Name the character type: TrimBlanks<char>(name).
template <class Char>
std::basic_string_view<Char> TrimBlanks(std::basic_string_view<Char> text) {
    const auto first = text.find_first_not_of(Char(' '));
    if (first == text.npos) return text.substr(text.size());  // empty, still inside text
    return text.substr(first, text.find_last_not_of(Char(' ')) - first + 1);
}

}  // namespace tsy
