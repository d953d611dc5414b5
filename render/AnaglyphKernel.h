#pragma once

#include <cstddef>
#include <cstdint>

#include "render/AnaglyphTables.h"
#include "render/Methods.h"

// Row kernels of the anaglyph engine; only Anaglyph.cpp and the tests use them.
namespace tsy::anaglyph {

// One stretch [xs, xe) of an output row. Output column x reads source column
// (x + a) & ~1 when the horizontal offset is odd (both views then repeat their
// even columns), x + a otherwise. Every such column lies in [0, lim) and
// reading up to lim pixels at r and l stays inside memory; a missing view is
// passed as a row of zeros.
struct RowSpan {
    std::uint8_t* out;
    const std::uint8_t* r;
    const std::uint8_t* l;
    std::ptrdiff_t aR;
    std::ptrdiff_t aL;
    std::ptrdiff_t limR;
    std::ptrdiff_t limL;
    std::ptrdiff_t xs;
    std::ptrdiff_t xe;
};

struct RunContext {
    const LumTables* lum;
    const BrightnessTable* bright;
    const DuboisTables* dubois;  // least-squares methods only
    const EncodeConstants* encode;
};

// Writes the colour channels of [xs, xe); the X byte of 4-byte pixels is kept
// (keepX) or set to 0xFF.
using RowFn = void (*)(const RowSpan&, const RunContext&);
// Adds the brightness to `pixels` 3-byte pixels in place.
using BrightenFn = void (*)(std::uint8_t* p, std::ptrdiff_t pixels, const BrightnessTable&);

enum class Isa { Sse2, Avx2 };
bool IsaAvailable(Isa isa);
// The best available one, unless tests chose another with UseIsa().
Isa ActiveIsa();
void UseIsa(Isa isa);

struct RowKernel {
    RowFn combine = nullptr;        // null for a recipe of no colour-method row
    BrightenFn brighten = nullptr;  // null when combine applies it or brightness is 0
};

RowKernel SelectKernel(const ChannelRecipe& recipe, int bytesPerPixel, bool keepX, bool oddX,
                       int brightness, Isa isa);

}  // namespace tsy::anaglyph
