#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tsy {

// The metadata block some 3D tablets and phones append to a JPEG: the file
// ends with 0x1E 0x1A behind a 32-bit big-endian offset, counted from the
// end of the file, of a block of fields {type, size, data}; a field of type 8
// (7 in older files) holds JSON describing the views. A view's picture is the
// field whose type is its blob_id, or the file's first JPEG for blob_id -1.
struct LifViews {
    bool found = false;     // the file ends with a block whose fields lie inside it
    std::size_t start = 0;  // where the block begins
    bool named = false;     // its JSON names a left and a right view
    std::span<const std::uint8_t> left, right;  // their bytes when named
    std::string reason;                         // why a block that was found names no pair
};

// `firstStream` is the file's first JPEG picture (blob_id -1). Two views are
// left and right in the order listed unless their camera positions say the
// reverse; more or fewer views name no pair.
LifViews ReadLifViews(std::span<const std::uint8_t> file,
                      std::span<const std::uint8_t> firstStream);

}  // namespace tsy
