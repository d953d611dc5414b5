#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tsy {

// How a JPS picture holds its views, as its stereo descriptor says.
enum class JpsLayout { Interleaved = 1, SideBySide = 2, OverUnder = 3, Anaglyph = 4 };

struct JpsDescriptor {
    bool stereo = true;  // type 1; a mono descriptor (type 0) marks one picture
    JpsLayout layout = JpsLayout::SideBySide;
    bool leftFirst = false;  // without the flag the right view comes first
    bool halfWidth = false, halfHeight = false;
    int separation = 0;
};

enum class JpsStatus { Absent, Valid, Invalid };

struct JpsRead {
    JpsStatus status = JpsStatus::Absent;
    JpsDescriptor descriptor;  // meaningful when Valid
    std::string reason;        // why an Invalid descriptor cannot be used
};

// The stereo descriptor of the APP3 "_JPSJPS_" segment in a JPEG stream's
// headers. A segment too short for it, a header length below four bytes, an
// unknown type or layout code give Invalid with the reason; the comment that
// may follow is not needed and not checked.
JpsRead ReadJpsDescriptor(std::span<const std::uint8_t> jpeg);

// The same for the descriptor's bytes (what follows "_JPSJPS_").
JpsRead ParseJpsDescriptor(std::span<const std::uint8_t> data);

}  // namespace tsy
