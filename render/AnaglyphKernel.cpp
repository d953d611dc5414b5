#include "render/AnaglyphKernel.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

namespace tsy::anaglyph {

namespace {

constexpr std::uint32_t kXMask = 0xFF000000u;

template <int Bpp>
inline std::uint32_t Load(const std::uint8_t* p) {
    if constexpr (Bpp == 4) {
        std::uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    } else {
        return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16;
    }
}

// v holds the colour channels as 0x00RRGGBB.
template <int Bpp, bool KeepX>
inline void Store(std::uint8_t* p, std::uint32_t v) {
    if constexpr (Bpp == 4) {
        std::uint32_t x = kXMask;
        if constexpr (KeepX) {
            std::memcpy(&x, p, 4);
            x &= kXMask;
        }
        v |= x;
        std::memcpy(p, &v, 4);
    } else {
        p[0] = std::uint8_t(v);
        p[1] = std::uint8_t(v >> 8);
        p[2] = std::uint8_t(v >> 16);
    }
}

template <bool Odd>
inline std::ptrdiff_t Col(std::ptrdiff_t x, std::ptrdiff_t a) {
    return Odd ? (x + a) & ~std::ptrdiff_t(1) : x + a;
}

// green * 0.7 + blue * 0.3: two rounded products and a rounded sum (this file
// is built without fused multiply-add), converted to nearest with ties to even
// as cvtsd2si and cvtpd2dq do in the default rounding mode.
inline std::uint32_t Mix(std::uint32_t p) {
    const double g = double((p >> 8) & 0xFF) * 0.7;
    const double b = double(p & 0xFF) * 0.3;
    return std::uint32_t(_mm_cvtsd_si32(_mm_set_sd(g + b)));
}

// The kernels' number of every least-squares method; the matrix tells the glasses.
constexpr int kDubois = 5;

// A least-squares pixel's linear blue, green, red and 0: the six table rows
// summed in one order, so every kernel gets the same floats.
inline __m128 LinearSum(std::uint32_t r, std::uint32_t l, const DuboisTables& t) {
    __m128 o = _mm_load_ps(t.in[0][(l >> 16) & 0xFF]);
    o = _mm_add_ps(o, _mm_load_ps(t.in[1][(l >> 8) & 0xFF]));
    o = _mm_add_ps(o, _mm_load_ps(t.in[2][l & 0xFF]));
    o = _mm_add_ps(o, _mm_load_ps(t.in[3][(r >> 16) & 0xFF]));
    o = _mm_add_ps(o, _mm_load_ps(t.in[4][(r >> 8) & 0xFF]));
    return _mm_add_ps(o, _mm_load_ps(t.in[5][r & 0xFF]));
}

// The byte of linear light o; the vector kernels do the same float steps.
inline std::uint32_t Encode(float o, const EncodeConstants& k) {
    o = std::min(std::max(o, 0.0f), 1.0f);
    std::uint32_t bits;
    std::memcpy(&bits, &o, 4);
    const int e = std::clamp(int(bits >> 23) - 118, 0, 9);
    bits = (bits & 0x7FFFFFu) | 0x3F800000u;
    float m;
    std::memcpy(&m, &bits, 4);
    const float t = (m - 1.5f) * 2.0f;
    float p = k.poly[6];
    for (int i = 5; i >= 0; --i)
        p = std::fma(p, t, k.poly[i]);
    float y = std::fma(p, k.scale[e], k.offset);
    if (o <= k.knee) y = std::fma(o, k.slope, 0.5f);
    return std::uint32_t(int(y));
}

inline std::uint32_t Dubois(std::uint32_t r, std::uint32_t l, const RunContext& c) {
    alignas(16) float o[4];
    _mm_store_ps(o, LinearSum(r, l, *c.dubois));
    const EncodeConstants& k = *c.encode;
    return Encode(o[0], k) | Encode(o[1], k) << 8 | Encode(o[2], k) << 16;
}

// The colour channels of one output pixel from a right and a left pixel.
template <int M>
inline std::uint32_t Combine(std::uint32_t r, std::uint32_t l, const RunContext& c) {
    const LumTables& t = *c.lum;
    const auto lum = [&t](std::uint32_t p) {
        return std::uint32_t(t.b[p & 0xFF]) + t.g[(p >> 8) & 0xFF] + t.r[(p >> 16) & 0xFF];
    };
    if constexpr (M == 1) return lum(l) << 16 | lum(r) * 0x0101u;
    if constexpr (M == 2) return lum(l) << 16 | (r & 0xFFFFu);
    if constexpr (M == 3) return (l & 0xFF0000u) | (r & 0xFFFFu);
    if constexpr (M == 4) return Mix(l) << 16 | (r & 0xFFFFu);
    if constexpr (M == 17) return lum(r) * 0x010001u | lum(l) << 8;
    if constexpr (M == 18) return (r & 0xFF00FFu) | lum(l) << 8;
    if constexpr (M == 19) return (r & 0xFF00FFu) | (l & 0xFF00u);
    if constexpr (M == 20) return (r & 0xFF00FFu) | Mix(l) << 8;
    if constexpr (M == 33) return lum(l) * 0x010100u | lum(r);
    if constexpr (M == 34) return (l & 0xFFFF00u) | lum(r);
    if constexpr (M == 35) return (l & 0xFFFF00u) | (r & 0xFFu);
    if constexpr (M == kDubois) return Dubois(r, l, c);
}

// Locals throughout: the byte stores could alias anything reached through s.
template <int M, int Bpp, bool KeepX, bool Odd>
void CombineFrom(const RowSpan& s, std::ptrdiff_t x, const RunContext& c) {
    const std::uint8_t* const r = s.r;
    const std::uint8_t* const l = s.l;
    std::uint8_t* const out = s.out;
    const std::ptrdiff_t aR = s.aR, aL = s.aL, xe = s.xe;
    for (; x < xe; ++x) {
        const std::uint32_t pr = Load<Bpp>(r + Col<Odd>(x, aR) * Bpp);
        const std::uint32_t pl = Load<Bpp>(l + Col<Odd>(x, aL) * Bpp);
        Store<Bpp, KeepX>(out + x * Bpp, Combine<M>(pr, pl, c));
    }
}

template <int M, int Bpp, bool KeepX, bool Odd>
void TableRow(const RowSpan& s, const RunContext& c) {
    CombineFrom<M, Bpp, KeepX, Odd>(s, s.xs, c);
}

// The colour channels of 4-byte pixels; the X byte stays.
inline void BrightenScalar(std::uint8_t* p, std::ptrdiff_t pixels, const BrightnessTable& b) {
    for (std::ptrdiff_t i = 0; i < pixels; ++i, p += 4)
        for (int ch = 0; ch < 3; ++ch)
            p[ch] = b.value[p[ch]];
}

struct Sse2Vector {
    using T = __m128i;
    static constexpr int kPixels = 4;
    static constexpr int kBytes = 16;
    static T Load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const T*>(p)); }
    static void Store(std::uint8_t* p, T v) { _mm_storeu_si128(reinterpret_cast<T*>(p), v); }
    static T Set1(std::uint32_t v) { return _mm_set1_epi32(int(v)); }
    static T And(T a, T b) { return _mm_and_si128(a, b); }
    static T Or(T a, T b) { return _mm_or_si128(a, b); }
    static T Add16(T a, T b) { return _mm_add_epi16(a, b); }
    static T MulHi16(T a, T b) { return _mm_mulhi_epu16(a, b); }
    static T MAdd16(T a, T b) { return _mm_madd_epi16(a, b); }
    static T AddsU8(T a, T b) { return _mm_adds_epu8(a, b); }
    static T SubsU8(T a, T b) { return _mm_subs_epu8(a, b); }
    template <int N>
    static T Shl32(T a) {
        return _mm_slli_epi32(a, N);
    }
    template <int N>
    static T Shr32(T a) {
        return _mm_srli_epi32(a, N);
    }
    template <int N>
    static T Shr16(T a) {
        return _mm_srli_epi16(a, N);
    }
    // The same arithmetic as Mix() above, two pixels per conversion.
    static T Mix(T p) {
        const T m = Set1(0xFF);
        const T g = _mm_and_si128(_mm_srli_epi32(p, 8), m), b = _mm_and_si128(p, m);
        const __m128d k7 = _mm_set1_pd(0.7), k3 = _mm_set1_pd(0.3);
        const auto mix = [&](T g2, T b2) {
            return _mm_cvtpd_epi32(_mm_add_pd(_mm_mul_pd(_mm_cvtepi32_pd(g2), k7),
                                              _mm_mul_pd(_mm_cvtepi32_pd(b2), k3)));
        };
        return _mm_unpacklo_epi64(mix(g, b), mix(_mm_srli_si128(g, 8), _mm_srli_si128(b, 8)));
    }
    // Without gathers, lane by lane.
    template <int N>
    static void Dubois(const T (&r)[N], const T (&l)[N], T (&out)[N], const RunContext& c) {
        for (int n = 0; n < N; ++n) {
            alignas(16) std::uint32_t rs[4], ls[4], px[4];
            _mm_store_si128(reinterpret_cast<T*>(rs), r[n]);
            _mm_store_si128(reinterpret_cast<T*>(ls), l[n]);
            for (int i = 0; i < 4; ++i)
                px[i] = anaglyph::Dubois(rs[i], ls[i], c);
            out[n] = _mm_load_si128(reinterpret_cast<const T*>(px));
        }
    }
    // Source pixels of output columns x .. x+3, i = x + a. With an odd offset
    // they are i, i, i+2, i+2 (i even) or i-1, i+1, i+1, i+3 (i odd; then i is
    // at least 1). Reads columns up to i+3.
    template <bool Odd>
    static T Span(const std::uint8_t* base, std::ptrdiff_t i) {
        const T v = Load(base + i * 4);
        if constexpr (!Odd) {
            return v;
        } else {
            if ((i & 1) == 0) return _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 2, 0, 0));
            const T w = Load(base + (i - 1) * 4);
            return _mm_castps_si128(
                _mm_shuffle_ps(_mm_castsi128_ps(w), _mm_castsi128_ps(v), _MM_SHUFFLE(3, 1, 2, 0)));
        }
    }
};

