#include "output/SaveName.h"

#include "output/FileFormats.h"

namespace tsy {

namespace {

// image1Path without its extension, then tag and format; empty without an
// extension.
std::string Proposal(std::string_view image1Path, std::string_view tag, std::string_view format) {
    const std::size_t dot = image1Path.find_last_of('.');
    const std::size_t slash = image1Path.find_last_of('/');
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    if (dot == std::string_view::npos || dot <= nameStart) return {};
    std::string name(image1Path.substr(0, dot));
    name += tag;
    name += format;
    return name;
}

}  // namespace

std::string ProposedSaveName(std::string_view image1Path, std::string_view glassesSuffix,
                             std::string_view format) {
    return Proposal(image1Path, "_3D" + std::string(glassesSuffix), format);
}

std::string ProposedSaveName(std::string_view image1Path, std::string_view glassesSuffix,
                             const FileFormat& row) {
    if (row.written != Written::Views) return ProposedSaveName(image1Path, glassesSuffix, row.Suffix());
    return Proposal(image1Path, row.nameTag, row.Suffix());
}

}  // namespace tsy
