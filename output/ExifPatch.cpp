#include "output/ExifPatch.h"

#include <cstring>

#include "input/JpegHeaders.h"
#include "output/TiffWriter.h"

namespace tsy {

namespace {

constexpr std::uint8_t kExifId[6] = {'E', 'x', 'i', 'f', 0, 0};
constexpr std::uint16_t kTypeShort = 3, kTypeLong = 4;

// Patches the entries of one IFD in place, through a reader and a writer of
// the same bytes.
class IfdPatcher {
public:
    IfdPatcher(std::uint8_t* tiff, std::size_t size, bool big)
        : tiff_(tiff), read_({tiff, size}, big), write_(big) {}

    // The entries of the IFD at offset; false when they run out of the data.
    bool Open(std::uint64_t offset) {
        std::uint32_t n = 0;
        if (!read_.U16(offset, n) || (read_.size() - offset - 2) / 12 < n) return false;
        entries_ = offset + 2;
        count_ = n;
        return true;
    }
    std::uint32_t count() const { return count_; }
    std::uint32_t Tag(std::uint32_t i) const { return Read16(Entry(i)); }
    std::uint32_t Value32(std::uint32_t i) const {
        std::uint32_t v = 0;
        read_.U32(Entry(i) + 8, v);
        return v;
    }
    // A short value where it fits, else a long one: a side above 65535 must
    // not wrap round.
    void SetNumber(std::uint32_t i, std::uint32_t v) {
        std::uint8_t* e = tiff_ + Entry(i);
        const bool asShort = Read16(Entry(i) + 2) == kTypeShort && v <= 0xFFFF;
        write_.Set16(e + 2, asShort ? kTypeShort : kTypeLong);
        write_.Set32(e + 4, 1);
        write_.Set32(e + 8, 0);
        if (asShort)
            write_.Set16(e + 8, v);
        else
            write_.Set32(e + 8, v);
    }
    // The link to the next IFD, behind the entries; false when it is cut.
    bool Unlink() {
        const std::uint64_t at = entries_ + 12 * std::uint64_t(count_);
        if (at + 4 > read_.size()) return false;
        write_.Set32(tiff_ + at, 0);
        return true;
    }

private:
    std::uint64_t Entry(std::uint32_t i) const { return entries_ + 12 * std::uint64_t(i); }
    std::uint32_t Read16(std::uint64_t at) const {
        std::uint32_t v = 0;
        read_.U16(at, v);
        return v;
    }

    std::uint8_t* tiff_;
    TiffData read_;
    TiffOrder write_;
    std::uint64_t entries_ = 0;
    std::uint32_t count_ = 0;
};

}  // namespace

bool AdaptExif(std::span<const std::uint8_t> source, int width, int height,
               std::vector<std::uint8_t>& app1, std::string& error) {
    app1.clear();
    std::span<const std::uint8_t> tiff = source;
    if (tiff.size() >= 4 && tiff[0] == 0xFF && tiff[1] == 0xE1) tiff = tiff.subspan(4);
    if (tiff.size() >= 6 && std::memcmp(tiff.data(), kExifId, 6) == 0) tiff = tiff.subspan(6);
    TiffData header({}, false);
    if (!TiffData::Open(tiff, header)) {
        error = "the source's Exif data has no TIFF header";
        return false;
    }
    if (tiff.size() + 6 > 0xFFFF - 2) {
        error = "the source's Exif data is longer than a JPEG segment";
        return false;
    }
    std::vector<std::uint8_t> out(kExifId, kExifId + 6);
    out.insert(out.end(), tiff.begin(), tiff.end());
    // The header told the byte order: "MM" is big-endian.
    IfdPatcher ifd(out.data() + 6, tiff.size(), tiff[0] == 'M');
    std::uint32_t first = 0;
    header.U32(4, first);
    if (!ifd.Open(first) || !ifd.Unlink()) {
        error = "the source's Exif data is damaged";
        return false;
    }
    std::uint32_t exifIfd = 0;
    for (std::uint32_t i = 0; i < ifd.count(); ++i) {
        switch (ifd.Tag(i)) {
            case 0x0112:
                ifd.SetNumber(i, 1);
                break;  // orientation
            case 0x0100:
                ifd.SetNumber(i, std::uint32_t(width));
                break;
            case 0x0101:
                ifd.SetNumber(i, std::uint32_t(height));
                break;
            case 0x8769:
                exifIfd = ifd.Value32(i);
                break;
            default:
                break;
        }
    }
    // Pixel dimensions live in the Exif IFD; a source without one keeps none.
    if (exifIfd != 0 && ifd.Open(exifIfd)) {
        for (std::uint32_t i = 0; i < ifd.count(); ++i) {
            if (ifd.Tag(i) == 0xA002) ifd.SetNumber(i, std::uint32_t(width));
            if (ifd.Tag(i) == 0xA003) ifd.SetNumber(i, std::uint32_t(height));
        }
    }
    app1 = std::move(out);
    return true;
}

}  // namespace tsy
