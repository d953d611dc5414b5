#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/Progress.h"

namespace tsy {

// Offset of the second JPEG stream (the right view) in an MPO file's bytes, or
// 0 when there is none. The MP index is read first; a stream start found by
// scanning after image 1's header segments is the fallback. Shows
// "Searching for Image 2 ..." and, while scanning, "Scanning for Image 2: N%".
std::int64_t FindImage2Offset(std::span<const std::uint8_t> file, ProgressSink& progress);

// The same for a file on disk; 0 when it cannot be read.
std::int64_t FindImage2Offset(const std::string& path, ProgressSink& progress);

// Whether path names an MPO file: its last four characters, lower-cased, are
// ".mpo". Nothing else about the file is looked at.
bool HasMpoName(const std::string& path);

// Whether the file holds a stereo pair, whatever the name: its MP index calls
// image 2 a disparity view, or lists exactly two pictures that are not
// previews and have the same size (as Pillow and some phones type them). An
// index listing only previews (large thumbnails) makes it a single picture;
// otherwise the MPO name decides.
bool IsStereoFile(const std::string& path, std::span<const std::uint8_t> file);

// For callers that hold the file's bytes already (mapped by MappedFile) and
// decode both views from them: the bytes from image 2's first byte to the end
// of the file, as a part of `file` (nothing is copied), or an empty span when
// the file is no stereo file (IsStereoFile) or no second view was found. Shows
// "Extracting Image 2 ..." once the view is found.
std::span<const std::uint8_t> LocateMpoImage2(const std::string& path,
                                              std::span<const std::uint8_t> file,
                                              ProgressSink& progress);

}  // namespace tsy
