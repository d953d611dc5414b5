#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tsy {

// 16- and 32-bit numbers of a TIFF structure (the MP data, Exif) in its
// byte order, appended to or patched in a byte vector.
class TiffOrder {
public:
    explicit TiffOrder(bool bigEndian) : big_(bigEndian) {}
    bool big() const { return big_; }
    // "MM\0*" or "II*\0", then the first IFD's offset, 8.
    void PutHeader(std::vector<std::uint8_t>& out) const;
    void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) const;
    void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) const;
    void Set16(std::uint8_t* at, std::uint32_t v) const;
    void Set32(std::uint8_t* at, std::uint32_t v) const;

private:
    bool big_;
};

// One IFD put together entry by entry and written in tag order, its values
// of more than four bytes right behind it, as readers expect.
class IfdWriter {
public:
    explicit IfdWriter(TiffOrder order) : order_(order) {}
    void Long(std::uint16_t tag, std::uint32_t value);
    void Undefined(std::uint16_t tag, std::span<const std::uint8_t> data);
    void Rational(std::uint16_t tag, std::uint32_t numerator, std::uint32_t denominator);
    void SRational(std::uint16_t tag, std::int32_t numerator, std::int32_t denominator);

    // Bytes Write appends: the IFD and its values.
    std::size_t Size() const;
    // Appends the IFD to out; offsets count from out[origin] (the byte-order
    // mark). Returns where in out each entry's value went, in the order the
    // entries were added.
    std::vector<std::size_t> Write(std::vector<std::uint8_t>& out, std::size_t origin,
                                   std::uint32_t nextIfd) const;

private:
    struct Entry {
        std::uint16_t tag, type;
        std::uint32_t count;
        std::vector<std::uint8_t> value;  // in the file's byte order
    };
    void Add(std::uint16_t tag, std::uint16_t type, std::uint32_t count,
             std::vector<std::uint8_t> value);

    TiffOrder order_;
    std::vector<Entry> entries_;
};

}  // namespace tsy
