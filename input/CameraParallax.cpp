#include "input/CameraParallax.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "base/Progress.h"
#include "input/JpegHeaders.h"
#include "input/MpoReader.h"

namespace tsy {

namespace {

using Bytes = std::span<const std::uint8_t>;

// Where the values come from and what they mean (X-Offset o moves the right
// view by -o/2 and the left by +o/2, taking o from the disparity x2 - x1):
// - Nintendo's maker note: tag 0x1101 holds a little-endian block starting
//   "3DS1" with a float at 0x28 (ExifTool's Nintendo tags), described as the
//   distance the right view moves to bring the subject into focus (3dbrew,
//   "MPO"), in pixels of the 640-pixel view. It is each view's move, the left
//   one going the other way: on files from the console the value is about
//   minus half the subject's disparity (-44.8 where the nearest points lie
//   93 pixels apart), so X-Offset = -2 * value, scaled to the view's width.
// - Fujifilm's maker note (image 2) tag 0xB211, a signed rational, "only
//   found in MPImage2 of MPO images" (ExifTool's FujiFilm tags, which also
//   note that the camera shows -0.5 times it: the camera counts each view's
//   move, the file the whole). It is the right view's move against the left
//   in per cent of the width, the same sense as Nintendo's, so X-Offset =
//   -value * width / 100. Some writers put the same tag in image 2's MP
//   attribute IFD; it is read there too.
constexpr std::uint32_t kNintendoInfo = 0x1101;
constexpr std::uint32_t kFujiParallax = 0xB211;

// The TIFF reader of the JPEG headers, with what the camera notes need more.
class Tiff : public TiffData {
public:
    Tiff(Bytes d, bool big) : TiffData(d, big), d_(d) {}
    Bytes bytes() const { return d_; }
    // The entry of `tag` in the IFD at `ifd`: its type, count and the
    // position of its value (inline values sit in the entry itself).
    bool Find(std::uint32_t ifd, std::uint32_t tag, std::uint32_t& type, std::uint32_t& count,
              std::uint64_t& value) const {
        std::uint32_t n;
        if (!U16(ifd, n)) return false;
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint64_t e = std::uint64_t(ifd) + 2 + 12 * std::uint64_t(i);
            std::uint32_t t;
            if (!U16(e, t)) return false;
            if (t != tag) continue;
            std::uint32_t off;
            if (!U16(e + 2, type) || !U32(e + 4, count) || !U32(e + 8, off)) return false;
            static constexpr std::uint8_t kSize[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
            const std::uint64_t bytes =
                std::uint64_t(count) * (type < std::size(kSize) ? kSize[type] : 0);
            value = bytes <= 4 ? e + 8 : off;
            return bytes > 0 && value <= size() && size() - value >= bytes;
        }
        return false;
    }
    bool SRational(std::uint64_t at, double& v) const {
        std::uint32_t num, den;
        if (!U32(at, num) || !U32(at + 4, den) || den == 0) return false;
        v = double(std::int32_t(num)) / double(std::int32_t(den));
        return std::isfinite(v);
    }

private:
    Bytes d_;
};

std::optional<Tiff> TiffAt(Bytes d) {
    if (d.size() < 8) return std::nullopt;
    if (std::memcmp(d.data(), "II*\0", 4) == 0) return Tiff(d, false);
    if (std::memcmp(d.data(), "MM\0*", 4) == 0) return Tiff(d, true);
    return std::nullopt;
}

struct Segments {
    Bytes exif;  // the TIFF data of the APP1 Exif segment
    Bytes mp;    // the TIFF data of the APP2 MPF segment
};

Segments HeaderSegments(Bytes f) {
    Segments s;
    if (f.size() < 4 || f[0] != 0xFF || f[1] != 0xD8) return s;
    std::size_t p = 2;
    while (f.size() - p >= 4 && f[p] == 0xFF) {
        const std::uint8_t code = f[p + 1];
        if (code == 0xFF) {
            ++p;
            continue;
        }
        if (code == 0xDA || code == 0xD9 || code == 0xD8 || code == 0x00) break;
        const std::size_t len = std::size_t(f[p + 2]) << 8 | f[p + 3];
        if (len < 2 || f.size() - p - 2 < len) break;
        const Bytes body = f.subspan(p + 4, len - 2);
        if (code == 0xE1 && body.size() >= 6 && std::memcmp(body.data(), "Exif\0\0", 6) == 0)
            s.exif = body.subspan(6);
        if (code == 0xE2 && body.size() >= 4 && std::memcmp(body.data(), "MPF\0", 4) == 0)
            s.mp = body.subspan(4);
        p += 2 + len;
    }
    return s;
}

std::optional<double> Nintendo(const Tiff& t, Bytes note, std::uint64_t noteAt, int width) {
    // The note is an IFD whose offsets count from the TIFF header.
    std::uint32_t type, count;
    std::uint64_t at;
    Bytes block;
    if (t.Find(std::uint32_t(noteAt), kNintendoInfo, type, count, at) && count >= 0x2C)
        block = t.bytes().subspan(at, count);
    if (block.size() < 0x2C || std::memcmp(block.data(), "3DS1", 4) != 0) {
        // Some writers move the block; its magic still finds it.
        block = {};
        for (std::size_t i = 0; i + 0x2C <= note.size(); ++i)
            if (std::memcmp(&note[i], "3DS1", 4) == 0) {
                block = note.subspan(i);
                break;
            }
        if (block.empty()) return std::nullopt;
    }
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= std::uint32_t(block[0x28 + std::size_t(i)]) << (8 * i);
    const float value = std::bit_cast<float>(bits);
    if (!std::isfinite(value) || std::abs(value) > 640) return std::nullopt;
    return -2.0 * double(value) * width / 640.0;
}

std::optional<double> Fuji(Bytes note, int width) {
    // "FUJIFILM", then the IFD's offset; little-endian, offsets from the note.
    const Tiff t(note, false);
    std::uint32_t ifd, type, count;
    std::uint64_t at;
    double value;
    if (!t.U32(8, ifd) || !t.Find(ifd, kFujiParallax, type, count, at) || type != 10 ||
        !t.SRational(at, value) || std::abs(value) > 100)
        return std::nullopt;
    return -value * width / 100.0;
}

std::optional<double> FromMakerNote(Bytes exif, int width) {
    const std::optional<Tiff> t = TiffAt(exif);
    if (!t) return std::nullopt;
    std::uint32_t ifd0, type, count, exifIfd;
    std::uint64_t at;
    if (!t->U32(4, ifd0) || !t->Find(ifd0, 0x8769, type, count, at) || !t->U32(at, exifIfd) ||
        !t->Find(exifIfd, 0x927C, type, count, at))
        return std::nullopt;
    const Bytes note = exif.subspan(at, count);
    if (note.size() >= 12 && std::memcmp(note.data(), "FUJIFILM", 8) == 0) return Fuji(note, width);
    return Nintendo(*t, note, at, width);
}

std::optional<double> FromMpAttributes(Bytes mp, int width) {
    const std::optional<Tiff> t = TiffAt(mp);
    std::uint32_t ifd, type, count;
    std::uint64_t at;
    double value;
    if (!t || !t->U32(4, ifd) || !t->Find(ifd, kFujiParallax, type, count, at) || type != 10 ||
        !t->SRational(at, value) || std::abs(value) > 100)
        return std::nullopt;
    return -value * width / 100.0;
}

}  // namespace

std::optional<double> CameraOffsetX(Bytes file, int width) {
    SilentProgress quiet;
    const std::int64_t second = FindImage2Offset(file, quiet);
    const Segments one = HeaderSegments(file);
    Segments two;
    if (second > 0 && std::uint64_t(second) < file.size())
        two = HeaderSegments(file.subspan(std::size_t(second)));
    if (auto v = FromMakerNote(two.exif, width)) return v;
    if (auto v = FromMpAttributes(two.mp, width)) return v;
    return FromMakerNote(one.exif, width);
}

}  // namespace tsy