namespace sse2 {
using V = Sse2Vector;
#include "render/AnaglyphVector.inc"
}  // namespace sse2

#pragma GCC push_options
#pragma GCC target("avx2,fma")

struct Avx2Vector {
    using T = __m256i;
    static constexpr int kPixels = 8;
    static constexpr int kBytes = 32;
    static T Load(const std::uint8_t* p) {
        return _mm256_loadu_si256(reinterpret_cast<const T*>(p));
    }
    static void Store(std::uint8_t* p, T v) { _mm256_storeu_si256(reinterpret_cast<T*>(p), v); }
    static T Set1(std::uint32_t v) { return _mm256_set1_epi32(int(v)); }
    static T And(T a, T b) { return _mm256_and_si256(a, b); }
    static T Or(T a, T b) { return _mm256_or_si256(a, b); }
    static T Add16(T a, T b) { return _mm256_add_epi16(a, b); }
    static T MulHi16(T a, T b) { return _mm256_mulhi_epu16(a, b); }
    static T MAdd16(T a, T b) { return _mm256_madd_epi16(a, b); }
    static T AddsU8(T a, T b) { return _mm256_adds_epu8(a, b); }
    static T SubsU8(T a, T b) { return _mm256_subs_epu8(a, b); }
    template <int N>
    static T Shl32(T a) {
        return _mm256_slli_epi32(a, N);
    }
    template <int N>
    static T Shr32(T a) {
        return _mm256_srli_epi32(a, N);
    }
    template <int N>
    static T Shr16(T a) {
        return _mm256_srli_epi16(a, N);
    }
    static T Mix(T p) {
        const T m = Set1(0xFF);
        const T g = _mm256_and_si256(_mm256_srli_epi32(p, 8), m), b = _mm256_and_si256(p, m);
        const __m256d k7 = _mm256_set1_pd(0.7), k3 = _mm256_set1_pd(0.3);
        const auto mix = [&](__m128i g2, __m128i b2) {
            return _mm256_cvtpd_epi32(_mm256_add_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(g2), k7),
                                                    _mm256_mul_pd(_mm256_cvtepi32_pd(b2), k3)));
        };
        return _mm256_set_m128i(mix(_mm256_extracti128_si256(g, 1), _mm256_extracti128_si256(b, 1)),
                                mix(_mm256_castsi256_si128(g), _mm256_castsi256_si128(b)));
    }
    // As Encode() above, lane by lane, N vectors in step so that their long
    // chains overlap. Lanes below the table's exponents take the straight part.
    template <int N>
    static void Encode(__m256 (&o)[N], T (&out)[N], const EncodeConstants& k) {
        __m256 t[N], p[N], scale[N];
        for (int q = 0; q < N; ++q) {
            o[q] = _mm256_min_ps(_mm256_max_ps(o[q], _mm256_setzero_ps()), _mm256_set1_ps(1.0f));
            const T bits = _mm256_castps_si256(o[q]);
            const T e = _mm256_sub_epi32(_mm256_srli_epi32(bits, 23), Set1(118));
            const __m256 m = _mm256_castsi256_ps(
                _mm256_or_si256(_mm256_and_si256(bits, Set1(0x7FFFFFu)), Set1(0x3F800000u)));
            t[q] = _mm256_mul_ps(_mm256_sub_ps(m, _mm256_set1_ps(1.5f)), _mm256_set1_ps(2.0f));
            const __m256 low = _mm256_permutevar8x32_ps(_mm256_loadu_ps(k.scale), e);
            const __m256 high = _mm256_permutevar8x32_ps(_mm256_loadu_ps(k.scale + 8), e);
            scale[q] =
                _mm256_blendv_ps(low, high, _mm256_castsi256_ps(_mm256_cmpgt_epi32(e, Set1(7))));
            p[q] = _mm256_set1_ps(k.poly[6]);
        }
        for (int i = 5; i >= 0; --i) {
            const __m256 a = _mm256_set1_ps(k.poly[i]);
            for (int q = 0; q < N; ++q)
                p[q] = _mm256_fmadd_ps(p[q], t[q], a);
        }
        for (int q = 0; q < N; ++q) {
            const __m256 curve = _mm256_fmadd_ps(p[q], scale[q], _mm256_set1_ps(k.offset));
            const __m256 straight =
                _mm256_fmadd_ps(o[q], _mm256_set1_ps(k.slope), _mm256_set1_ps(0.5f));
            const __m256 below = _mm256_cmp_ps(o[q], _mm256_set1_ps(k.knee), _CMP_LE_OQ);
            out[q] = _mm256_cvttps_epi32(_mm256_blendv_ps(curve, straight, below));
        }
    }
    // As Dubois() above for N vectors of pixels: two pixels per vector while
    // summing, then one vector per channel for the encode.
    template <int N>
    static void Dubois(const T (&r)[N], const T (&l)[N], T (&out)[N], const RunContext& c) {
        const auto* base = reinterpret_cast<const std::uint8_t*>(c.dubois->in);
        __m256 planes[3 * N];
        for (int n = 0; n < N; ++n) {
            // Byte offsets of every pixel's rows in the six tables.
            alignas(32) std::uint32_t at[6][8];
            const T m = Set1(0xFF0);
            const T views[2] = {l[n], r[n]};
            for (int k = 0; k < 6; ++k) {
                const T v = views[k / 3];
                const T shifted = k % 3 == 0   ? _mm256_srli_epi32(v, 12)
                                  : k % 3 == 1 ? _mm256_srli_epi32(v, 4)
                                               : _mm256_slli_epi32(v, 4);
                _mm256_store_si256(reinterpret_cast<T*>(at[k]), _mm256_and_si256(shifted, m));
            }
            const auto row = [&](int k, int px) {
                return _mm_load_ps(reinterpret_cast<const float*>(base + k * 4096 + at[k][px]));
            };
            __m256 o[4];  // blue, green, red, 0 of pixels 2q | 2q + 1
            for (int q = 0; q < 4; ++q) {
                const int a = 2 * q, b = 2 * q + 1;
                o[q] = _mm256_set_m128(row(0, b), row(0, a));
                for (int k = 1; k < 6; ++k)
                    o[q] = _mm256_add_ps(o[q], _mm256_set_m128(row(k, b), row(k, a)));
            }
            // Per channel, pixels 0 2 4 6 | 1 3 5 7.
            const __m256 bg01 = _mm256_unpacklo_ps(o[0], o[1]);
            const __m256 bg23 = _mm256_unpacklo_ps(o[2], o[3]);
            const __m256 r01 = _mm256_unpackhi_ps(o[0], o[1]);
            const __m256 r23 = _mm256_unpackhi_ps(o[2], o[3]);
            planes[3 * n] = _mm256_shuffle_ps(bg01, bg23, _MM_SHUFFLE(1, 0, 1, 0));
            planes[3 * n + 1] = _mm256_shuffle_ps(bg01, bg23, _MM_SHUFFLE(3, 2, 3, 2));
            planes[3 * n + 2] = _mm256_shuffle_ps(r01, r23, _MM_SHUFFLE(1, 0, 1, 0));
        }
        T e[3 * N];
        Encode(planes, e, *c.encode);
        for (int n = 0; n < N; ++n) {
            const T bytes =
                _mm256_or_si256(e[3 * n], _mm256_or_si256(_mm256_slli_epi32(e[3 * n + 1], 8),
                                                          _mm256_slli_epi32(e[3 * n + 2], 16)));
            out[n] = _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
        }
    }
    // As the SSE2 one, per 128-bit lane: reads columns up to i+7.
    template <bool Odd>
    static T Span(const std::uint8_t* base, std::ptrdiff_t i) {
        const T v = Load(base + i * 4);
        if constexpr (!Odd) {
            return v;
        } else {
            if ((i & 1) == 0) return _mm256_shuffle_epi32(v, _MM_SHUFFLE(2, 2, 0, 0));
            const T w = Load(base + (i - 1) * 4);
            return _mm256_castps_si256(_mm256_shuffle_ps(
                _mm256_castsi256_ps(w), _mm256_castsi256_ps(v), _MM_SHUFFLE(3, 1, 2, 0)));
        }
    }
};

