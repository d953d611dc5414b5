#include "render/AnaglyphKernel.h"

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <utility>

#include "render/Methods.h"

// The row kernels built from the recipes of the colour-method rows: every
// distinct recipe is compiled once per pixel size, X-byte rule, offset parity
// and instruction set, and a recipe picks its kernels at run time.
namespace tsy::anaglyph {

namespace {

#include "render/AnaglyphPixel.inc"
#include "render/AnaglyphSse2.inc"

namespace sse2 {
using V = Sse2Vector;
#include "render/AnaglyphVector.inc"
}  // namespace sse2

#pragma GCC push_options
#pragma GCC target("avx2,fma")

#include "render/AnaglyphAvx2.inc"

namespace avx2 {
using V = Avx2Vector;
#include "render/AnaglyphVector.inc"
}  // namespace avx2

#pragma GCC pop_options

template <Form F, int Bpp, bool KeepX, bool Odd>
RowKernel Pick(int brightness, Isa isa) {
    const bool avx2 = isa == Isa::Avx2;
    if constexpr (Bpp == 4) {
        return {avx2 ? &avx2::VectorRow<F, KeepX, Odd> : &sse2::VectorRow<F, KeepX, Odd>, nullptr};
    } else {
        BrightenFn b = nullptr;
        if (brightness != 0) b = avx2 ? &avx2::BrightenBytes : &sse2::BrightenBytes;
        return {&TableRow<F, Bpp, KeepX, Odd>, b};
    }
}

template <Form F>
RowKernel PickForm(int bpp, bool keepX, bool odd, int brightness, Isa isa) {
    if (bpp == 3)
        return odd ? Pick<F, 3, false, true>(brightness, isa)
                   : Pick<F, 3, false, false>(brightness, isa);
    if (keepX)
        return odd ? Pick<F, 4, true, true>(brightness, isa)
                   : Pick<F, 4, true, false>(brightness, isa);
    return odd ? Pick<F, 4, false, true>(brightness, isa)
               : Pick<F, 4, false, false>(brightness, isa);
}

// The distinct forms of all rows' recipes (the least-squares ones share one).
struct FormList {
    Form forms[kGlassesCount * kColourMethodCount];
    int count = 0;

    constexpr int Find(const Form& f) const {
        for (int i = 0; i < count; ++i)
            if (forms[i] == f) return i;
        return -1;
    }
};

constexpr FormList kForms = [] {
    FormList list{};
    for (const ColourMethodInfo& method : kColourMethods)
        for (const ChannelRecipe& recipe : method.recipes)
            if (recipe.offered() && list.Find(FormOf(recipe)) < 0)
                list.forms[list.count++] = FormOf(recipe);
    return list;
}();

using Picker = RowKernel (*)(int bpp, bool keepX, bool odd, int brightness, Isa isa);

template <std::size_t... I>
constexpr std::array<Picker, sizeof...(I)> MakePickers(std::index_sequence<I...>) {
    return {&PickForm<kForms.forms[I]>...};
}

constexpr auto kPickers = MakePickers(std::make_index_sequence<std::size_t(kForms.count)>());

Isa BestIsa() {
    return IsaAvailable(Isa::Avx2) ? Isa::Avx2 : Isa::Sse2;
}

std::atomic<Isa>& Active() {
    static std::atomic<Isa> isa{BestIsa()};
    return isa;
}

}  // namespace

bool IsaAvailable(Isa isa) {
    return isa == Isa::Sse2 || (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"));
}

Isa ActiveIsa() {
    return Active().load(std::memory_order_relaxed);
}

void UseIsa(Isa isa) {
    if (IsaAvailable(isa)) Active().store(isa, std::memory_order_relaxed);
}

RowKernel SelectKernel(const ChannelRecipe& recipe, int bpp, bool keepX, bool oddX, int brightness,
                       Isa isa) {
    if (bpp != 3 && bpp != 4) return {};
    const int i = recipe.offered() ? kForms.Find(FormOf(recipe)) : -1;
    return i < 0 ? RowKernel{} : kPickers[std::size_t(i)](bpp, keepX, oddX, brightness, isa);
}

}  // namespace tsy::anaglyph
