#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "input/JpegHeaders.h"

namespace tsy {

// One picture of a multi-picture file as its MP index lists it.
struct MpEntry {
    std::uint32_t attribute = 0;  // flags; the low 24 bits give the type
    std::uint64_t size = 0;
    std::uint64_t start = 0;  // in the file; 0 for the first picture and when not given

    std::uint32_t Type() const { return attribute & 0xFFFFFF; }
    bool IsPreview() const { return Type() == 0x010001 || Type() == 0x010002; }
    bool IsDisparity() const { return Type() == 0x020002; }
};

// The entries of the MP index in the first picture's headers, in either byte
// order; empty without an index or when the entry list does not lie inside it.
std::vector<MpEntry> ReadMpEntries(const JpegHeaders& walk);

// Two pictures of one stereo pair inside a multi-picture file.
struct MpPair {
    bool found = false;
    std::uint64_t start2 = 0;  // the second view; the first starts at 0
    std::string reason;        // why pictures the index lists make no pair
};

// The pair an MP index describes whatever the type codes say: exactly two
// pictures that are not previews, the second a JPEG stream where the index
// puts it (or right behind the first), both of the same size in pixels. An
// HDR gain map is no view and gives no reason.
MpPair FindMpPair(std::span<const std::uint8_t> file, const JpegHeaders& walk);

// Whether the JPEG stream is an HDR gain map (Ultra HDR, ISO 21496-1): a
// second picture of the same scene that its headers name as such.
bool IsGainMap(std::span<const std::uint8_t> jpeg);

// What a picture's MP attribute IFD (behind the index in the first picture)
// says of the camera; none where it is missing or marked unknown.
struct MpGeometry {
    std::optional<double> convergenceDegrees;  // between the camera axes
    std::optional<double> baselineMetres;      // between the lenses
};
MpGeometry ReadMpGeometry(const JpegHeaders& walk);

}  // namespace tsy