namespace avx2 {
using V = Avx2Vector;
#include "render/AnaglyphVector.inc"
}  // namespace avx2

#pragma GCC pop_options

template <int M, int Bpp, bool KeepX, bool Odd>
RowKernel Pick(int brightness, Isa isa) {
    const bool avx2 = isa == Isa::Avx2;
    if constexpr (Bpp == 4) {
        return {avx2 ? &avx2::VectorRow<M, KeepX, Odd> : &sse2::VectorRow<M, KeepX, Odd>, nullptr};
    } else {
        BrightenFn b = nullptr;
        if (brightness != 0) b = avx2 ? &avx2::BrightenBytes : &sse2::BrightenBytes;
        return {&TableRow<M, Bpp, KeepX, Odd>, b};
    }
}

template <int M>
RowKernel PickMethod(int bpp, bool keepX, bool odd, int brightness, Isa isa) {
    if (bpp == 3)
        return odd ? Pick<M, 3, false, true>(brightness, isa)
                   : Pick<M, 3, false, false>(brightness, isa);
    if (keepX)
        return odd ? Pick<M, 4, true, true>(brightness, isa)
                   : Pick<M, 4, true, false>(brightness, isa);
    return odd ? Pick<M, 4, false, true>(brightness, isa)
               : Pick<M, 4, false, false>(brightness, isa);
}

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

