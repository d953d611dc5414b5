#include "output/TiffWriter.h"

#include <algorithm>
#include <numeric>

namespace tsy {

namespace {

constexpr std::uint16_t kUndefined = 7, kLong = 4, kRational = 5, kSRational = 10;

}  // namespace

void TiffOrder::PutHeader(std::vector<std::uint8_t>& out) const {
    static const std::uint8_t kBig[4] = {'M', 'M', 0, 42}, kLittle[4] = {'I', 'I', 42, 0};
    out.insert(out.end(), big_ ? kBig : kLittle, (big_ ? kBig : kLittle) + 4);
    Put32(out, 8);
}

void TiffOrder::Put16(std::vector<std::uint8_t>& out, std::uint32_t v) const {
    out.resize(out.size() + 2);
    Set16(out.data() + out.size() - 2, v);
}

void TiffOrder::Put32(std::vector<std::uint8_t>& out, std::uint32_t v) const {
    out.resize(out.size() + 4);
    Set32(out.data() + out.size() - 4, v);
}

void TiffOrder::Set16(std::uint8_t* at, std::uint32_t v) const {
    at[big_ ? 0 : 1] = std::uint8_t(v >> 8);
    at[big_ ? 1 : 0] = std::uint8_t(v);
}

void TiffOrder::Set32(std::uint8_t* at, std::uint32_t v) const {
    Set16(at + (big_ ? 0 : 2), v >> 16);
    Set16(at + (big_ ? 2 : 0), v & 0xFFFF);
}

void IfdWriter::Add(std::uint16_t tag, std::uint16_t type, std::uint32_t count,
                    std::vector<std::uint8_t> value) {
    entries_.push_back({tag, type, count, std::move(value)});
}

void IfdWriter::Long(std::uint16_t tag, std::uint32_t value) {
    std::vector<std::uint8_t> v;
    order_.Put32(v, value);
    Add(tag, kLong, 1, std::move(v));
}

void IfdWriter::Undefined(std::uint16_t tag, std::span<const std::uint8_t> data) {
    Add(tag, kUndefined, std::uint32_t(data.size()), {data.begin(), data.end()});
}

void IfdWriter::Rational(std::uint16_t tag, std::uint32_t numerator, std::uint32_t denominator) {
    std::vector<std::uint8_t> v;
    order_.Put32(v, numerator);
    order_.Put32(v, denominator);
    Add(tag, kRational, 1, std::move(v));
}

void IfdWriter::SRational(std::uint16_t tag, std::int32_t numerator, std::int32_t denominator) {
    std::vector<std::uint8_t> v;
    order_.Put32(v, std::uint32_t(numerator));
    order_.Put32(v, std::uint32_t(denominator));
    Add(tag, kSRational, 1, std::move(v));
}

std::size_t IfdWriter::Size() const {
    std::size_t n = 2 + 12 * entries_.size() + 4;
    for (const Entry& e : entries_)
        if (e.value.size() > 4) n += e.value.size();
    return n;
}

std::vector<std::size_t> IfdWriter::Write(std::vector<std::uint8_t>& out, std::size_t origin,
                                          std::uint32_t nextIfd) const {
    std::vector<std::size_t> order(entries_.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return entries_[a].tag < entries_[b].tag;
    });
    std::vector<std::size_t> at(entries_.size());
    const std::size_t start = out.size();
    std::size_t values = start + 2 + 12 * entries_.size() + 4;
    order_.Put16(out, std::uint32_t(entries_.size()));
    for (std::size_t i : order) {
        const Entry& e = entries_[i];
        order_.Put16(out, e.tag);
        order_.Put16(out, e.type);
        order_.Put32(out, e.count);
        if (e.value.size() <= 4) {
            at[i] = out.size();
            out.insert(out.end(), e.value.begin(), e.value.end());
            out.resize(at[i] + 4);
        } else {
            at[i] = values;
            order_.Put32(out, std::uint32_t(values - origin));
            values += e.value.size();
        }
    }
    order_.Put32(out, nextIfd);
    for (std::size_t i : order)
        if (entries_[i].value.size() > 4)
            out.insert(out.end(), entries_[i].value.begin(), entries_[i].value.end());
    return at;
}

}  // namespace tsy
