#include "input/LifTrailer.h"

#include <nlohmann/json.hpp>

#include <map>
#include <optional>

namespace tsy {

namespace {

using Bytes = std::span<const std::uint8_t>;
using Json = nlohmann::json;

std::uint32_t Be32(Bytes b, std::size_t at) {
    return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 |
           std::uint32_t(b[at + 2]) << 8 | b[at + 3];
}

// The fields of the block, by type; false when one runs outside the block.
bool ReadFields(Bytes block, std::map<std::int64_t, Bytes>& fields) {
    if (block.size() < 4) return false;
    const std::uint32_t count = Be32(block, 0);
    std::size_t p = 4;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (block.size() - p < 8) return false;
        const std::uint32_t type = Be32(block, p), size = Be32(block, p + 4);
        p += 8;
        if (block.size() - p < size) return false;
        fields.emplace(type, block.subspan(p, size));
        p += size;
    }
    return true;
}

// A view's picture id: image.blob_id, or albedo.blob_id in older files.
std::optional<std::int64_t> BlobId(const Json& view) {
    for (const char* key : {"image", "albedo"}) {
        const auto it = view.find(key);
        if (it == view.end() || !it->is_object()) continue;
        const auto id = it->find("blob_id");
        if (id != it->end() && id->is_number_integer()) return id->get<std::int64_t>();
    }
    return std::nullopt;
}

// The camera's sideways position, when the view gives it.
std::optional<double> PositionX(const Json& view) {
    for (const Json* holder :
         {&view, view.contains("camera_data") ? &view["camera_data"] : nullptr}) {
        if (!holder || !holder->is_object()) continue;
        const auto pos = holder->find("position");
        if (pos == holder->end()) continue;
        if (pos->is_array() && !pos->empty() && (*pos)[0].is_number())
            return (*pos)[0].get<double>();
        if (pos->is_object() && pos->contains("x") && (*pos)["x"].is_number())
            return (*pos)["x"].get<double>();
    }
    return std::nullopt;
}

}  // namespace

LifViews ReadLifViews(Bytes file, Bytes firstStream) {
    LifViews v;
    const std::size_t n = file.size();
    if (n < 6 || file[n - 2] != 0x1E || file[n - 1] != 0x1A) return v;
    const std::uint32_t offset = Be32(file, n - 6);
    if (offset < 6 || offset > n) return v;
    std::map<std::int64_t, Bytes> fields;
    if (!ReadFields(file.subspan(n - offset, offset - 6), fields)) return v;
    v.found = true;
    v.start = n - offset;
    auto meta = fields.find(8);
    if (meta == fields.end()) meta = fields.find(7);
    if (meta == fields.end()) {
        v.reason = "its metadata block describes no views";
        return v;
    }
    const Json json = Json::parse(meta->second.begin(), meta->second.end(), nullptr, false);
    const Json* views = json.is_object() && json.contains("views") ? &json["views"] : nullptr;
    if (!views || !views->is_array()) {
        v.reason = "its metadata block describes no views";
        return v;
    }
    if (views->size() != 2) {
        v.reason = "its metadata names " + std::to_string(views->size()) + " views, not two";
        return v;
    }
    Bytes pictures[2];
    for (int i = 0; i < 2; ++i) {
        const std::optional<std::int64_t> id = BlobId((*views)[std::size_t(i)]);
        const auto field = id ? fields.find(*id) : fields.end();
        if (id == -1)
            pictures[i] = firstStream;
        else if (field != fields.end())
            pictures[i] = field->second;
        else {
            v.reason = "its metadata names a view whose picture is missing";
            return v;
        }
    }
    const auto x0 = PositionX((*views)[0]), x1 = PositionX((*views)[1]);
    const bool swapped = x0 && x1 && *x0 > *x1;
    v.named = true;
    v.left = pictures[swapped ? 1 : 0];
    v.right = pictures[swapped ? 0 : 1];
    return v;
}

}  // namespace tsy