RowKernel SelectKernel(int method, int bpp, bool keepX, bool oddX, int brightness, Isa isa) {
    if (bpp != 3 && bpp != 4) return {};
    switch (method) {
        case 1:
            return PickMethod<1>(bpp, keepX, oddX, brightness, isa);
        case 2:
            return PickMethod<2>(bpp, keepX, oddX, brightness, isa);
        case 3:
            return PickMethod<3>(bpp, keepX, oddX, brightness, isa);
        case 4:
            return PickMethod<4>(bpp, keepX, oddX, brightness, isa);
        case 17:
            return PickMethod<17>(bpp, keepX, oddX, brightness, isa);
        case 18:
            return PickMethod<18>(bpp, keepX, oddX, brightness, isa);
        case 19:
            return PickMethod<19>(bpp, keepX, oddX, brightness, isa);
        case 20:
            return PickMethod<20>(bpp, keepX, oddX, brightness, isa);
        case 33:
            return PickMethod<33>(bpp, keepX, oddX, brightness, isa);
        case 34:
            return PickMethod<34>(bpp, keepX, oddX, brightness, isa);
        case 35:
            return PickMethod<35>(bpp, keepX, oddX, brightness, isa);
        case 5:
        case 21:
        case 37:
            return PickMethod<kDubois>(bpp, keepX, oddX, brightness, isa);
        default:
            return {};
    }
}

}  // namespace tsy::anaglyph
