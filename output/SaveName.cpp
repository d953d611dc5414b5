#include "output/SaveName.h"

namespace tsy {

std::string ProposedSaveName(std::string_view image1Path, std::string_view glassesSuffix,
                             std::string_view format) {
    const std::size_t dot = image1Path.find_last_of('.');
    const std::size_t slash = image1Path.find_last_of('/');
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    if (dot == std::string_view::npos || dot <= nameStart) return {};
    std::string name(image1Path.substr(0, dot));
    name += "_3D";
    name += glassesSuffix;
    name += format;
    return name;
}

}  // namespace tsy
