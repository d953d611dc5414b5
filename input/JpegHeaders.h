#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tsy {

// What the header segments of a JPEG stream's first picture hold for the
// readers of stereo files and camera orientation.
struct JpegHeaders {
    std::span<const std::uint8_t> mp;    // MP data, from the byte after "MPF\0"
    std::size_t mpStart = 0;             // its offset in the file
    std::span<const std::uint8_t> exif;  // Exif TIFF data, from the byte after "Exif\0\0"
    std::span<const std::uint8_t> jps;   // JPS stereo descriptor, after "_JPSJPS_"
    bool hasJps = false;                 // an APP3 "_JPSJPS_" segment, however short
    std::size_t end = 0;                 // where the header segments end
};

// Walks the header segments up to the end of the first SOS segment. Stopping
// there, rather than stepping on by a "length" read from the entropy-coded
// data, keeps the walk out of a following picture in small files. A later MP,
// Exif or JPS segment replaces an earlier one.
JpegHeaders WalkJpegHeaders(std::span<const std::uint8_t> file);

// Numbers of a TIFF structure (the MP index, Exif) in its byte order; reads
// outside the data fail.
class TiffData {
public:
    TiffData(std::span<const std::uint8_t> d, bool bigEndian) : d_(d), big_(bigEndian) {}
    // The byte order from a TIFF header ("II*\0" or "MM\0*"); false for none.
    static bool Open(std::span<const std::uint8_t> d, TiffData& out);
    std::size_t size() const { return d_.size(); }
    bool U16(std::uint64_t at, std::uint32_t& v) const {
        if (at > d_.size() || d_.size() - at < 2) return false;
        const std::uint32_t a = d_[at], b = d_[at + 1];
        v = big_ ? a << 8 | b : b << 8 | a;
        return true;
    }
    bool U32(std::uint64_t at, std::uint32_t& v) const {
        std::uint32_t hi, lo;
        if (!U16(at, hi) || !U16(at + 2, lo)) return false;
        v = big_ ? hi << 16 | lo : lo << 16 | hi;
        return true;
    }
    // Where the entries of the first IFD start and how many there are;
    // false when they do not all lie inside the data.
    bool FirstIfd(std::uint64_t& entries, std::uint32_t& count) const;

private:
    std::span<const std::uint8_t> d_;
    bool big_ = false;
};

}  // namespace tsy
