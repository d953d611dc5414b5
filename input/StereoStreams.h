#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tsy {

// How the two views of a stereo file are stored as JPEG streams.
enum class StreamKind {
    Single,     // one picture (which may still hold both views side by side)
    Mpo,        // an MP index lists the two views
    TwoStream,  // two JPEG pictures one after the other, or named by a metadata block
};

struct StereoStreams {
    StreamKind kind = StreamKind::Single;
    // The JPEG bytes of each view; view1 is the whole file for Single.
    std::span<const std::uint8_t> view1, view2;
    bool leftFirst = true;     // view1 is the left view
    bool sizesDiffer = false;  // metadata named views of different sizes
    // Why a file that holds more than one picture is read as one, or what
    // else the reader of the pair should be told.
    std::vector<std::string> notes;
};

// Finds the views of a stereo pair stored as separate JPEG streams:
// - an MP index with exactly two pictures of equal size that are not
//   previews, whatever their type codes, in either byte order;
// - without an MP index, a second complete JPEG of the same size behind the
//   first (first = left), also when a metadata block follows;
// - views that a metadata block names as left and right, even of different
//   sizes (sizesDiffer: the caller scales the right to the left's size).
// More pictures, a second one of another size or one cut short leave the file
// one picture, with a note. A JPS descriptor makes it one picture: the streams
// behind a JPS are thumbnails. So is an HDR gain map behind a photo.
StereoStreams FindStereoStreams(std::span<const std::uint8_t> file);

}  // namespace tsy
