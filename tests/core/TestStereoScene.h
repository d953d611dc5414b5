#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "base/PictureBuffer.h"
#include "base/WorkerPool.h"

namespace tsy::test {

// A made-up stereo pair: photograph-like texture on a ground whose disparity grows downwards,
// with nearer discs. Image 2 is the right view moved by the inverse of the given transform, so
// aligning must find exactly: vertical (px, down), roll (degrees, counter-clockwise on screen)
// and scale about image 1's centre.
struct StereoPairSetup {
    int width = 640, height = 480;
    double verticalPx = 0, rollDeg = 0, scale = 1;
    double nearDisparity = -0.08;  // of the width, the nearest disc
    int samples = 2;               // per side, for smooth edges like a camera's
    int seed = 0;                  // another seed, another scene
};

class StereoScene {
public:
    explicit StereoScene(const StereoPairSetup& s) : s_(s) {
        const double w = s.width, h = s.height;
        discs_ = {{0.30 * w, 0.55 * h, 0.16 * h, s.nearDisparity * w, 1},
                  {0.72 * w, 0.35 * h, 0.12 * h, 0.6 * s.nearDisparity * w, 2}};
    }

    void Render(PictureBuffer& image1, PictureBuffer& image2) const {
        const double a = s_.rollDeg * 3.14159265358979323846 / 180;
        const double cx = (s_.width - 1) / 2.0, cy = (s_.height - 1) / 2.0;
        const double c = s_.scale * std::cos(a), sn = s_.scale * std::sin(a);
        image1.assign(s_.width, s_.height), image2.assign(s_.width, s_.height);
        ParallelFor(s_.height, HardwareThreads(), [&](int y) {
            auto* p1 = reinterpret_cast<std::uint32_t*>(image1.row(y));
            auto* p2 = reinterpret_cast<std::uint32_t*>(image2.row(y));
            for (int x = 0; x < s_.width; ++x) {
                p1[x] = Smooth(x, y, [&](double u, double v) { return Sample(u, v, 0.0); });
                // Image 2's pixel q lands at T(q) once aligned.
                p2[x] = Smooth(x, y, [&](double u, double v) {
                    const double dx = u - cx, dy = v - cy;
                    return Sample(cx + c * dx + sn * dy, cy - sn * dx + c * dy + s_.verticalPx,
                                  1.0);
                });
            }
        });
        image1.touch(), image2.touch();
    }

private:
    struct Disc {
        double x, y, r, d, seed;
    };

    template <class F>
    std::uint32_t Smooth(int x, int y, F f) const {
        const int n = s_.samples;
        int sum[3] = {0, 0, 0};
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                const std::uint32_t c = f(x + (i + 0.5) / n - 0.5, y + (j + 0.5) / n - 0.5);
                for (int k = 0; k < 3; ++k)
                    sum[k] += int(c >> (8 * k) & 0xFF);
            }
        std::uint32_t out = 0xFF000000u;
        for (int k = 0; k < 3; ++k)
            out |= std::uint32_t((sum[k] + n * n / 2) / (n * n)) << (8 * k);
        return out;
    }

    static std::uint32_t Hash(std::int64_t x, std::int64_t y, int seed) {
        std::uint64_t h = std::uint64_t(x) * 0x9E3779B97F4A7C15ull ^
                          std::uint64_t(y) * 0xC2B2AE3D27D4EB4Full ^
                          std::uint64_t(seed) * 0x165667B1ull;
        h = (h ^ h >> 29) * 0xBF58476D1CE4E5B9ull;
        return std::uint32_t(h ^ h >> 32);
    }

    static double Noise(double x, double y, double period, int seed) {
        const double u = x / period, v = y / period, fu = std::floor(u), fv = std::floor(v);
        const auto iu = std::int64_t(fu), iv = std::int64_t(fv);
        const double tu = (u - fu) * (u - fu) * (3 - 2 * (u - fu)),
                     tv = (v - fv) * (v - fv) * (3 - 2 * (v - fv));
        auto at = [&](auto i, auto j) { return (Hash(i, j, seed) & 0xFFFF) / 65535.0; };
        const double top = at(iu, iv) + (at(iu + 1, iv) - at(iu, iv)) * tu;
        const double bottom = at(iu, iv + 1) + (at(iu + 1, iv + 1) - at(iu, iv + 1)) * tu;
        return top + (bottom - top) * tv;
    }

    // Texture of one layer in its own coordinates.
    std::uint32_t Texture(double x, double y, int seed) const {
        const double unit = std::max(s_.width, s_.height) / 640.0;
        double g = 0, amp = 0.5;
        for (double period = 96 * unit; period >= 3 * unit; period /= 2, amp *= 0.6)
            g += amp * (Noise(x, y, period, seed + int(period)) - 0.5);
        // One hard-edged shape per cell: a turned square or a disc.
        const double cell = 20 * unit;
        const auto ci = std::int64_t(std::floor(x / cell)), cj = std::int64_t(std::floor(y / cell));
        const std::uint32_t h = Hash(ci, cj, seed + 7);
        const double r = cell * (0.2 + 0.25 * (h & 0xFF) / 255.0),
                     ang = (h >> 8 & 0xFF) / 255.0 * 1.5;
        const double lx = x - (ci + 0.5) * cell, ly = y - (cj + 0.5) * cell;
        const double ru = std::cos(ang) * lx + std::sin(ang) * ly,
                     rv = -std::sin(ang) * lx + std::cos(ang) * ly;
        const bool inside =
            (h >> 16 & 1) ? lx * lx + ly * ly < r * r : std::abs(ru) < r && std::abs(rv) < r * 0.7;
        double base = 0.5 + g;
        if (inside) base = (h >> 17 & 1) ? base * 0.35 : 0.65 + base * 0.35;
        const double tint = Noise(x, y, 150 * unit, seed + 99);
        auto ch = [](double v) { return std::uint32_t(std::clamp(v, 0.0, 1.0) * 255 + 0.5); };
        return ch(base * (0.8 + 0.4 * tint)) << 16 | ch(base) << 8 | ch(base * (1.2 - 0.4 * tint));
    }

    // Colour (0xRRGGBB) of the left view (right = 0) at (x, y); the right view
    // (right = 1) sees the same with each layer moved by its disparity.
    std::uint32_t Sample(double x, double y, double right) const {
        for (const Disc& d : discs_) {
            const double dx = x - d.x - right * d.d, dy = y - d.y;
            if (dx * dx + dy * dy < d.r * d.r)
                return Texture(dx, dy, int(d.seed) * 1000 + s_.seed * 7919);
        }
        // The ground: disparity from 0 at the top to a third of the nearest disc's at the bottom.
        const double ground = right * s_.nearDisparity * s_.width / 3 * (y / s_.height);
        return Texture(x - ground, y, 1 + s_.seed * 7919);
    }

    StereoPairSetup s_;
    std::vector<Disc> discs_;
};

}  // namespace tsy::test
